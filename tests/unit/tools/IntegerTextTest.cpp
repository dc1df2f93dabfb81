#include "IntegerText.h"

#include <gtest/gtest.h>

#include <string>

using NorvaneTool::FormatInteger;
using NorvaneTool::ParseInteger;

namespace {

struct GoodInteger {
    const wchar_t* text;
    int32_t value;
};

class AcceptedInteger : public testing::TestWithParam<GoodInteger> {};

TEST_P(AcceptedInteger, GivesItsValue)
{
    int32_t value = 12345;
    ASSERT_TRUE(ParseInteger(GetParam().text, value));
    EXPECT_EQ(GetParam().value, value);
}

INSTANTIATE_TEST_SUITE_P(IntegerText, AcceptedInteger,
                         testing::Values(GoodInteger{L"0", 0}, GoodInteger{L"1", 1}, GoodInteger{L"-1", -1},
                                         GoodInteger{L"-0", 0}, GoodInteger{L"007", 7},
                                         GoodInteger{L"2147483647", 2147483647},
                                         GoodInteger{L"-2147483648", -2147483647 - 1},
                                         GoodInteger{L"000000000000000000042", 42}));

class RefusedInteger : public testing::TestWithParam<const wchar_t*> {};

TEST_P(RefusedInteger, LeavesTheValueAlone)
{
    int32_t value = 12345;
    EXPECT_FALSE(ParseInteger(GetParam(), value));
    EXPECT_EQ(12345, value);
}

INSTANTIATE_TEST_SUITE_P(IntegerText, RefusedInteger,
                         testing::Values(L"", L"-", L"+1", L"1x", L"x1", L"yes", L" 1", L"1 ", L"1.0", L"0x10",
                                         L"--1", L"1-", L"2147483648", L"-2147483649", L"99999999999999999999",
                                         L"\x0661")); // an Arabic-Indic digit is not a decimal digit here

TEST(IntegerText, FormatsPlainDecimal)
{
    EXPECT_EQ(L"0", FormatInteger(0));
    EXPECT_EQ(L"-42", FormatInteger(-42));
    EXPECT_EQ(L"2147483647", FormatInteger(2147483647));
    EXPECT_EQ(L"-2147483648", FormatInteger(-2147483647 - 1));
}

TEST(IntegerText, FormattedValuesParseBack)
{
    for (int32_t value : {0, 1, -1, 3966, -2147483647 - 1, 2147483647}) {
        int32_t parsed = 0;
        ASSERT_TRUE(ParseInteger(FormatInteger(value), parsed));
        EXPECT_EQ(value, parsed);
    }
}

} // namespace
