// read: the chip into an Intel HEX file that programs the same chip again.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <tuple>

#include "cli/cli_test_env.h"
#include "image/hex_file.h"
#include "programmer/device_id.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

class ReadCommand : public CliTest {
protected:
    CliResult Sim(const std::string& device, const std::string& state, Strings args) {
        Strings all = {"--simulate", device, "--sim-state", state};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }
};

TEST_F(ReadCommand, ProgramThenReadGivesBackEveryWordOfTheExampleAndOfEachDevicesTestImage) {
    struct Case {
        device::TPicDevice device;
        std::string hex;
    };
    std::vector<Case> cases = {{ShippedDevice("PIC16F628A"), ExampleHex()}};
    // One device of each way of being written: the same algorithm over the
    // same kinds of area gives the same round trip, whatever the sizes.
    std::vector<std::tuple<device::TAlgorithm, bool, std::int32_t>> kinds;
    for (const device::TPicDevice& device : ShippedDevices()) {
        if (!programmer::HasDeviceId(device))
            continue; // refused unless forced: a chip that cannot be identified
        const auto kind = std::make_tuple(device.Algorithm, device.DataMemory.Size > 0, device.ConfigurationWord.Size);
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end())
            continue;
        kinds.push_back(kind);
        // A chip that reads back needs its protection off (the 12F629's CP is bit 7).
        auto words = AcceptanceWords(device);
        const device::TProtection& protection = device.Algorithm.Protection;
        words[device.ConfigurationWord.Address] |= protection.Code | protection.Data;
        cases.push_back({device, dir.Write(device.Name + ".hex", HexOf(words))});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device.Name + " " + c.hex);
        const std::string state = dir / (c.device.Name + std::to_string(&c - cases.data()) + ".state");
        const CliResult programmed = Sim(c.device.Name, state, {"program", c.hex});
        ASSERT_EQ(programmed.status, 0) << programmed.err;
        const std::string out = dir / "read.hex";
        const CliResult read = Sim(c.device.Name, state, {"read", out});
        ASSERT_EQ(read.status, 0) << read.err;
        ExpectSameChip(WordsOf(c.hex), WordsOf(out), c.device);
    }
}

// A chip whose configuration word protects it: verify says so in one line
// per area (each counted as an error), read refuses unless forced, and a
// forced read keeps what the chip gives.
TEST_F(ReadCommand, AProtectedChipIsSaidSoAndReadOnlyWhenForced) {
    const std::string state = dir / "locked.state", out = dir / "locked.hex";
    const std::string locked = VANDREL_SOURCE_DIR "/tests/data/programs/pic16f628a-cp.hex";
    ASSERT_EQ(Sim("PIC16F628A", state, {"program", locked}).status, 0);

    const CliResult verified = Sim("PIC16F628A", state, {"verify", locked});
    EXPECT_EQ(verified.status, 1);
    const Strings lines = Lines(verified.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Program memory is code-protected: it reads as 0000 and cannot be verified."),
              lines.end());
    EXPECT_EQ(lines.back(), "2 errors.");

    const CliResult refused = Sim("PIC16F628A", state, {"read", out});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("the chip is code-protected (configuration word 1E30): its program memory and EEPROM "
                               "read as 0000 (--force to write the file anyway)"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(out));

    const CliResult forced = Sim("PIC16F628A", state, {"--force", "read", out});
    EXPECT_EQ(forced.status, 0) << forced.err;
    const auto words = WordsOf(out);
    EXPECT_EQ(words.at(0x2007), 0x1E30);
    EXPECT_EQ(words.at(0x0000), 0x0000) << "what the chip gives";
}

TEST_F(ReadCommand, ReadProgramOntoABlankChipAndReadAgainGivesTheSameFile) {
    for (const bool all : {false, true}) {
        SCOPED_TRACE(all ? "--all" : "erased words left out");
        const std::string first = dir / "first.state", second = dir / (all ? "second-all.state" : "second.state");
        ASSERT_EQ(Sim("PIC16F628A", first, {"program", ExampleHex()}).status, 0);
        Strings readArgs = {"read", dir / "a.hex"};
        if (all)
            readArgs.push_back("--all");
        ASSERT_EQ(Sim("PIC16F628A", first, readArgs).status, 0);
        ASSERT_EQ(Sim("PIC16F628A", second, {"program", dir / "a.hex"}).status, 0);
        readArgs[1] = dir / "b.hex";
        ASSERT_EQ(Sim("PIC16F628A", second, readArgs).status, 0);
        EXPECT_EQ(ReadWholeFile(dir / "a.hex"), ReadWholeFile(dir / "b.hex"));
        const auto words = WordsOf(dir / "a.hex");
        // 2048 program words with --all, else the 33 of the example; 4 user
        // IDs, the device ID, the configuration word; 128 EEPROM bytes.
        EXPECT_EQ(words.size(), (all ? 2048u : 33u) + 6u + 128u);
        EXPECT_EQ(words.count(0x2004), 0u); // reserved
        EXPECT_EQ(words.at(0x4200 / 2), 0x05);
    }
}

