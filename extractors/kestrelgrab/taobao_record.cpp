// Taobao item page text -> item record.
#include "extractors/kestrelgrab/taobao_record.h"

#include "extractors/record.h"
#include "platform/codepage.h"
#include "webkit/header_text.h"
#include "webkit/regex_matcher.h"
#include "webkit/text.h"

namespace {
// The g_config members of the page, blanks counted exactly as the page aligns them.
constexpr std::string_view seller_nick_marker = "sellerNick       : '";
constexpr std::string_view item_id_marker = " itemId           : '";
constexpr std::string_view picture_list_marker = "auctionImages    : [";
constexpr std::string_view quoted_entry_pattern = "\"(.*?)\"";
}  // namespace

std::string taobao_page_record(std::string_view page) {
    RegexMatcher matcher;

    static const std::string title_suffix = gbk("-淘宝网");
    const std::string title = replace_all(text_between(page, "<title>", "</title>"), title_suffix, "");
    const std::string seller_nick = text_between(page, seller_nick_marker, "'");
    const std::string item_id = replace_all(text_between(page, item_id_marker, "',"), "\"", "");
    const std::string shopinfo = shopinfo_part(title, seller_nick, item_id);

    // The list holds protocol-relative addresses; the entry text is taken as it stands.
    const std::string picture_list = text_between(page, picture_list_marker, "]");
    matcher.search(quoted_entry_pattern, picture_list);
    const std::string pictures = picture_part(picture_objects(matcher, "https:"));

    return item_record(shopinfo, pictures);
}
