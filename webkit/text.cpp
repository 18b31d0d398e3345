// Text rules over GBK texts: every search walks character starts, so no match begins on a trail byte.
#include "webkit/text.h"

#include <charconv>
#include <cmath>

namespace {

size_t char_len(std::string_view s, size_t i) {
    return (is_lead_byte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

// Does `needle` match `text` at character start i? Case folding applies to ASCII letters
// that stand as characters of their own, never to the trail byte of a double-byte character.
bool match_at(std::string_view text, size_t i, std::string_view needle, bool ignore_case) {
    if (needle.empty() || i + needle.size() > text.size()) return false;
    if (!ignore_case) return text.compare(i, needle.size(), needle) == 0;
    bool trail = false;
    for (size_t k = 0; k < needle.size(); ++k) {
        unsigned char t = static_cast<unsigned char>(text[i + k]);
        unsigned char n = static_cast<unsigned char>(needle[k]);
        if (trail || is_lead_byte(t)) {
            if (t != n) return false;
            trail = !trail && is_lead_byte(t);
        } else if (fold(t) != fold(n)) {
            return false;
        }
    }
    return true;
}

bool space_at(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == 0x20) return true;
    return c == 0xA1 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA1;
}

}  // namespace

int find_text(std::string_view text, std::string_view needle, int start, bool ignore_case) {
    size_t from = start <= 1 ? 0 : static_cast<size_t>(start - 1);
    size_t i = 0;
    while (i < from && i < text.size()) i += char_len(text, i);
    for (; i < text.size(); i += char_len(text, i)) {
        if (match_at(text, i, needle, ignore_case)) return static_cast<int>(i) + 1;
    }
    return -1;
}

int find_text_reverse(std::string_view text, std::string_view needle, int start, bool ignore_case) {
    size_t last = (start < 1 || static_cast<size_t>(start) > text.size()) ? text.size() : static_cast<size_t>(start - 1);
    int found = -1;
    for (size_t i = 0; i < text.size() && i <= last; i += char_len(text, i)) {
        if (match_at(text, i, needle, ignore_case)) found = static_cast<int>(i) + 1;
    }
    return found;
}

std::string trim_spaces(std::string_view text) {
    size_t first = text.size();
    size_t end = 0;
    for (size_t i = 0; i < text.size();) {
        size_t len = char_len(text, i);
        if (!space_at(text, i)) {
            if (first == text.size()) first = i;
            end = i + len;
        }
        i += len;
    }
    return first < end ? std::string(text.substr(first, end - first)) : std::string();
}

std::string remove_spaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t len = char_len(text, i);
        if (!space_at(text, i)) out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t piece_start = 0;
    for (size_t i = 0; i < text.size();) {
        if (match_at(text, i, separator, false)) {
            pieces.emplace_back(text.substr(piece_start, i - piece_start));
            i += separator.size();
            piece_start = i;
        } else {
            i += char_len(text, i);
        }
    }
    if (piece_start < text.size()) pieces.emplace_back(text.substr(piece_start));
    return pieces;
}

std::string left_bytes(std::string_view text, int n) {
    if (n <= 0) return {};
    return std::string(text.substr(0, static_cast<size_t>(n)));
}

std::string right_bytes(std::string_view text, int n) {
    if (n <= 0) return {};
    size_t k = std::min(text.size(), static_cast<size_t>(n));
    return std::string(text.substr(text.size() - k));
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to, bool ignore_case) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (match_at(text, i, from, ignore_case)) {
            out.append(to);
            i += from.size();
        } else {
            size_t len = char_len(text, i);
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

double leading_decimal(std::string_view text) {
    std::size_t i = 0;
    auto is_blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };  // space, tab, LF, VT, FF, CR
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t start = i, digits = 0;
    auto is_digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    while (is_digit(i)) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (is_digit(i)) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    bool shrinking = false;  // a negative exponent
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) shrinking = text[k++] == '-';
        if (is_digit(k)) {
            while (is_digit(k)) ++k;
            i = k;
        } else {
            shrinking = false;
        }
    }
    // from_chars reads the same form and, unlike strtod, never the locale's decimal comma.
    double value = 0.0;
    if (std::from_chars(text.data() + start, text.data() + i, value).ec == std::errc::result_out_of_range)
        value = shrinking ? 0.0 : HUGE_VAL;
    return negative ? -value : value;
}

