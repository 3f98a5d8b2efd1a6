// --timing fast on the command line: the run at the maxima, its estimate,
// its one log line, and the refusal of a device file without the maxima.
#include <fstream>
#include <regex>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

// "about 2.9 s: ... + 2.3 s of programming waits": the waits, in seconds.
double EstimatedWaits(const std::string& err) {
    static const std::regex waits(R"(\+ ([0-9.]+) s of programming waits)");
    std::smatch m;
    return std::regex_search(err, m, waits) ? std::stod(m[1]) : -1;
}

class TimingOption : public CliTest {};

TEST_F(TimingOption, FastProgramsAtTheMaximaAndItsEstimateFollows) {
    // Every program word and EEPROM byte, so that the cycles outweigh the resets.
    std::map<std::int32_t, std::uint16_t> words;
    for (std::int32_t a = 0; a < 2048; ++a)
        words[a] = static_cast<std::uint16_t>(a & 0x3FFF);
    for (std::int32_t a = 0; a < 128; ++a)
        words[0x2100 + a] = static_cast<std::uint16_t>(a);
    words[0x2007] = 0x3F70;
    const std::string full = dir / "full.hex";
    std::ofstream(full) << HexOf(words);

    const CliResult described = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "d", "program", full});
    ASSERT_EQ(described.status, 0) << described.err;
    const std::int64_t describedMs = clock.base.NowMs();
    const CliResult fast =
        Run({"--simulate", "PIC16F628A", "--sim-state", dir / "f", "program", "--timing", "fast", full});
    ASSERT_EQ(fast.status, 0) << fast.err;
    const std::int64_t fastMs = clock.base.NowMs() - describedMs;
    EXPECT_TRUE(Chip()->Violations().empty());

    const std::vector<std::string> lines = Lines(fast.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Fast timing, the maxima of the chip's programming specification: erase 6 ms, "
                             "program memory 4 ms, configuration 4 ms, data EEPROM 6 ms.");
    EXPECT_EQ(described.out.find("Fast timing"), std::string::npos);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), Lines(described.out));

    // 8/8/10 ms against 4/6/6 ms: about half the time, and the estimate says so.
    EXPECT_LT(fastMs * 10, describedMs * 6) << fastMs << " against " << describedMs;
    const double describedWaits = EstimatedWaits(described.err), fastWaits = EstimatedWaits(fast.err);
    ASSERT_GT(fastWaits, 0) << fast.err;
    EXPECT_LT(fastWaits * 10, describedWaits * 6) << fast.err;

    const CliResult erased = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "f", "erase", "--timing", "fast"});
    EXPECT_EQ(erased.status, 0) << erased.err;
    EXPECT_EQ(Lines(erased.out).front().rfind("Fast timing", 0), 0u);
}

TEST_F(TimingOption, ADeviceFileWithoutTheMaximaIsRefusedBeforeThePortOpens) {
    // The shipped file with the data maximum of the PIC16F628A left out.
    std::ifstream in(VANDREL_SOURCE_DIR "/picspecs.ini");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string section = "[PIC16F628A]";
    const auto data = text.find("Maximum.Data=", text.find(section));
    text.erase(data, text.find('\n', data) + 1 - data);
    const std::string spec = dir / "spec.ini";
    std::ofstream(spec) << text;

    const CliResult r = Run({"--spec", spec, "--simulate", "PIC16F628A", "--sim-state", dir / "s", "program",
                             "--timing", "fast", ExampleHex()});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("PIC16F628A: the device file gives no Maximum.Data (the data EEPROM's maximum"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Chip(), nullptr) << "no simulated chip made: no port opened";
    EXPECT_TRUE(r.out.empty());

    EXPECT_EQ(Run({"--spec", spec, "--simulate", "PIC16F628A", "--sim-state", dir / "s", "program", ExampleHex()})
                  .status,
              0)
        << "the described timing does not need them";
    EXPECT_EQ(Run({"--simulate", "PIC16F628A", "program", "--timing", "quick", ExampleHex()}).status, 2);
}

} // namespace
} // namespace vandrel::test
