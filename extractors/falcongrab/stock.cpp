// Stock test over a Tmall sku list: does a positive stock figure follow a property key?
#include "extractors/falcongrab/stock.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

#include "webkit/regex_matcher.h"
#include "webkit/text.h"

namespace {
constexpr std::string_view stock_pattern_template = ";.*?AAAABBBB.*?\",\"stock\":(.*?)}";
constexpr std::string_view key_placeholder = "AAAABBBB";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_digits(std::string_view text, std::size_t at) {
    while (at < text.size() && is_digit(text[at])) ++at;
    return at;
}

// The leading decimal number as plain text ("" when there is none). Only this grammar is
// accepted, so hexadecimal, "inf" and "nan" never read as numbers.
std::string leading_number_text(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && is_blank(text[at])) ++at;
    const std::size_t start = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t int_end = skip_digits(text, at);
    std::size_t end = int_end;
    bool has_digits = int_end > at;
    if (end < text.size() && text[end] == '.') {
        const std::size_t frac_end = skip_digits(text, end + 1);
        has_digits = has_digits || frac_end > end + 1;
        end = frac_end;
    }
    if (!has_digits) return "";
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exp = end + 1;
        if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) ++exp;
        const std::size_t exp_end = skip_digits(text, exp);
        if (exp_end > exp) end = exp_end;  // an "e" without digits belongs to the rest
    }
    return std::string(text.substr(start, end - start));
}

double read_number(const std::string& number) {
    // The host may have set a locale with a decimal comma; the page always writes a point.
    static const locale_t c_numeric = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    if (number.empty()) return 0.0;
    if (c_numeric == static_cast<locale_t>(0)) return std::strtod(number.c_str(), nullptr);
    return strtod_l(number.c_str(), nullptr, c_numeric);
}
}  // namespace

long long stock_figure(std::string_view text) {
    const double value = std::trunc(read_number(leading_number_text(text)));
    constexpr double upper = static_cast<double>(std::numeric_limits<long long>::max());
    constexpr double lower = static_cast<double>(std::numeric_limits<long long>::min());
    if (value >= upper) return std::numeric_limits<long long>::max();
    if (value <= lower) return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

bool has_positive_stock(std::string_view text, std::string_view key) {
    RegexMatcher matcher;
    const std::string pattern = replace_all(stock_pattern_template, key_placeholder, key);
    matcher.search(pattern, text);  // a rejected pattern leaves no match
    const int count = matcher.match_count();
    for (int i = 1; i <= count; ++i) {
        if (stock_figure(matcher.submatch_text(i, 1)) > 0) return true;
    }
    return false;
}
