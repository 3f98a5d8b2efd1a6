// program, verify and erase on the simulated chip: the window's steps and log
// lines, the device check before them, and the exit statuses of their ends.
#include <csignal>

#include "cli/cli_test_env.h"
#include "simulator/sim_state_file.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

const Strings kFullRunLog = {
    "<RESET>", "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>", "<BULK ERASE DATA MEMORY>",
    "<RESET>", "<LOAD PROGRAM MEMORY>",              "<RESET>", "<LOAD CONFIGURATION DATA>",
    "<RESET>", "<LOAD EEPROM DATA>",                 "<RESET>", "<VERIFY PROGRAM MEMORY>",
    "<RESET>", "<VERIFY CONFIGURATION MEMORY>",      "<RESET>", "<VERIFY EEPROM DATA>",
    "complete.",
};

class ProgramCommand : public CliTest {
protected:
    CliResult Sim(const std::string& device, Strings args) {
        Strings all = {"--simulate", device, "--sim-state", State(device)};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }
};

TEST_F(ProgramCommand, ProgramRunsEveryStepOfTheWindowsDownloadAndExitsZeroOnComplete) {
    const CliResult r = Sim("PIC16F628A", {"program", ExampleHex()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), kFullRunLog);
    EXPECT_NE(r.err.find("COM0 (simulated PIC16F628A): PIC16F628A revision 0 (device ID 1060)"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Process finished."), std::string::npos);
    EXPECT_EQ(Chip()->ReadWord(0), 0x2805);
    EXPECT_EQ(Chip()->ReadWord(0x2007), 0x3F70);
    EXPECT_EQ(Chip()->ReadWord(0x2101), 0x42);
    EXPECT_TRUE(Chip()->Violations().empty());
    EXPECT_FALSE(SimPort()->IsOpen());
}

TEST_F(ProgramCommand, OptionsTickOnlyTheStepsOfTheAreasChosen) {
    struct Case {
        Strings args;
        Strings log;
    };
    const std::vector<Case> cases = {
        {{"program", "--area", "data", "--no-erase", ExampleHex()},
         {"<RESET>", "<LOAD EEPROM DATA>", "<RESET>", "<VERIFY EEPROM DATA>", "complete."}},
        {{"program", "--area", "program,config", "--no-verify", ExampleHex()},
         {"<RESET>", "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>", "<LOAD PROGRAM MEMORY>", "<RESET>",
          "<LOAD CONFIGURATION DATA>", "complete."}},
        {{"program", "-a", "config", ExampleHex()},
         {"<RESET>", "<LOAD CONFIGURATION DATA>", "<RESET>", "<VERIFY CONFIGURATION MEMORY>", "complete."}},
        {{"verify", "--area", "config", ExampleHex()}, {"<RESET>", "<VERIFY CONFIGURATION MEMORY>", "complete."}},
        {{"erase"},
         {"<RESET>", "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>", "<BULK ERASE DATA MEMORY>", "complete."}},
        {{"erase", "--area", "data"}, {"<RESET>", "<BULK ERASE DATA MEMORY>", "complete."}},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& arg : c.args)
            trace += arg + " ";
        SCOPED_TRACE(trace);
        const CliResult r = Sim("PIC16F628A", c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Lines(r.out), c.log);
    }
}

TEST_F(ProgramCommand, TheChipKeepsItsMemoriesFromOneRunToTheNext) {
    // Into the default state file: no --sim-state.
    ASSERT_EQ(Run({"--simulate", "PIC16F628A", "program", ExampleHex()}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "state/vandrel1/PIC16F628A.hex"));
    const CliResult verified = Run({"--simulate", "PIC16F628A", "verify", ExampleHex()});
    EXPECT_EQ(verified.status, 0) << verified.out;
    ASSERT_EQ(Run({"--simulate", "PIC16F628A", "erase"}).status, 0);
    const CliResult blank = Run({"--simulate", "PIC16F628A", "verify", ExampleHex()});
    EXPECT_EQ(blank.status, 1);
    const Strings lines = Lines(blank.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Verify Error at [0000]: 2805 -> 3FFF NG"), lines.end());
    // 33 program words, 7 EEPROM bytes, and the 4 user IDs and the
    // configuration word: the erase from the configuration area clears them too.
    EXPECT_EQ(lines.back(), "45 errors.");
}

TEST_F(ProgramCommand, AStuckBitGivesTheWindowsErrorLinesAndStatusOne) {
    onSimulator = [](simulator::SimChip& chip) { chip.SetStuckBit(13, false); };
    const CliResult r = Sim("PIC16F628A", {"program", "--area", "program", ExampleHex()});
    EXPECT_EQ(r.status, 1);
    const Strings lines = Lines(r.out);
    // goto start (2805) has bit 13 set; it reads back without it.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Write Error at [0000]: 2805 -> 0805 NG"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Verify Error at [0000]: 2805 -> 0805 NG"), lines.end());
    EXPECT_TRUE(lines.back().size() > 8 && lines.back().substr(lines.back().size() - 8) == " errors.")
        << lines.back();
}

TEST_F(ProgramCommand, AChipThatIsNotTheDeviceGivenIsRefusedUnlessForced) {
    // A PIC16F627A takes the PIC16F628A's timings: forced, the run succeeds.
    const Strings args = {"--device", "PIC16F628A", "program", ExampleHex()};
    const CliResult refused = Sim("PIC16F627A", args);
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("COM0 (simulated PIC16F627A): the chip is PIC16F627A revision 0 (device ID 1040), "
                               "not the PIC16F628A given (--force to go on)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(Chip()->ReadWord(0), 0x3FFF);
    EXPECT_FALSE(std::filesystem::exists(State("PIC16F627A")));

    Strings forced = args;
    forced.insert(forced.begin(), "--force");
    const CliResult accepted = Sim("PIC16F627A", forced);
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_NE(accepted.err.find("(going on: --force)"), std::string::npos);
    EXPECT_EQ(Chip()->ReadWord(0), 0x2805);
}

TEST_F(ProgramCommand, NoChipAnswersWhetherTheDataLineFloatsHighOrIsHeldLow) {
    for (const bool ctsOn : {false, true}) {
        SCOPED_TRACE(ctsOn ? "held low" : "floats high");
        onSimulator = [ctsOn](simulator::SimChip& chip) { chip.SetNoChip(true, ctsOn); };
        const CliResult r = Sim("PIC16F628A", {"program", ExampleHex()});
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.err.find(std::string("no chip answers (device ID ") + (ctsOn ? "0000" : "3FFF") + ")"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(ProgramCommand, CtrlCInTheMiddleOfAWriteEndsWithStatus130AndAConsistentStateFile) {
    // The fifth programming wait of the program area gets the signal, as a
    // user's Ctrl-C would arrive while the word is being written.
    int programmingWaits = 0;
    clock.OnWaitMs = [&](std::int64_t ms) {
        if (ms == 8 && ++programmingWaits == 5)
            std::raise(SIGINT);
    };
    const CliResult r = Sim("PIC16F628A", {"program", ExampleHex()});
    EXPECT_EQ(r.status, 130);
    EXPECT_NE(r.err.find("Terminated by user."), std::string::npos) << r.err;
    EXPECT_FALSE(SimPort()->IsOpen());
    const Strings lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "<LOAD PROGRAM MEMORY>");

    // The word whose wait was cut into is still read back (as the window
    // does), then the run stops: five words are in, and the file says so.
    const auto saved = WordsOf(State("PIC16F628A"));
    EXPECT_EQ(saved.at(0), 0x2805);
    for (std::int32_t a = 0; a < 0x4000; ++a) {
        const std::int32_t word = Chip()->ReadWord(a);
        const bool erased = word < 0 || word == (a >= 0x2100 ? 0xFF : 0x3FFF);
        if (a == 0x2006)
            continue;
        EXPECT_EQ(saved.count(a) != 0, !erased) << std::hex << a;
        if (!erased && saved.count(a)) {
            EXPECT_EQ(saved.at(a), word) << std::hex << a;
        }
    }
    EXPECT_EQ(saved.size(), 6u); // the five words and the device ID
}

TEST_F(ProgramCommand, SigtermAndSighupEndARunAsCtrlCDoesAndSayTheChipIsPartlyWritten) {
    std::vector<std::pair<int, int>> cases = {{SIGINT, 130}, {SIGTERM, 143}};
#ifdef SIGHUP
    cases.emplace_back(SIGHUP, 130);
#endif
    for (const auto& [signal, status] : cases) {
        SCOPED_TRACE(signal);
        int programmingWaits = 0;
        clock.OnWaitMs = [&, signal = signal](std::int64_t ms) {
            if (ms == 8 && ++programmingWaits == 3)
                std::raise(signal);
        };
        const CliResult r = Sim("PIC16F628A", {"program", ExampleHex()});
        EXPECT_EQ(r.status, status);
        EXPECT_NE(r.err.find("Terminated by user.\nThe chip is now partly written: program it again before use."),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(SimPort()->IsOpen()); // the closing steps ran
        EXPECT_EQ(Chip()->ReadWord(0), 0x2805);
    }
    // A verify cut short writes nothing, and says nothing of the kind.
    bool raised = false;
    clock.OnWaitMs = [&](std::int64_t ms) {
        if (ms == 100 && !std::exchange(raised, true))
            std::raise(SIGTERM);
    };
    const CliResult verify = Sim("PIC16F628A", {"verify", ExampleHex()});
    EXPECT_EQ(verify.status, 143);
    EXPECT_EQ(verify.err.find("partly written"), std::string::npos) << verify.err;
}

TEST_F(ProgramCommand, AnImageWithNothingForTheChosenAreasIsRefusedBeforeThePortOpens) {
    const std::string hex = dir.Write("eeprom.hex", HexOf({{0x2100, 0x12}}));
    const CliResult r = Sim("PIC16F628A", {"program", "--area", "program,config", hex});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("eeprom.hex: no word for the chosen areas of the PIC16F628A"), std::string::npos) << r.err;
    EXPECT_EQ(SimPort(), nullptr);

    // Words outside the device: a file for a larger chip, refused unless forced.
    const std::string wide =
        dir.Write("wide.hex", HexOf({{0x0000, 0x2805}, {0x0900, 0x0001}, {0x0901, 0x0002}, {0x2180, 0x0003}}));
    const std::string outside = wide + ": 3 words lie outside the PIC16F628A's memory, the first at 0900";
    const CliResult refused = Sim("PIC16F628A", {"-q", "program", "--area", "program", wide});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find(outside + ": a file for a larger chip? (--force"), std::string::npos) << refused.err;
    EXPECT_EQ(SimPort(), nullptr);
    const CliResult warned = Sim("PIC16F628A", {"-q", "--force", "program", "--area", "program", wide});
    EXPECT_EQ(warned.status, 0) << warned.err;
    EXPECT_NE(warned.err.find("warning: " + outside), std::string::npos) << warned.err;
}

TEST_F(ProgramCommand, AFileFromAChipOfAnotherRevisionIsProgrammedWithAWarningAboutItsId) {
    std::map<std::int32_t, std::uint16_t> words = {{0x0000, 0x2805}, {0x2006, 0x1061}, {0x2007, 0x3F70}};
    const std::string hex = dir.Write("rev1.hex", HexOf(words));
    const CliResult r = Sim("PIC16F628A", {"program", hex});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("warning: " + hex + " holds device ID 1061 where the chip has 1060"), std::string::npos)
        << r.err;
    const Strings lines = Lines(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Write Error at [2006]: 1061 -> 1060 NG"), lines.end());
    EXPECT_EQ(Chip()->ReadWord(0x2007), 0x3F70);
}

TEST_F(ProgramCommand, AnEraseSaysWhatItTakesAndWhatTheChipKeeps) {
    struct Case {
        std::string device;
        Strings args;
        Strings lines;
    };
    const std::vector<Case> cases = {
        // The 16F628A's bulk erase starts in the configuration area: it takes the IDs along.
        {"PIC16F628A",
         {"erase", "--area", "config"},
         {"The erase takes program memory, the configuration word and the user IDs (a bulk erase on the "
          "PIC16F628A).",
          "warning: it also takes program memory, which --area does not name.",
          "The chip keeps its device ID and the data EEPROM."}},
        {"PIC12F675",
         {"erase"},
         {"The erase takes program memory, the configuration word, the user IDs and the data EEPROM (a bulk erase "
          "on the PIC12F675).",
          "The chip keeps its device ID and its calibration (OSCCAL at 03FF and the bandgap bits, read first and "
          "written back)."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const CliResult r = Sim(c.device, c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        const Strings err = Lines(r.err);
        auto at = std::find(err.begin(), err.end(), c.lines.front());
        ASSERT_NE(at, err.end()) << r.err;
        EXPECT_EQ(Strings(at, at + std::min<std::ptrdiff_t>(err.end() - at, c.lines.size())), c.lines);
    }
}

TEST_F(ProgramCommand, AChipEraseKeepsTheDataEepromUnlessDataIsAmongTheAreasOrItIsLetGo) {
    // The 16F877A's program erase is a chip erase: it takes the EEPROM too.
    const device::TPicDevice device = ShippedDevice("PIC16F877A");
    const std::string full = dir.Write("full.hex", HexOf(AcceptanceWords(device)));
    struct Case {
        Strings args;
        bool kept;
    };
    const std::vector<Case> cases = {
        {{"program", "--area", "program", ExampleHex()}, true},
        {{"program", "--area", "program,config", "--no-verify", ExampleHex()}, true},
        {{"erase", "--area", "program"}, true},
        {{"program", "--area", "program", "--no-preserve-eeprom", ExampleHex()}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2]);
        std::filesystem::remove(State(device.Name));
        ASSERT_EQ(Sim(device.Name, {"program", full}).status, 0);
        const CliResult r = Sim(device.Name, c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("The erase takes program memory, the configuration word, the user IDs and the data "
                             "EEPROM (a chip erase on the PIC16F877A)."),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(Chip()->ReadWord(0x2100), c.kept ? 0xAB : 0xFF);
        EXPECT_EQ(Chip()->ReadWord(0x21FF), c.kept ? 0x5A : 0xFF);
        EXPECT_EQ(r.err.find("kept the data EEPROM: 2 of 256 bytes held data; written back and verified") !=
                      std::string::npos,
                  c.kept)
            << r.err;
        EXPECT_EQ(WordsOf(State(device.Name)).count(0x2100) != 0, c.kept);
    }

    // Under CPD the EEPROM reads as zeros: keeping it would write zeros over
    // it, so the command refuses and the chip stays as it was.
    auto words = AcceptanceWords(device);
    words[device.ConfigurationWord.Address] = 0x3E70;
    std::filesystem::remove(State(device.Name));
    ASSERT_EQ(Sim(device.Name, {"program", dir.Write("cpd.hex", HexOf(words))}).status, 0);
    const CliResult refused = Sim(device.Name, {"program", "--area", "program", ExampleHex()});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("the data EEPROM is protected (configuration word 3E70)"), std::string::npos)
        << refused.err;
    EXPECT_EQ(Chip()->ReadWord(0x2100), 0xAB);
    EXPECT_EQ(Chip()->ReadWord(0x0000), 0x2805);
}

} // namespace
} // namespace vandrel::test
