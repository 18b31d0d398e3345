// Stock test over a Tmall sku list: does a positive stock figure follow a property key?
#include "extractors/falcongrab/stock.h"

#include <cmath>
#include <limits>

#include "webkit/regex_matcher.h"
#include "webkit/text.h"

namespace {
constexpr std::string_view stock_pattern_template = ";.*?AAAABBBB.*?\",\"stock\":(.*?)}";
constexpr std::string_view key_placeholder = "AAAABBBB";
}  // namespace

long long stock_figure(std::string_view text) {
    const double value = std::trunc(leading_decimal(text));
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
