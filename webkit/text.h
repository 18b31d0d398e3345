// Text rules over GBK texts: double-byte aware search, trimming, splitting and replacing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A byte of 0x80 or above starts a two-byte character together with the byte after it.
// Positions are 1-based byte positions; searches give -1 when nothing is found, try matches
// only at character starts, and compare bytes exactly unless ignore_case is set (then only
// the ASCII letters A-Z/a-z fold, never a trail byte). An empty needle is never found.

inline bool is_lead_byte(unsigned char c) { return c >= 0x80; }

// Search `needle` in `text` from 1-based position `start` (1 or less: from the beginning).
// A start inside a double-byte character begins at the next character start.
int find_text(std::string_view text, std::string_view needle, int start = 1, bool ignore_case = false);

// Search backwards: the last match that begins at or before `start` (-1 or past the end: anywhere).
int find_text_reverse(std::string_view text, std::string_view needle, int start = -1, bool ignore_case = false);

inline bool contains_text(std::string_view text, std::string_view needle, bool ignore_case = false) {
    return find_text(text, needle, 1, ignore_case) != -1;
}

// The spaces are the ASCII space 0x20 and the full-width space A1 A1.
std::string trim_spaces(std::string_view text);
std::string remove_spaces(std::string_view text);

// Empty text: no pieces; adjacent separators: an empty piece; a trailing separator: no empty
// last piece. The separator matches at character starts only. An empty separator gives the
// whole text as one piece.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

// n <= 0 gives ""; n past the length gives the whole text.
std::string left_bytes(std::string_view text, int n);
std::string right_bytes(std::string_view text, int n);

// Replaces every match of `from` (found as find_text finds it) by `to`, left to right.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to, bool ignore_case = false);

inline bool equal_text(std::string_view a, std::string_view b) { return a == b; }

// The number a text starts with: leading blanks (space, tab, CR, LF, VT, FF), an optional sign,
// digits with an optional decimal point, an optional exponent; the rest is ignored; no number
// at all reads as 0. Never depends on the locale; too large a number reads as +-HUGE_VAL.
double leading_decimal(std::string_view text);

// Whole-number decimal text of a value, as the log lines write numbers.
inline std::string decimal(long long n) { return std::to_string(n); }
