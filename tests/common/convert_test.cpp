#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/convert.h"

namespace vandrel {
namespace {

TEST(StrToInt, ReadsDecimalAndDollarHex) {
    EXPECT_EQ(StrToInt("12"), 12);
    EXPECT_EQ(StrToInt("-7"), -7);
    EXPECT_EQ(StrToInt("$2100"), 0x2100);
    EXPECT_EQ(StrToInt("$ff"), 255);
    EXPECT_EQ(StrToInt("$0000000010"), 16);          // leading zeros are not significant
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("$80000000"), INT32_MIN);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, RejectsWithTheQuotedText) {
    for (const char* bad : {"", "$", "$G", "$100000000", "12a", "2147483648", "COM", "-", "$-1"}) {
        try {
            StrToInt(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
        }
    }
}

TEST(Hex4, PadsToFourUpperCaseDigits) {
    EXPECT_EQ(Hex4(0), "0000");
    EXPECT_EQ(Hex4(0x2805), "2805");
    EXPECT_EQ(Hex4(0xabc), "0ABC");
    EXPECT_EQ(Hex4(0x12345), "12345");
    EXPECT_EQ(Hex4(-1), "FFFFFFFF");
}

TEST(PortNumberOf, TakesCharactersFourToSix) {
    EXPECT_EQ(PortNumberOf("COM3"), 3);
    EXPECT_EQ(PortNumberOf("COM12"), 12);
    EXPECT_EQ(PortNumberOf("COM1234"), 123);
    EXPECT_THROW(PortNumberOf("ttyUSB0"), EConvertError);
    EXPECT_THROW(PortNumberOf("COM"), EConvertError);
}

TEST(VirtualClock, WaitsAdvanceTimeAndNegativeWaitsAreFree) {
    VirtualClock clock(100);
    clock.WaitMs(10);
    clock.WaitMs(-1);
    clock.WaitMs(0);
    EXPECT_EQ(clock.NowMs(), 110);
    EXPECT_EQ(clock.WaitCount(), 1);
    EXPECT_EQ(clock.TotalWaitedMs(), 10);
}

} // namespace
} // namespace vandrel
