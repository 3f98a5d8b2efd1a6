#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "device/pic_device.h"

namespace vandrel::device {
namespace {

struct NumberCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

class ParseSpecNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ParseSpecNumberTest, ReadsTextByTheFileRule)
{
    const auto& c = GetParam();
    EXPECT_EQ(ParseSpecNumber(c.text), c.expected) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Decimal, ParseSpecNumberTest, ::testing::Values(
    NumberCase{"0", 0}, NumberCase{"8448", 8448}, NumberCase{"01", 1}, NumberCase{"+1", 1},
    NumberCase{"-1", -1}, NumberCase{"  5", 5}, NumberCase{"\t7", 7},
    NumberCase{"2147483647", 2147483647}, NumberCase{"-2147483648", INT32_MIN},
    NumberCase{"2147483648", std::nullopt}, NumberCase{"-2147483649", std::nullopt},
    NumberCase{"99999999999999999999", std::nullopt}, NumberCase{"0000000000000000000012", 12}));

INSTANTIATE_TEST_SUITE_P(Hexadecimal, ParseSpecNumberTest, ::testing::Values(
    NumberCase{"$2100", 8448}, NumberCase{"x2100", 8448}, NumberCase{"X2100", 8448},
    NumberCase{"0x2100", 8448}, NumberCase{"0X2100", 8448}, NumberCase{"$aBcD", 0xABCD},
    NumberCase{"$FFFF", 0xFFFF}, NumberCase{"$FFFFFFFF", -1}, NumberCase{"$80000000", INT32_MIN},
    NumberCase{"$000000001", 1}, NumberCase{"$100000000", std::nullopt}, NumberCase{" $1", 1}));

INSTANTIATE_TEST_SUITE_P(NotANumber, ParseSpecNumberTest, ::testing::Values(
    NumberCase{"", std::nullopt}, NumberCase{"   ", std::nullopt}, NumberCase{"+", std::nullopt},
    NumberCase{"-", std::nullopt}, NumberCase{"$", std::nullopt}, NumberCase{"0x", std::nullopt},
    NumberCase{"-$10", std::nullopt}, NumberCase{"+0x10", std::nullopt}, NumberCase{"-x1", std::nullopt},
    NumberCase{"5 ms", std::nullopt}, NumberCase{"5 ", std::nullopt}, NumberCase{"5;comment", std::nullopt},
    NumberCase{"yes", std::nullopt}, NumberCase{"1.5", std::nullopt}, NumberCase{"$12G", std::nullopt},
    NumberCase{"0x0x1", std::nullopt}, NumberCase{"--1", std::nullopt}, NumberCase{"$-1", std::nullopt}));

} // namespace
} // namespace vandrel::device
