// Which chip it is, and whether it can be reached again: devices that share
// a device ID, a device without one, the factory calibration words named by
// detect and read and never written by program, and the configuration word
// that would lock a chip out of this adapter (MCLRE off with the internal
// oscillator), refused unless forced, after which the simulated chip no
// longer enters programming mode.
#include <filesystem>

#include "cli/cli_test_env.h"
#include "common/convert.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class IdentityLockOut : public CliTest {
protected:
    CliResult Sim(const std::string& device, Strings args, const std::string& state = "") {
        Strings all = {"--simulate", device, "--sim-state", State(state.empty() ? device : state)};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }
};

TEST_F(IdentityLockOut, ALockOutWordIsRefusedUntouchedThenForcedLastAndTheChipNoLongerEnters) {
    struct Case {
        std::string device;
        std::uint16_t word, reachable; // the lock-out word, and it with MCLRE on
        std::string bits;             // the oscillator bits as the message names them
    };
    const std::vector<Case> cases = {
        {"PIC16F628A", 0x3F50, 0x3F70, "(bits 0013 = 0010)"}, // INTOSC I/O, FOSC2 at bit 4
        {"PIC12F683", 0x3FD5, 0x3FF5, "(bits 0007 = 0005)"},  // INTOSC with CLKOUT
        {"PIC12F609", 0x3FD4, 0x3FF4, "(bits 0007 = 0004)"},  // no EEPROM, externally timed
        {"PIC16F88", 0x3F50, 0x3F70, "(bits 0013 = 0010)"},   // the first of two words
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const device::TPicDevice d = ShippedDevice(c.device);
        const std::string hex = dir.Write(
            c.device + ".hex", HexOf({{0x0000, 0x2805}, {0x0001, 0x0123}, {d.ConfigurationWord.Address, c.word}}));

        const CliResult refused = Sim(c.device, {"program", hex});
        EXPECT_EQ(refused.status, 3);
        EXPECT_TRUE(Has(refused.err, hex + ": configuration word " + Hex4(c.word) +
                                         " turns MCLRE off (bit 0020 = 0) with the internal oscillator " + c.bits +
                                         ": the chip then runs its program whenever it has power"))
            << refused.err;
        EXPECT_TRUE(Has(refused.err, "keep MCLRE = 1 while developing (" + Hex4(c.reachable) +
                                         ") (--force writes it anyway)"))
            << refused.err;
        EXPECT_FALSE(std::filesystem::exists(State(c.device))) << "refused before the chip is touched";

        // A word with MCLRE on is no lock-out.
        const std::string fine = dir.Write(c.device + "-mclre.hex",
                                           HexOf({{0x0000, 0x2805}, {d.ConfigurationWord.Address, c.reachable}}));
        EXPECT_EQ(Sim(c.device, {"program", fine}, c.device + "-mclre").status, 0);

        const CliResult forced = Sim(c.device, {"--force", "program", hex});
        EXPECT_EQ(forced.status, 0) << forced.err;
        EXPECT_TRUE(Has(forced.err, "warning: " + hex + ": configuration word " + Hex4(c.word)));
        // Written last: after program memory is written and verified.
        const Strings log = Lines(forced.out);
        const auto at = [&](const std::string& line) { return std::find(log.begin(), log.end(), line) - log.begin(); };
        EXPECT_LT(at("<VERIFY PROGRAM MEMORY>"), at("<LOAD CONFIGURATION DATA>")) << forced.out;
        EXPECT_LT(at("Configuration word turns MCLRE off with the internal oscillator: written last, after the "
                     "verify."),
                  at("<LOAD CONFIGURATION DATA>"));
        EXPECT_EQ(log.back(), "complete.");
        EXPECT_EQ(Chip()->ReadWord(d.ConfigurationWord.Address) & 0x00FF, c.word & 0x00FF);
        EXPECT_TRUE(Chip()->Violations().empty());

        // From its next power-up (the next command) the chip reads as no chip.
        const CliResult detect = Sim(c.device, {"detect"});
        EXPECT_EQ(detect.status, 3);
        EXPECT_TRUE(Has(detect.err, "no chip answers (device ID 0000): no chip, no power, or a wrong adapter or port, "
                                    "or a chip set to MCLRE = 0 with its internal oscillator"))
            << detect.err;
        const CliResult again = Sim(c.device, {"--force", "program", fine});
        EXPECT_NE(again.status, 0) << "nothing reaches it any more";
        EXPECT_EQ(Chip()->ReadWord(d.ConfigurationWord.Address) & 0x00FF, c.word & 0x00FF);

        // config warns of such a word on a chip that still answers (powered up before it was written).
        onSimulator = [&](simulator::SimChip& chip) {
            chip.PowerUp();
            chip.WriteWord(d.ConfigurationWord.Address, c.word);
        };
        const CliResult config = Sim(c.device, {"config"}, c.device + "-config");
        onSimulator = nullptr;
        EXPECT_EQ(config.status, 0) << config.err;
        EXPECT_TRUE(Has(config.err, "warning: the chip's configuration word " + Hex4(c.word) + " turns MCLRE off"))
            << config.err;
    }
}

