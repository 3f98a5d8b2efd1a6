// The time estimate's arithmetic and its words.
#include "programmer/run_estimate.h"

#include <gtest/gtest.h>

namespace vandrel::programmer {
namespace {

TEST(RunEstimate, SaysTheTotalThenItsParts) {
    const RunEstimate estimate{930.0, 383916, 18'400'000};
    EXPECT_EQ(estimate.TotalUs(), 375'441'880);
    EXPECT_EQ(DescribeEstimate(estimate),
              "about 6 min 15 s: 0.93 ms per line change \u00d7 383,916 line changes + 18.4 s of programming waits");
    EXPECT_EQ(DescribeEstimate({1.26, 10086, 1'188'000}),
              "about 1.2 s: 1.3 \u00b5s per line change \u00d7 10,086 line changes + 1.2 s of programming waits");
    EXPECT_EQ(DescribeEstimate({2000.0, 10, 75'000'000}),
              "about 1 min 15 s: 2.00 ms per line change \u00d7 10 line changes + 1 min 15 s of programming waits");
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

TEST(RunEstimate, ThePaceIsTheTimeNotSpentWaitingOverTheCalls) {
    EXPECT_EQ(MeasureUsPerCall(250'000, 200'000, 500), 100.0);
    EXPECT_EQ(MeasureUsPerCall(150'000, 200'000, 500), 0.0); // never negative
    EXPECT_FALSE(MeasureUsPerCall(1000, 0, 0));
}

} // namespace
} // namespace vandrel::programmer
