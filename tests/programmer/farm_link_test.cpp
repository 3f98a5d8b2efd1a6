#include "programmer/farm_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/modem_lines_fake.h"

namespace vandrel::programmer {
namespace {

using Calls = std::vector<std::string>;

class FarmLinkTest : public ::testing::Test {
protected:
    test::RecordingModemLines lines;
    VirtualClock clock;
    TFarmLink link{lines, clock};

    // The bits the chip would take: data level at each SETRTS, starting from
    // the level FarmReset leaves (0).
    std::vector<int> ClockedBits() const {
        std::vector<int> bits;
        int level = 0;
        for (const auto& call : lines.calls) {
            if (call == "CLRDTR")
                level = 1;
            else if (call == "SETDTR")
                level = 0;
            else if (call == "SETRTS")
                bits.push_back(level);
        }
        return bits;
    }

    static int BitsValue(const std::vector<int>& bits, std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t i = 0; i < count; ++i)
            value |= bits.at(from + i) << i;
        return value;
    }
};

TEST_F(FarmLinkTest, ResetHoldsTheChipThenAppliesVoltageWithClockAndDataLow) {
    link.FarmReset();
    EXPECT_EQ(lines.calls, (Calls{"BREAK", "SETRTS", "SETDTR", "NOBREAK"}));
    EXPECT_EQ(clock.TotalWaitedMs(), 100);
    EXPECT_EQ(clock.WaitCount(), 1);
}

TEST_F(FarmLinkTest, IncrementAddressAfterResetIsTheFourteenCallSequence) {
    link.FarmReset();
    lines.calls.clear();
    link.FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(lines.calls, (Calls{"CLRRTS", "SETRTS", "CLRRTS", "CLRDTR", "SETRTS", "CLRRTS", "SETRTS",
                                  "CLRRTS", "SETDTR", "SETRTS", "CLRRTS", "SETRTS", "CLRRTS", "SETRTS"}));
}

TEST_F(FarmLinkTest, DataFrameOfAllOnesChangesDtrOnlyAtBitsOneAndFifteen) {
    link.FarmWrite(kLoadDataForProgramMemory, 0x3FFF);
    // Command 0x02: bit 1 is the only 1; then 0x7FFE: start 0, fourteen 1s, stop 0.
    EXPECT_EQ(std::count(lines.calls.begin(), lines.calls.end(), "SETRTS"), 22);
    lines.calls.erase(lines.calls.begin(), lines.calls.begin() + 14); // 6-bit command frame
    const Calls expected = [] {
        Calls c{"CLRRTS", "SETRTS", "CLRRTS", "CLRDTR", "SETRTS"};
        for (int i = 2; i < 15; ++i)
            c.insert(c.end(), {"CLRRTS", "SETRTS"});
        c.insert(c.end(), {"CLRRTS", "SETDTR", "SETRTS"});
        return c;
    }();
    EXPECT_EQ(lines.calls, expected);
}

TEST_F(FarmLinkTest, DataWordIsMaskedToFourteenBitsAndNegativeSendsCommandOnly) {
    struct Case {
        std::int16_t data;
        std::size_t cycles;
        int sent; // data bits 0..13 of the frame, -1 when there is none
    };
    for (const Case& c : {Case{0x4001, 22, 1}, Case{0, 22, 0}, Case{0x2AAA, 22, 0x2AAA},
                          Case{-1, 6, -1}, Case{static_cast<std::int16_t>(0x8001), 6, -1},
                          Case{static_cast<std::int16_t>(0xFFFE), 6, -1}}) {
        SCOPED_TRACE(c.data);
        lines.calls.clear();
        link.FarmWrite(kLoadDataForDataMemory, c.data);
        const auto bits = ClockedBits();
        ASSERT_EQ(bits.size(), c.cycles);
        EXPECT_EQ(BitsValue(bits, 0, 6), kLoadDataForDataMemory);
        if (c.sent >= 0) {
            EXPECT_EQ(bits[6], 0) << "start bit";
            EXPECT_EQ(BitsValue(bits, 7, 14), c.sent);
            EXPECT_EQ(bits[21], 0) << "stop bit";
        }
        // The resting level after any frame is data 0, and DTR only moves while the clock is high.
        int level = 0;
        bool clockHigh = false;
        for (const auto& call : lines.calls) {
            if (call == "CLRRTS")
                clockHigh = true;
            else if (call == "SETRTS")
                clockHigh = false;
            else {
                EXPECT_TRUE(clockHigh) << call;
                level = call == "CLRDTR" ? 1 : 0;
            }
        }
        EXPECT_EQ(level, 0);
    }
}

TEST_F(FarmLinkTest, ZeroDataFrameNeverTouchesDtr) {
    link.FarmWrite(kLoadConfiguration, 0);
    EXPECT_EQ(std::count(lines.calls.begin(), lines.calls.end(), "SETDTR"), 0);
    EXPECT_EQ(std::count(lines.calls.begin(), lines.calls.end(), "CLRDTR"), 0);
    EXPECT_EQ(lines.calls.size(), 44u);
}

TEST_F(FarmLinkTest, SendWithoutPositiveCountIssuesNothing) {
    link.FarmSend(0x3F, 0);
    link.FarmSend(0x3F, -5);
    EXPECT_TRUE(lines.calls.empty());
}

TEST_F(FarmLinkTest, EachSendStartsFromDataLevelZero) {
    // Two sends of 1: each starts by assuming 0, so each issues its own CLRDTR.
    link.FarmSend(1, 1);
    link.FarmSend(1, 1);
    EXPECT_EQ(lines.calls, (Calls{"CLRRTS", "CLRDTR", "SETRTS", "CLRRTS", "CLRDTR", "SETRTS"}));
}

TEST_F(FarmLinkTest, SendShiftsArithmetically) {
    // Beyond bit 15 the sign bit repeats.
    link.FarmSend(static_cast<std::int16_t>(0x8000), 18);
    const auto bits = ClockedBits();
    ASSERT_EQ(bits.size(), 18u);
    EXPECT_EQ(BitsValue(bits, 0, 15), 0);
    EXPECT_EQ(bits[15], 1);
    EXPECT_EQ(bits[16], 1);
    EXPECT_EQ(bits[17], 1);
}

// A reset, a command with data and a read: every kind of line change.
void Exchange(TFarmLink& link) {
    link.FarmReset();
    link.FarmWrite(kLoadDataForProgramMemory, 0x2A55);
    link.FarmRead(kReadDataFromProgramMemory);
}

TEST_F(FarmLinkTest, FailedLineChangeIsRetriedAtOnceAndNothingElseMoves) {
    Exchange(link);
    const Calls clean = lines.calls;
    const auto cleanBits = ClockedBits();
    const std::int64_t cleanWait = clock.TotalWaitedMs();

    // Every line change in turn fails once: it is repeated straight away,
    // before any other line moves, and the exchange is otherwise the same.
    int changes = 0;
    for (const auto& call : clean)
        changes += call != "STATUS";
    for (int failing = 0; failing < changes; ++failing) {
        SCOPED_TRACE(failing);
        test::RecordingModemLines flaky;
        flaky.escapeFails = [&](const std::string&, int index) { return index == failing; };
        VirtualClock flakyClock;
        TFarmLink flakyLink(flaky, flakyClock);
        Exchange(flakyLink);
        EXPECT_FALSE(flakyLink.LinkLost());
        EXPECT_EQ(flakyClock.TotalWaitedMs(), cleanWait);

        const auto bang = std::find_if(flaky.calls.begin(), flaky.calls.end(),
                                       [](const std::string& c) { return c.front() == '!'; });
        ASSERT_NE(bang, flaky.calls.end());
        ASSERT_NE(bang + 1, flaky.calls.end());
        EXPECT_EQ(bang->substr(1), *(bang + 1)) << "the same change again, at once";
        Calls withoutFailure = flaky.calls;
        withoutFailure.erase(withoutFailure.begin() + (bang - flaky.calls.begin()));
        EXPECT_EQ(withoutFailure, clean);
    }
    EXPECT_GT(changes, 100);
}

TEST_F(FarmLinkTest, ChangeThatKeepsFailingLosesTheLinkForGood) {
    // The clock line dies in the middle of the command frame: the attempts
    // stop after a bounded number, nothing moves any more, reads give 3FFF.
    lines.escapeFails = [](const std::string& name, int index) { return name == "SETRTS" && index > 20; };
    link.FarmReset();
    link.FarmWrite(kLoadDataForProgramMemory, 0x0000);
    EXPECT_TRUE(link.LinkLost());
    const auto failures = std::count(lines.calls.begin(), lines.calls.end(), "!SETRTS");
    EXPECT_EQ(failures, TFarmLink::kAttempts);
    EXPECT_EQ(lines.calls.back(), "!SETRTS");

    const std::size_t before = lines.calls.size();
    const std::int64_t waited = clock.TotalWaitedMs();
    link.FarmReset();
    link.FarmWrite(kIncrementAddress, -1);
    EXPECT_EQ(link.FarmRead(kReadDataFromProgramMemory), 0x3FFF);
    EXPECT_EQ(lines.calls.size(), before) << "the lost link drives nothing";
    EXPECT_EQ(clock.TotalWaitedMs(), waited);

    // A break that cannot be set loses it at once, before the reset's wait.
    test::RecordingModemLines dead;
    dead.escapeFails = [](const std::string& name, int) { return name == "BREAK"; };
    VirtualClock deadClock;
    TFarmLink deadLink(dead, deadClock);
    deadLink.FarmReset();
    EXPECT_TRUE(deadLink.LinkLost());
    EXPECT_EQ(dead.calls, Calls(TFarmLink::kAttempts, "!BREAK"));
    EXPECT_EQ(deadClock.TotalWaitedMs(), 0);
}

TEST_F(FarmLinkTest, RecvClocksSixteenCyclesAndKeepsOnlyCyclesOneToFourteen) {
    lines.cts = [](int) { return false; };
    EXPECT_EQ(link.FarmRecv(), 0x3FFF);
    Calls expected;
    for (int i = 0; i < 16; ++i)
        expected.insert(expected.end(), {"CLRRTS", "SETRTS", "STATUS"});
    EXPECT_EQ(lines.calls, expected);

    lines.statusQueries = 0;
    lines.cts = [](int) { return true; };
    EXPECT_EQ(link.FarmRecv(), 0);

    // Start and stop cycles read as 1 but never reach the result.
    lines.statusQueries = 0;
    lines.cts = [](int q) { return q != 0 && q != 15; };
    EXPECT_EQ(link.FarmRecv(), 0);

    // CTS clear in cycle i sets bit i-1.
    lines.statusQueries = 0;
    lines.cts = [](int q) { return !(q == 1 || q == 14 || q == 5); };
    EXPECT_EQ(link.FarmRecv(), 0x2011);
}

TEST_F(FarmLinkTest, FailedStatusQueryReadsAsBitOne) {
    // The failed query leaves CTS-on in the status; the link must not trust it.
    lines.cts = [](int) { return true; };
    lines.statusFails = [](int q) { return q == 3 || q == 9; };
    EXPECT_EQ(link.FarmRecv(), (1u << 2) | (1u << 8));
}

TEST_F(FarmLinkTest, ReadSendsTheCommandThenARecvFrame) {
    lines.cts = [](int q) { return q % 2 == 0; }; // bits at odd cycles are 1
    const auto value = link.FarmRead(kReadDataFromDataMemory);
    EXPECT_EQ(value, 0x1555);
    const auto bits = ClockedBits();
    ASSERT_EQ(bits.size(), 22u);
    EXPECT_EQ(BitsValue(bits, 0, 6), kReadDataFromDataMemory);
    EXPECT_EQ(std::count(lines.calls.begin(), lines.calls.end(), "STATUS"), 16);
    EXPECT_EQ(lines.calls[14], "CLRRTS") << "nothing between the command frame and the read frame";
}

} // namespace
} // namespace vandrel::programmer
