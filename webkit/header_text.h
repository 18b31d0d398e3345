// Header-line, marker-cut and cookie text operations shared by both HTTP clients and the page parsers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The quote marker: written inside text_between markers where a double quote is meant.
// GBK bytes 23 D2 FD BA C5 ("#引号").
extern const std::string quote_marker;

std::string header_name(std::string_view line);
std::string header_value(std::string_view line);

// The text after the first `left` (searched from `start`) up to the next `right`; "" when
// either is missing or they are adjacent.
std::string text_between(std::string_view text, std::string_view left, std::string_view right,
                         int start = 0, bool ignore_case = false);

// Rewrites every letter-case variant of "Set-Cookie" in `block` to "Set-Cookie" and returns
// the name=value items set by it, separated by "; ".
std::string extract_set_cookies(std::string& block);

// Merges `new_cookies` into `cookies` (both rewritten in place; see the cookie rules) and
// returns a copy of the merged text.
std::string merge_cookies(std::string& cookies, std::string& new_cookies);

std::string cookie_name(std::string_view item);
bool has_cookie_name(const std::vector<std::string>& items, std::string_view name);
std::string unique_items(std::string_view text, std::string_view separator);
int find_item(const std::vector<std::string>& items, std::string_view text);
