// The time estimate's arithmetic and its words.
#include "programmer/run_estimate.h"

#include <gtest/gtest.h>

namespace vandrel::programmer {
namespace {

TEST(RunEstimate, SaysTheTotalThenItsParts) {
    const RunEstimate estimate{{930.0, 0.0}, 383916, 18'400'000, 2060};
    EXPECT_EQ(estimate.TotalUs(), 375'441'880);
    EXPECT_EQ(DescribeEstimate(estimate),
              "about 6 min 15 s: 0.93 ms per line change \u00d7 383,916 line changes + 18.4 s of programming waits");
    EXPECT_EQ(DescribeEstimate({{1.26, 0.0}, 10086, 1'188'000, 55}),
              "about 1.2 s: 1.3 \u00b5s per line change \u00d7 10,086 line changes + 1.2 s of programming waits");
    EXPECT_EQ(DescribeEstimate({{2000.0, 0.0}, 10, 75'000'000, 1}),
              "about 1 min 15 s: 2.00 ms per line change \u00d7 10 line changes + 1 min 15 s of programming waits");
}

TEST(RunEstimate, OverAnFt232rCableTransfersAndBytesTakeTheTime) {
    Pace pace;
    pace.usPerTransfer = 1000.0;
    pace.usPerByte = 1.0;
    const RunEstimate estimate{pace, 0, 600'000, 6, 4104, 16'792'100};
    EXPECT_EQ(estimate.TotalUs(), 4'104'000 + 16'792'100 + 600'000);
    EXPECT_EQ(DescribeEstimate(estimate), "about 21 s: 4,104 USB transfers \u00d7 1.00 ms + 16,792,100 bit-bang "
                                          "bytes \u00d7 1.0 \u00b5s + 0.6 s of waits");

    // Measured: what is not waiting nor the bytes' clock is the transfers' own time.
    const MeasuredTimes check{150'000 + 100'050 + 20 * 1'100, 100'050, 100'000, 1};
    const std::optional<Pace> measured = MeasureTransferPace(check, 20, 150'000, 1.0);
    ASSERT_TRUE(measured);
    EXPECT_DOUBLE_EQ(measured->usPerTransfer, 1'100.0);
    EXPECT_DOUBLE_EQ(measured->usPerByte, 1.0);
    EXPECT_DOUBLE_EQ(measured->usOverWait, 50.0);
    EXPECT_DOUBLE_EQ(measured->usPerCall, 0.0);
    // A cable slower than its bit-bang clock: never less than nothing per transfer.
    EXPECT_DOUBLE_EQ(MeasureTransferPace({1000, 0, 0, 0}, 2, 5000, 1.0)->usPerTransfer, 0.0);
    EXPECT_FALSE(MeasureTransferPace(check, 0, 150'000, 1.0));
}

TEST(RunEstimate, WaitsTakeWhatTheSystemAddsToEach) {
    const RunEstimate estimate{{10.0, 250.0}, 1000, 1'000'000, 40};
    EXPECT_EQ(estimate.WaitUs(), 1'010'000);
    EXPECT_EQ(estimate.TotalUs(), 1'020'000);
    EXPECT_NE(DescribeEstimate(estimate).find("+ 1.0 s of programming waits"), std::string::npos);
}

TEST(RunEstimate, DurationsReadAsPeopleSayThem) {
    EXPECT_EQ(FormatDuration(-5), "0.00 s");
    EXPECT_EQ(FormatDuration(420'000), "0.42 s");
    EXPECT_EQ(FormatDuration(7'349'000), "7.3 s");
    EXPECT_EQ(FormatDuration(42'400'000), "42 s");
    EXPECT_EQ(FormatDuration(59'600'000), "1 min 0 s");
    EXPECT_EQ(FormatDuration(370'000'000), "6 min 10 s");
    EXPECT_EQ(FormatDuration(7'500'000'000), "2 h 5 min");
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
}

TEST(RunEstimate, ThePaceIsTheTimeNotSpentWaitingOverTheCallsAndTheOverrunPerWait) {
    // 250 ms in all, 200.4 ms of it in two waits of 100 ms, 500 calls.
    const auto pace = MeasurePace({250'000, 200'400, 200'000, 2}, 500);
    ASSERT_TRUE(pace);
    EXPECT_DOUBLE_EQ(pace->usPerCall, 99.2);
    EXPECT_DOUBLE_EQ(pace->usOverWait, 200.0);
    // Never negative; a hiccup of the machine counts as 5 ms at the most.
    const auto odd = MeasurePace({150'000, 200'000, 300'000, 1}, 500);
    EXPECT_EQ(odd->usPerCall, 0.0);
    EXPECT_EQ(odd->usOverWait, 0.0);
    EXPECT_EQ(MeasurePace({500'000, 400'000, 200'000, 2}, 5)->usOverWait, 5000.0);
    EXPECT_EQ(MeasurePace({1000, 0, 0, 0}, 10)->usOverWait, 0.0);
    EXPECT_FALSE(MeasurePace({1000, 0, 0, 0}, 0));
}

TEST(RunEstimate, AStallInOneStretchDoesNotMoveThePace) {
    const std::vector<Stretch> stretches = {
        {14, 1400, 0}, {62, 6200, 0}, {14, 71'400, 0}, // the machine stalled for 70 ms here
        {62, 6300, 0}, {3, 9000, 0},                   // too few calls to count
        {14, 101'400, 100'000},                        // a wait, not counted as calls' time
    };
    // (1400 + 6200 + 6300 + 1400) us over 14 + 62 + 62 + 14 calls
    EXPECT_NEAR(*SteadyUsPerCall(stretches), 100.66, 0.01);
    EXPECT_FALSE(SteadyUsPerCall({{14, 1400, 0}, {62, 6200, 0}}));
}

} // namespace
} // namespace vandrel::programmer
