// Header-line, marker-cut and cookie text operations.
#include "webkit/header_text.h"

#include "platform/codepage.h"
#include "webkit/text.h"

const std::string quote_marker = gbk("#引号");

namespace {
std::string with_quotes(std::string_view marker) { return replace_all(marker, quote_marker, "\""); }
}  // namespace

std::string header_name(std::string_view line) {
    int p = find_text(line, ":");
    if (p == -1) return {};
    return trim_spaces(line.substr(0, static_cast<size_t>(p - 1)));
}

std::string header_value(std::string_view line) {
    int p = find_text(line, ":");
    if (p == -1) return {};
    return trim_spaces(line.substr(static_cast<size_t>(p)));
}

std::string text_between(std::string_view text, std::string_view left, std::string_view right, int start,
                         bool ignore_case) {
    const std::string l = with_quotes(left);
    const std::string r = with_quotes(right);
    int p = find_text(text, l, start, ignore_case);
    if (p != -1) p += static_cast<int>(l.size());
    int q = find_text(text, r, p, ignore_case);
    if (p == -1 || q == -1) return {};
    return std::string(text.substr(static_cast<size_t>(p - 1), static_cast<size_t>(q - p)));
}

std::string extract_set_cookies(std::string& block) {
    block = replace_all(block, "Set-Cookie", "Set-Cookie", true);
    std::string result;
    for (const std::string& piece : split_text(block, "\r\n")) {
        if (!contains_text(piece, "Set-Cookie")) continue;
        std::string item;
        if (!contains_text(piece, ";"))
            item = trim_spaces(replace_all(piece, "Set-Cookie:", "", true));
        else
            item = trim_spaces(text_between(piece, "Set-Cookie:", ";"));
        result += item;
        result += "; ";
    }
    result.resize(result.size() >= 2 ? result.size() - 2 : 0);
    return result;
}

std::string merge_cookies(std::string& cookies, std::string& new_cookies) {
    cookies = remove_spaces(cookies);
    new_cookies = remove_spaces(new_cookies);
    std::vector<std::string> working = split_text(new_cookies, ";");
    for (const std::string& old_item : split_text(cookies, ";")) {
        if (!has_cookie_name(working, cookie_name(old_item))) working.push_back(old_item);
    }
    std::string text;
    for (const std::string& item : working) {
        if (right_bytes(item, 8) == "=deleted") continue;
        text += item;
        text += "; ";
    }
    text.resize(text.size() >= 2 ? text.size() - 2 : 0);
    cookies = unique_items(text, "; ");
    return cookies;
}

std::string cookie_name(std::string_view item) {
    int p = find_text(item, "=");
    if (p == -1) return trim_spaces(item);
    return trim_spaces(item.substr(0, static_cast<size_t>(p - 1)));
}

bool has_cookie_name(const std::vector<std::string>& items, std::string_view name) {
    for (const std::string& item : items) {
        if (cookie_name(item) == name) return true;
    }
    return false;
}

std::string unique_items(std::string_view text, std::string_view separator) {
    std::vector<std::string> seen;
    std::string result;
    for (std::string& piece : split_text(text, separator)) {
        if (find_item(seen, piece) != -1) continue;
        result += piece;
        result += separator;
        seen.push_back(std::move(piece));
    }
    result.resize(result.size() >= separator.size() ? result.size() - separator.size() : 0);
    return result;
}

int find_item(const std::vector<std::string>& items, std::string_view text) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == text) return static_cast<int>(i) + 1;
    }
    return -1;
}
