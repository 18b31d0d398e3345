// The item record text both extractor libraries hand back, built from text templates.
#include "extractors/record.h"

#include "platform/codepage.h"
#include "webkit/regex_matcher.h"
#include "webkit/text.h"

const std::string_view picture_template = "{ \"img\":\"uurrll\" }";
const std::string_view next_picture_template = ",{ \"img\":\"uurrll\" }";

namespace {
const std::string_view member_placeholder = "img";
const std::string_view value_placeholder = "uurrll";
}  // namespace

std::string member_object(std::string_view key, std::string_view value) {
    // The key goes in first, so a value holding "img" or "uurrll" is never touched again.
    const std::string named = replace_all(picture_template, member_placeholder, key);
    return replace_all(named, value_placeholder, value);
}

std::string picture_object(std::string_view address, bool first) {
    return replace_all(first ? picture_template : next_picture_template, value_placeholder, address);
}

std::string picture_objects(const RegexMatcher& matcher, std::string_view scheme) {
    std::string objects;
    const int count = matcher.match_count();
    for (int i = 1; i <= count; ++i) {
        std::string address(scheme);
        address += matcher.submatch_text(i, 1);
        objects += picture_object(address, i == 1);
    }
    return objects;
}

std::string shopinfo_part(std::string_view title, std::string_view seller_nick, std::string_view item_id) {
    return "\"shopinfo\":[" + member_object("title", title) + "," + member_object("sellernick", seller_nick) +
           "," + member_object("itemid", item_id) + "]";
}

std::string picture_part(std::string_view picture_objects) {
    static const std::string opening = "\"" + gbk("主图") + "\":[";
    std::string part = opening;
    part += picture_objects;
    part += "]";
    return part;
}

std::string item_record(std::string_view shopinfo, std::string_view pictures) {
    std::string record = "{";
    record += shopinfo;
    record += ",";
    record += pictures;
    record += "}";
    return record;
}

std::string page_text(std::string_view body) {
    return std::string(body.substr(0, body.find('\0')));
}

std::string empty_item_record() {
    return item_record(shopinfo_part("", "", ""), picture_part(""));
}
