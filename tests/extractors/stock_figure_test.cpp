// Reading a stock figure: the decimal number at the start of a text, truncated toward zero.
#include "extractors/falcongrab/stock.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

struct FigureCase {
    std::string text;
    long long figure;
};

std::ostream& operator<<(std::ostream& out, const FigureCase& c) { return out << testing::PrintToString(c.text); }

class StockFigure : public testing::TestWithParam<FigureCase> {};

TEST_P(StockFigure, ReadsTheLeadingNumber) { EXPECT_EQ(stock_figure(GetParam().text), GetParam().figure); }

constexpr long long most = std::numeric_limits<long long>::max();
constexpr long long least = std::numeric_limits<long long>::min();

INSTANTIATE_TEST_SUITE_P(
    Numbers, StockFigure,
    testing::Values(FigureCase{"3", 3}, FigureCase{"12,\"x\":1", 12}, FigureCase{"  \t7", 7}, FigureCase{"+4", 4},
                    FigureCase{"-3", -3}, FigureCase{"0.5", 0}, FigureCase{"2.9", 2}, FigureCase{"-2.7", -2},
                    FigureCase{".5e1", 5}, FigureCase{"5.", 5}, FigureCase{"1.5E+2", 150}, FigureCase{"25e-1", 2},
                    FigureCase{"1e", 1}, FigureCase{"1e+x", 1}, FigureCase{"9e30", most}, FigureCase{"-9e30", least},
                    FigureCase{"", 0}, FigureCase{"abc", 0}, FigureCase{"e5", 0}, FigureCase{".", 0},
                    FigureCase{"-", 0}, FigureCase{"+.e1", 0}, FigureCase{"0x1A", 0}, FigureCase{"inf", 0},
                    FigureCase{"nan", 0}, FigureCase{"\"7\"", 0}));

}  // namespace
