// The programming run against the simulated PIC16F628A.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using programmer::OperationButton;
using programmer::StepBox;
using Lines = std::vector<std::string>;

long CountOf(const Lines& lines, const std::string& token) {
    return std::count(lines.begin(), lines.end(), token);
}

void ExpectIdleAfterRun(const SimRig& rig, const std::string& status) {
    EXPECT_EQ(rig.host.LastStatus(), status);
    EXPECT_EQ(rig.host.Captions.at(OperationButton::Go), "&Go");
    EXPECT_TRUE(rig.host.Enabled.at(OperationButton::Go));
    EXPECT_TRUE(rig.host.Enabled.at(OperationButton::Dump));
    EXPECT_FALSE(rig.port->IsOpen());
    EXPECT_EQ(rig.comm.Handle(), serial::INVALID_HANDLE_VALUE);
    EXPECT_EQ(rig.host.Position, 0);
}

TEST(FarmProgram, ExampleHexLoadedByTheRunEndsUpInAllThreeAreas) {
    SimRig rig;
    rig.chip->WriteWord(0x0100, 0x1234); // left over from an earlier program
    rig.chip->WriteWord(0x2150, 0x12);
    rig.host.HexPath = VANDREL_SOURCE_DIR "/examples/blink628a.hex";
    rig.host.TickAllSteps();

    rig.ops.btnGoClick();

    EXPECT_EQ(rig.host.ImageCountRefreshes, 1); // the empty image was loaded from the file
    EXPECT_TRUE(rig.host.ErrorBoxes.empty());
    EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<BULK ERASE PROGRAM/CONFIG MEMORY>", "<RESET>",
                                   "<BULK ERASE DATA MEMORY>", "<RESET>", "<LOAD PROGRAM MEMORY>", "<RESET>",
                                   "<LOAD CONFIGURATION DATA>", "<RESET>", "<LOAD EEPROM DATA>", "<RESET>",
                                   "<VERIFY PROGRAM MEMORY>", "<RESET>", "<VERIFY CONFIGURATION MEMORY>",
                                   "<RESET>", "<VERIFY EEPROM DATA>", "complete."}));
    ASSERT_GT(rig.image.CountWords(rig.device.ConfigurationMemory), 0);
    ASSERT_GT(rig.image.CountWords(rig.device.DataMemory), 0);
    for (std::int32_t a = 0; a < 2048; ++a) {
        const std::int16_t w = rig.image.GetWord(a);
        ASSERT_EQ(rig.chip->ReadWord(a), w >= 0 ? w : 0x3FFF) << "program " << a;
    }
    for (std::int32_t a = 0x2000; a < 0x2008; ++a) {
        if (rig.image.GetWord(a) >= 0) {
            EXPECT_EQ(rig.chip->ReadWord(a), rig.image.GetWord(a)) << "config " << a;
        }
    }
    for (std::int32_t a = 0x2100; a < 0x2180; ++a) {
        const std::int16_t w = rig.image.GetWord(a);
        ASSERT_EQ(rig.chip->ReadWord(a), w >= 0 ? w : 0xFF) << "data " << a;
    }
    EXPECT_TRUE(rig.chip->Violations().empty());
    ExpectIdleAfterRun(rig, "Process finished.");

    // and the dump reads the configuration area back as written
    rig.host.DumpAddress = "2000";
    rig.host.DumpSize = "8";
    rig.ops.btnDumpClick();
    EXPECT_EQ(rig.LogFrom("2000 "), (Lines{"2000 0001", "2001 0000", "2002 0000", "2003 0001", "2004 3FFF",
                                          "2005 3FFF", "2006 1060", "2007 3F70"}));
}

TEST(FarmProgram, FullProgramMemoryWrittenAndVerified) {
    SimRig rig;
    std::mt19937 random(628);
    for (std::int32_t a = 0; a < 2048; ++a)
        rig.image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));
    rig.host.TickOnly({StepBox::WriteProgram, StepBox::VerifyProgram});

    rig.ops.btnGoClick();

    EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<LOAD PROGRAM MEMORY>", "<RESET>", "<VERIFY PROGRAM MEMORY>",
                                   "complete."}));
    for (std::int32_t a = 0; a < 2048; ++a)
        ASSERT_EQ(rig.chip->ReadWord(a), rig.image.GetWord(a)) << a;
    const Lines commands = rig.Commands();
    EXPECT_EQ(CountOf(commands, "06"), 2 * 2047);
    EXPECT_EQ(CountOf(commands, "08"), 2048);
    EXPECT_EQ(CountOf(commands, "04"), 2 * 2048);
    EXPECT_EQ(rig.host.MaxHistory, (std::vector<std::int32_t>{2048, 2048}));
    EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
    EXPECT_TRUE(rig.chip->Violations().empty());
    const auto& waits = rig.host.Hooked.Waits; // two resets, one Tprog per written word
    EXPECT_EQ(std::accumulate(waits.begin(), waits.end(), std::int64_t{0}), 2 * 100 + 2048 * 8);
}

