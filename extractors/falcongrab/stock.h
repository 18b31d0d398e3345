// Stock test over a Tmall sku list: does a positive stock figure follow a property key?
#pragma once

#include <string_view>

// The decimal number at the start of `text`, truncated toward zero: leading white space is
// skipped, then an optional sign, digits with an optional decimal point and an optional
// exponent; whatever follows is ignored. 0 when the text does not start with a number.
// Figures beyond the 64-bit range saturate instead of wrapping, so a huge stock stays positive.
long long stock_figure(std::string_view text);

// True when some match of the stock pattern built around `key` carries a figure above 0.
// The key goes into the pattern as it stands, so its pattern characters keep their meaning.
bool has_positive_stock(std::string_view text, std::string_view key);