TEST_F(ReadCommand, TheFileIsInhx32WithTheEepromAtByteAddress4200) {
    ASSERT_EQ(Sim("PIC16F628A", dir / "s", {"program", ExampleHex()}).status, 0);
    const CliResult r = Sim("PIC16F628A", dir / "s", {"read", dir / "out.hex"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Strings lines = Lines(ReadWholeFile(dir / "out.hex"));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), ":020000040000FA");
    EXPECT_EQ(lines.back(), ":00000001FF");
    EXPECT_NE(std::find(lines.begin(), lines.end(), ":10420000050042004C0049004E004B000000FF003A"), lines.end());
    // The log shows the dump's steps but not its 2182 word lines.
    EXPECT_EQ(Lines(r.out), (Strings{"<RESET>", "<RESET>", "<RESET>"}));
    EXPECT_NE(r.err.find("Read 2182 words; wrote 167 to " + dir / "out.hex"), std::string::npos) << r.err;
}

TEST_F(ReadCommand, CtrlCWritesNoFile) {
    int resets = 0;
    clock.OnWaitMs = [&](std::int64_t ms) {
        if (ms == 100 && ++resets == 4) // the read's own second reset
            std::raise(SIGINT);
    };
    const CliResult r = Sim("PIC16F628A", dir / "s", {"read", dir / "out.hex"});
    EXPECT_EQ(r.status, 130);
    EXPECT_NE(r.err.find("Terminated by user."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.hex"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("out.hex"), std::string::npos) << entry.path();
}

TEST_F(ReadCommand, AChipWithFactoryCalibrationKeepsItAndItsReadShowsIt) {
    // The test program of the 12F675 with another word at the OSCCAL address.
    const device::TPicDevice device = ShippedDevice("PIC12F675");
    std::map<std::int32_t, std::uint16_t> words;
    for (const auto& [address, word] : WordsOf(std::string(VANDREL_SOURCE_DIR) + "/tests/data/programs/pic12f675.hex"))
        words[address] = static_cast<std::uint16_t>(word);
    ASSERT_FALSE(words.empty());
    words[0x3FF] = 0x3412;
    const std::string hex = dir.Write("osccal.hex", HexOf(words));
    const std::string state = dir / "calibrated.state";

    const CliResult programmed = Sim(device.Name, state, {"program", hex});
    ASSERT_EQ(programmed.status, 0) << programmed.err;
    EXPECT_NE(programmed.out.find("<READ CALIBRATION> OSCCAL 3454 BG 1000"), std::string::npos) << programmed.out;
    EXPECT_NE(programmed.err.find("kept the chip's calibration: OSCCAL 3454, bandgap bits 1000"), std::string::npos)
        << programmed.err;

    const std::string out = dir / "calibrated.hex";
    ASSERT_EQ(Sim(device.Name, state, {"read", out}).status, 0);
    const auto read = WordsOf(out);
    ASSERT_TRUE(read.count(0x3FF));
    EXPECT_EQ(read.at(0x3FF), 0x3454) << "the factory word, not the file's";
    EXPECT_EQ(read.at(0x2007) & 0x3000, 0x1000) << "the factory bandgap bits";
}

TEST_F(ReadCommand, DashIsStandardOutputWithTheLogOnStandardErrorAndStandardInputForProgram) {
    input = ReadWholeFile(ExampleHex());
    const CliResult programmed = Sim("PIC16F628A", dir / "s", {"program", "-"});
    ASSERT_EQ(programmed.status, 0) << programmed.err;

    const CliResult r = Sim("PIC16F628A", dir / "s", {"read", "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string file = dir.Write("from-stdout.hex", r.out);
    EXPECT_EQ(Lines(r.out).front(), ":020000040000FA");
    EXPECT_EQ(WordsOf(file).at(0), 0x2805);
    EXPECT_NE(r.err.find("<RESET>"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("wrote 167 to standard output."), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists("-"));

    const CliResult quiet = Sim("PIC16F628A", dir / "s", {"-q", "read", "-"});
    EXPECT_EQ(quiet.out, r.out);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(ReadCommand, TheFormatFollowsTheOptionOrTheExtensionAndAnUnknownExtensionIsRefused) {
    ASSERT_EQ(Sim("PIC16F628A", dir / "s", {"program", ExampleHex()}).status, 0);
    for (const Strings& args : {Strings{"read", dir / "chip.bin"}, Strings{"read", "--format", "bin", dir / "chip.img"}}) {
        SCOPED_TRACE(args.back());
        const CliResult r = Sim("PIC16F628A", dir / "s", args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string bytes = ReadWholeFile(args.back());
        ASSERT_EQ(bytes.size(), 2048u * 2); // program memory only, two bytes a word
        EXPECT_EQ(bytes.substr(0, 4), std::string("\x05\x28\xFF\x3F", 4)); // 2805, then an erased 3FFF
    }
    const CliResult refused = Sim("PIC16F628A", dir / "s", {"read", dir / "chip.txt"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("chip.txt: .txt is neither .hex nor .bin"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "chip.txt"));
    ASSERT_EQ(Sim("PIC16F628A", dir / "s", {"read", "--format", "hex", dir / "chip.txt"}).status, 0);
    EXPECT_EQ(WordsOf(dir / "chip.txt").at(0), 0x2805);
}

} // namespace
} // namespace vandrel::test