TEST(FarmProgram, CommandSequencesFollowTheAddressCounter) {
    { // words only at 0 and 3: three increments between them, nothing for the gap
        SimRig rig;
        rig.image.SetWord(0, 0x2805);
        rig.image.SetWord(3, 0x0008);
        rig.host.TickOnly({StepBox::WriteProgram});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.Commands(), (Lines{"RESET", "02:2805", "08", "04", "06", "06", "06", "02:0008", "08", "04"}));
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<LOAD PROGRAM MEMORY>", "complete."}));
        EXPECT_EQ(rig.host.Hooked.Waits, (std::vector<std::int64_t>{100, 8, 8}));
    }
    { // the configuration word: Load Configuration, then seven increments
        SimRig rig;
        rig.image.SetWord(0x2007, 0x3F70);
        rig.host.TickOnly({StepBox::WriteConfigurationMemory, StepBox::VerifyConfigurationMemory});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.Commands(), Concat({{"RESET", "00:0000"}, Times(7, "06"), {"02:3F70", "08", "04"},
                                          {"RESET", "00:0000"}, Times(7, "06"), {"04"}}));
        EXPECT_EQ(rig.chip->ReadWord(0x2007), 0x3F70);
        EXPECT_EQ(rig.host.Log.back(), "complete.");
    }
    { // data: the write counts from the area's start, the verify from 0x2100
        for (std::int16_t base : {std::int16_t{0x2100}, std::int16_t{0x2104}}) {
            device::TPicDevice shifted = Pic16F628A();
            shifted.DataMemory.Address = base;
            SimRig rig(shifted);
            rig.image.SetWord(base + 2, 0x5A);
            rig.host.TickOnly({StepBox::WriteDataMemory, StepBox::VerifyDataMemory});
            rig.ops.btnGoClick();
            const int verifyIncrements = base + 2 - 0x2100;
            EXPECT_EQ(rig.Commands(), Concat({{"RESET", "03:0000"}, Times(2, "06"), {"03:005A", "08", "05"},
                                              {"RESET"}, Times(verifyIncrements, "06"), {"05"}}))
                << std::hex << base;
        }
    }
}

TEST(FarmProgram, WordsThatReadBackWrongAreLoggedAndCounted) {
    { // a cell that will not take its word
        SimRig rig;
        rig.chip->WriteWord(0x0010, 0x0000);
        rig.chip->SetWriteProtected(0x0010);
        rig.image.SetWord(0x000F, 0x0123);
        rig.image.SetWord(0x0010, 0x3FFF);
        rig.image.SetWord(0x0011, 0x0456);
        rig.host.TickOnly({StepBox::WriteProgram});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<LOAD PROGRAM MEMORY>", "Write Error at [0010]: 3FFF -> 0000 NG",
                                       "1 errors."}));
        EXPECT_EQ(rig.chip->ReadWord(0x0011), 0x0456); // the run went on
    }
    { // bit 14 never reaches the chip, and every comparison sees it
        SimRig rig;
        rig.image.SetWord(0x0005, 0x4001);
        rig.host.TickOnly({StepBox::WriteProgram, StepBox::VerifyProgram});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.chip->ReadWord(0x0005), 0x0001);
        EXPECT_EQ(rig.LogFrom("Write"), (Lines{"Write Error at [0005]: 4001 -> 0001 NG", "<RESET>",
                                               "<VERIFY PROGRAM MEMORY>", "Verify Error at [0005]: 4001 -> 0001 NG",
                                               "2 errors."}));
    }
}

TEST(FarmProgram, ImageCheckAndEmptyAreas) {
    { // empty image, file missing: no summary, no chip access
        SimRig rig;
        rig.host.HexPath = "/nonexistent/none.hex";
        rig.host.TickOnly({StepBox::WriteProgram});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.ErrorBoxes, (Lines{"Cannot load hexfile."}));
        EXPECT_TRUE(rig.host.Log.empty());
        EXPECT_TRUE(rig.Commands().empty());
        ExpectIdleAfterRun(rig, "Process finished.");
    }
    { // nothing ticked
        SimRig rig;
        rig.host.TickOnly({});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.Log, (Lines{"complete."}));
        EXPECT_EQ(rig.host.LvpTicks, 1);
        EXPECT_TRUE(rig.Commands().empty());
        ExpectIdleAfterRun(rig, "Process finished.");
    }
    { // erase only: the image is not examined
        SimRig rig;
        rig.host.HexPath = "/nonexistent/none.hex";
        rig.host.TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory});
        rig.ops.btnGoClick();
        EXPECT_TRUE(rig.host.ErrorBoxes.empty());
        EXPECT_EQ(rig.Commands(), (Lines{"RESET", "09", "RESET", "0B"}));
        EXPECT_EQ(rig.host.Hooked.Waits, (std::vector<std::int64_t>{100, 10, 100, 10}));
        EXPECT_EQ(rig.host.Log.back(), "complete.");
    }
    { // words only in the data area: no reload; the program steps find nothing
        SimRig rig;
        rig.image.SetWord(0x2100, 0x42);
        rig.host.HexPath = VANDREL_SOURCE_DIR "/examples/blink628a.hex";
        rig.host.TickOnly({StepBox::WriteProgram, StepBox::VerifyProgram});
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.image.CountWords(rig.device.ProgramMemory), 0);
        EXPECT_EQ(rig.host.ImageCountRefreshes, 0);
        EXPECT_EQ(rig.host.Log, (Lines{" Can't find Program Data in hex file.", "<RESET>",
                                       "<VERIFY PROGRAM MEMORY>", "complete."}));
        EXPECT_EQ(rig.host.MaxHistory, (std::vector<std::int32_t>{0}));
        EXPECT_EQ(rig.Commands(), (Lines{"RESET"}));
    }
}

