// The item record text both extractor libraries hand back, built from text templates.
#pragma once

#include <string>
#include <string_view>

class RegexMatcher;

// The picture-object template and its comma-led twin; "img" is the member name and "uurrll"
// the value placeholder.
extern const std::string_view picture_template;
extern const std::string_view next_picture_template;

// "{ \"key\":\"value\" }": the template with "img" replaced by the key, then "uurrll" by the
// value. Values go in verbatim (no escaping); callers delete quotes where they must.
std::string member_object(std::string_view key, std::string_view value);

// One picture object: the template for the first picture, the comma-led twin for every later
// one, with only "uurrll" replaced by the address.
std::string picture_object(std::string_view address, bool first);

// The objects for every match the matcher's last search left, in match order: the address is
// `scheme` followed by the first group of the match.
std::string picture_objects(const RegexMatcher& matcher, std::string_view scheme);

// "\"shopinfo\":[" + title object + "," + sellernick object + "," + itemid object + "]".
std::string shopinfo_part(std::string_view title, std::string_view seller_nick, std::string_view item_id);

// "\"主图\":[" + the picture objects as built + "]".
std::string picture_part(std::string_view picture_objects);

// "{" + shopinfo part + "," + picture part + "}".
std::string item_record(std::string_view shopinfo, std::string_view pictures);

// A response body read as page text: its bytes up to the first zero byte, unconverted.
std::string page_text(std::string_view body);

// The record with three empty values and no picture: what a page yields when nothing is found.
std::string empty_item_record();
