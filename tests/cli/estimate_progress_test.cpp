// The time estimate against the run it estimates, the progress line, and
// --quiet.
#include <regex>

#include "cli/cli_test_env.h"
#include "cli/progress_line.h"
#include "cli/progress_tracker.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

// "The run took X s (estimated Y s)."
bool TookAndEstimated(const std::string& err, double& took, double& estimated) {
    std::smatch m;
    static const std::regex pattern(R"(The run took ([0-9.]+) s \(estimated ([0-9.]+) s\)\.)");
    if (!std::regex_search(err, m, pattern))
        return false;
    took = std::stod(m[1]);
    estimated = std::stod(m[2]);
    return true;
}

class EstimateProgress : public CliTest {};

TEST_F(EstimateProgress, WithSimulatedLatencyTheEstimateHoldsWithinTenPercent) {
    for (const char* latency : {"0", "20", "250"}) {
        for (const char* command : {"program", "verify", "read"}) {
            SCOPED_TRACE(std::string(command) + " at " + latency + " us");
            const std::string state = dir / "s";
            const CliResult r = Run({"--simulate", "PIC16F628A", "--sim-state", state, "--sim-latency", latency, command,
                                     std::string(command) == "read" ? dir / "out.hex" : ExampleHex()});
            ASSERT_EQ(r.status, 0) << r.err;
            std::smatch m;
            static const std::regex line(R"(about [^:]+: [0-9.]+ (ms|µs) per line change × [0-9,]+ line changes \+ )"
                                         R"([0-9.]+ s of programming waits)");
            EXPECT_TRUE(std::regex_search(r.err, m, line)) << r.err;
            double took = 0, estimated = 0;
            ASSERT_TRUE(TookAndEstimated(r.err, took, estimated)) << r.err;
            EXPECT_NEAR(estimated, took, took * 0.10);
        }
    }
}

TEST_F(EstimateProgress, OnATerminalOneLineUpdatesItselfOnStandardError) {
    terminal = true;
    const CliResult r = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "program", ExampleHex()});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("\r\033[KLOAD PROGRAM MEMORY  "), std::string::npos);
    EXPECT_NE(r.err.find("/33 words"), std::string::npos);
    EXPECT_NE(r.err.find(" left"), std::string::npos);
    // The line is wiped before anything else is printed, so no text follows
    // a progress line on the same line.
    EXPECT_EQ(r.err.find("left\n"), std::string::npos);
    EXPECT_EQ(Lines(r.out).back(), "complete.");

    terminal = false;
    const CliResult piped = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "verify", ExampleHex()});
    EXPECT_EQ(piped.err.find('\r'), std::string::npos);
}

TEST_F(EstimateProgress, QuietPrintsErrorsOnly) {
    terminal = true;
    const CliResult ok = Run({"-q", "--simulate", "PIC16F628A", "--sim-state", dir / "s", "program", ExampleHex()});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "");
    EXPECT_EQ(ok.err, "");
    const CliResult failed = Run({"-q", "--simulate", "PIC16F628A", "--sim-state", dir / "s", "program", dir / "x.hex"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("x.hex: No such file or directory"), std::string::npos);
}

TEST(ProgressLine, ShowsStepWordsPaceAndTimeLeft) {
    cli::ProgressState state;
    state.step = "LOAD PROGRAM MEMORY";
    state.done = 12;
    state.total = 33;
    EXPECT_EQ(cli::FormatProgress(state), "LOAD PROGRAM MEMORY  12/33 words");
    state.wordsPerSecond = 139.6;
    state.usLeft = 3'400'000;
    EXPECT_EQ(cli::FormatProgress(state), "LOAD PROGRAM MEMORY  12/33 words  140 words/s  0:03 left");
    EXPECT_EQ(cli::FormatClock(760'000'000), "12:40");
    EXPECT_EQ(cli::FormatClock(3'723'000'000), "1:02:03");

    std::string step;
    std::int32_t done = 0, total = 0;
    EXPECT_TRUE(cli::SplitStepStatus("VERIFY EEPROM DATA 7/128", step, done, total));
    EXPECT_EQ(step, "VERIFY EEPROM DATA");
    EXPECT_EQ(done, 7);
    EXPECT_EQ(total, 128);
    EXPECT_FALSE(cli::SplitStepStatus("In Program Area:0012", step, done, total));
    EXPECT_FALSE(cli::SplitStepStatus("BULK ERASE DATA MEMORY", step, done, total));
}

TEST(ProgressLine, RedrawsAtMostTenTimesASecondWithinAStep) {
    VirtualClock clock;
    std::ostringstream err;
    cli::ProgressLine line(err, true, clock);
    cli::ProgressState state{"STEP", 1, 10, {}, {}};
    line.Update(state);
    state.done = 2;
    line.Update(state); // too soon
    clock.WaitUs(100'000);
    state.done = 3;
    line.Update(state);
    state.step = "NEXT";
    line.Update(state); // a new step shows at once
    line.Clear();
    EXPECT_EQ(err.str(), "\r\033[KSTEP  1/10 words\r\033[KSTEP  3/10 words\r\033[KNEXT  3/10 words\r\033[K");
}

} // namespace
} // namespace vandrel::test