TEST_F(IdentityLockOut, SharedAndMissingDeviceIdsAreSaidPlainly) {
    const std::string hex = dir.Write("small.hex", HexOf({{0x0000, 0x2805}, {0x2007, 0x3FFF}}));
    // The 16F636 and 16F639 answer 10A0 alike: detect names both, and either is accepted for the other.
    for (const auto& [chip, given] : {std::pair<std::string, std::string>{"PIC16F636", "PIC16F639"},
                                      {"PIC16F639", "PIC16F636"}}) {
        SCOPED_TRACE(chip);
        const CliResult detect = Sim(chip, {"detect"});
        EXPECT_EQ(detect.status, 0) << detect.err;
        EXPECT_EQ(detect.out, "PIC16F636 or PIC16F639 revision 0 (device ID 10A0)\n");
        EXPECT_TRUE(Has(detect.err, "calibration words 2008 " + Hex4(Chip()->ReadWord(0x2008)) + ", 2009 " +
                                        Hex4(Chip()->ReadWord(0x2009)) + ": the chip's own, never written"))
            << detect.err;
        const CliResult other = Sim(chip, {"--device", given, "program", hex});
        EXPECT_EQ(other.status, 0) << other.err;
        EXPECT_EQ(Sim(chip, {"--device", "auto", "detect"}).status, 0);
        EXPECT_TRUE(Has(Sim(chip, {"--device", "auto", "program", hex}).err,
                        "device ID 10A0 is that of PIC16F636 and PIC16F639: give --device NAME"));
    }

    // The 16F83/84 have no device ID: nothing they answer identifies them.
    struct Case {
        Strings args;
        int status;
        std::string says;
    };
    const std::string cannot =
        "COM0 (simulated PIC16F84): the PIC16F84 has no device ID: this chip cannot be identified";
    const std::vector<Case> cases = {
        {{"detect"}, 3, cannot + " (--force takes it as the PIC16F84)"},
        {{"--force", "detect"}, 0, cannot + " (taken as the PIC16F84: --force)"},
        {{"program", hex}, 3, cannot + " (--force to go on)"},
        {{"--force", "program", hex}, 0, cannot + " (going on: --force)"},
        {{"read", dir / "84.hex"}, 3, cannot + " (--force to go on)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const CliResult r = Sim("PIC16F84", c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(Has(r.err, c.says)) << r.err;
    }
    EXPECT_EQ(Sim("PIC16F84", {"--force", "detect"}).out, "PIC16F84 (no device ID; taken as given)\n");
    EXPECT_EQ(Chip()->ReadWord(0), 0x2805) << "the forced program wrote it";
}

TEST_F(IdentityLockOut, ReadPutsTheCalibrationWordsInTheFileAndProgramNeverWritesThem) {
    for (const std::string device : {"PIC16F887", "PIC12F635", "PIC12F615"}) {
        SCOPED_TRACE(device);
        const std::vector<std::int32_t> words = ShippedDevice(device).Algorithm.Calibration.Words;
        const std::string out = dir / (device + "-read.hex");
        const CliResult read = Sim(device, {"read", out});
        ASSERT_EQ(read.status, 0) << read.err;
        std::map<std::int32_t, std::int16_t> file = WordsOf(out);
        std::map<std::int32_t, std::uint16_t> changed;
        for (const auto& [address, word] : file)
            changed[address] = static_cast<std::uint16_t>(word);
        for (const std::int32_t w : words) {
            EXPECT_EQ(file[w], Chip()->ReadWord(w)) << Hex4(w);
            EXPECT_NE(file[w], 0x3FFF) << "the factory's word, not an erased one";
            EXPECT_TRUE(Has(read.err, Hex4(w) + " " + Hex4(file[w]))) << read.err;
            changed[w] = 0x0000; // a file that would spoil them
        }
        EXPECT_TRUE(Has(read.err, "in the file: the chip's own; program leaves")) << read.err;

        const CliResult program = Sim(device, {"program", dir.Write(device + "-changed.hex", HexOf(changed))});
        EXPECT_EQ(program.status, 0) << program.err;
        EXPECT_TRUE(Has(program.err, words.size() == 1 ? "the calibration word " : "the calibration words "));
        EXPECT_TRUE(Has(program.err, "in the file: the chip's own, left as the chip has them, not written"));
        for (const std::int32_t w : words)
            EXPECT_EQ(Chip()->ReadWord(w), file[w]) << Hex4(w);
        EXPECT_FALSE(Chip()->CalibrationLost());
    }
}

} // namespace
} // namespace vandrel::test
