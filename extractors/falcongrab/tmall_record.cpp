// Tmall item page text -> item record.
#include "extractors/falcongrab/tmall_record.h"

#include "build_config.h"
#include "extractors/record.h"
#include "platform/codepage.h"
#include "webkit/header_text.h"
#include "webkit/regex_matcher.h"
#include "webkit/text.h"

namespace {
// The hidden seller input ends its line with " />" and a carriage return.
constexpr std::string_view seller_nick_left = "seller_nickname\" value=\"";
constexpr std::string_view seller_nick_right = "\" />\r";
constexpr std::string_view item_id_left = "itemId\":\"";
constexpr std::string_view default_list_left = "\"default\":[";
constexpr std::string_view default_list_right = "]}";
constexpr std::string_view default_entry_pattern = "\"//(.*?)\"";
constexpr std::string_view thumbnail_pattern = "<a href=\"#\"><img src=\"//(.*?)_60x60q90.jpg\" /></a>";

std::string without_quotes(std::string_view text) { return replace_all(text, "\"", ""); }
}  // namespace

std::string tmall_page_record(std::string_view page) {
    RegexMatcher matcher;

    static const std::string title_suffix = gbk(VESKLAR_TMALL_TITLE_SUFFIX);
    const std::string title = without_quotes(replace_all(text_between(page, "<title>", "</title>"), title_suffix, ""));
    const std::string seller_nick = without_quotes(text_between(page, seller_nick_left, seller_nick_right));
    const std::string item_id = without_quotes(text_between(page, item_id_left, "\""));
    const std::string shopinfo = shopinfo_part(title, seller_nick, item_id);

    // Only an empty cut counts as "no default list": a list that yields no address does not
    // fall back to the thumbnails.
    const std::string default_list = text_between(page, default_list_left, default_list_right);
    if (!default_list.empty())
        matcher.search(default_entry_pattern, default_list);
    else
        matcher.search(thumbnail_pattern, page);
    const std::string pictures = picture_part(picture_objects(matcher, "https://"));

    return item_record(shopinfo, pictures);
}