TEST(FarmProgram, NegativeDelaysFromTheDeviceFileDoNotWait) {
    device::TPicDevice untimed = Pic16F628A();
    untimed.Tprog = untimed.Tdprog = untimed.Tera = -1;
    SimRig rig(untimed);
    rig.image.SetWord(0, 0x0100);
    rig.image.SetWord(0x2100, 0x01);
    rig.host.TickOnly({StepBox::EraseProgram, StepBox::WriteProgram, StepBox::WriteDataMemory});
    rig.ops.btnGoClick();
    EXPECT_EQ(rig.host.Hooked.Waits, (std::vector<std::int64_t>{100, 0, 100, 0, 100, 0}));
    EXPECT_EQ(rig.host.Log.back(), "complete.");
}

TEST(FarmProgram, StopEndsTheRunAtTheNextStopCheck) {
    { // pressed while a word is being programmed: its read-back still happens
        SimRig rig;
        for (std::int32_t a = 0; a < 5; ++a)
            rig.image.SetWord(a, static_cast<std::int16_t>(0x100 + a));
        rig.chip->SetWriteProtected(1);
        rig.host.TickOnly({StepBox::WriteProgram, StepBox::VerifyProgram});
        int programmingWaits = 0;
        rig.host.Hooked.OnWait = [&](std::int64_t ms) {
            if (ms == 8 && ++programmingWaits == 2)
                rig.host.Stop = true;
        };
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.Commands(), (Lines{"RESET", "02:0100", "08", "04", "06", "02:0101", "08", "04"}));
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>", "<LOAD PROGRAM MEMORY>", "Write Error at [0001]: 0101 -> 3FFF NG"}));
        ExpectIdleAfterRun(rig, "Terminated by user.");
    }
    { // pressed (the button, re-entered from the pump) during the increments
        SimRig rig;
        rig.image.SetWord(0, 0x0100);
        rig.image.SetWord(100, 0x0200);
        rig.host.TickOnly({StepBox::WriteProgram});
        std::string captionSeen;
        rig.host.OnPump = [&](int pump) {
            if (pump == 150) {
                captionSeen = rig.host.Captions.at(OperationButton::Go);
                rig.ops.btnGoClick();
            }
        };
        rig.ops.btnGoClick();
        EXPECT_EQ(captionSeen, "&Stop");
        // pump 1 opens the run, 2..102 serve addresses 0..100, 103..150 each precede an increment
        EXPECT_EQ(rig.Commands(), Concat({{"RESET", "02:0100", "08", "04"}, Times(48, "06")}));
        EXPECT_EQ(rig.port->OpenCount(), 1); // the nested press opened nothing
        ExpectIdleAfterRun(rig, "Terminated by user.");
    }
    { // pending when the data write ends: seen inside the program verify
        SimRig rig;
        rig.image.SetWord(0, 0x0100);
        rig.image.SetWord(0x2100, 0x11);
        rig.host.TickOnly({StepBox::WriteDataMemory, StepBox::VerifyProgram});
        rig.host.OnPump = [&](int pump) {
            if (pump == 1 + 128) // the pump of the data area's last address
                rig.ops.btnGoClick();
        };
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.LogFrom("<LOAD EEPROM DATA>"), (Lines{"<LOAD EEPROM DATA>", "<RESET>", "<VERIFY PROGRAM MEMORY>"}));
        EXPECT_EQ(rig.Commands().back(), "RESET");
        EXPECT_EQ(rig.chip->ReadWord(0x2100), 0x11);
        ExpectIdleAfterRun(rig, "Terminated by user.");
    }
}

TEST(FarmProgram, AdapterFailingMidRunEndsWithErrorsAndAClosedPort) {
    for (const char* call : {"EscapeCommFunction", "GetCommModemStatus"}) {
        SimRig rig;
        std::mt19937 random(84);
        for (std::int32_t a = 0; a < 64; ++a)
            rig.image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));
        rig.host.TickOnly({StepBox::WriteProgram, StepBox::VerifyProgram});
        int waits = 0;
        rig.host.Hooked.OnWait = [&](std::int64_t) {
            if (++waits == 10)
                rig.port->FailAlways(call);
        };
        rig.ops.btnGoClick();
        const std::string summary = rig.host.Log.back();
        EXPECT_NE(summary.find(" errors."), std::string::npos) << call << ": " << summary;
        EXPECT_GT(std::stoi(summary), 8) << call;
        ExpectIdleAfterRun(rig, "Process finished.");
    }
}

} // namespace
} // namespace vandrel::test
