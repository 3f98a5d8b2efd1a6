// One failed line change, at every point of a Dump and of a Download, against
// the simulated PIC16F628A: the link repeats the change, so a read-only dump
// leaves the chip as it was and a download that reports "complete." really
// wrote the image over an erased chip. A port that dies for good ends the run
// with errors, never a hang.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "programmer/sim_rig.h"
#include "support/test_devices.h"

namespace vandrel::test {
namespace {

using programmer::StepBox;
// Every word of the chip, program memory, configuration area and EEPROM in turn.
using Memory = std::vector<std::int32_t>;

// The line changes the link makes; each is made to fail once in turn.
const char* const kLineCalls[] = {"EscapeCommFunction", "SetCommBreak", "ClearCommBreak"};

Memory Snapshot(const simulator::SimChip& chip) {
    Memory memory;
    for (std::int32_t base : {0x0000, 0x2000, 0x2100})
        for (std::int32_t a = base, word; (word = chip.ReadWord(a)) >= 0; ++a)
            memory.push_back(word);
    return memory;
}

// Old contents everywhere the download below should erase or overwrite.
void SeedOldChip(simulator::SimChip& chip) {
    for (std::int32_t a : {0x000, 0x001, 0x003, 0x004, 0x020, 0x03F})
        chip.WriteWord(a, static_cast<std::uint16_t>(0x1000 + a));
    for (std::int32_t a : {0x2000, 0x2007})
        chip.WriteWord(a, 0x0123);
    for (std::int32_t a : {0x2100, 0x2101, 0x210F})
        chip.WriteWord(a, 0x5A);
}

void LoadSmallImage(image::THexFile& image) {
    image.SetWord(0x000, 0x2805);
    image.SetWord(0x001, 0x0000);
    image.SetWord(0x002, 0x3FFE);
    image.SetWord(0x005, 0x1555);
    image.SetWord(0x2000, 0x0001);
    image.SetWord(0x2007, 0x3F10);
    image.SetWord(0x2100, 0x00A5);
}

// What the chip must hold after a complete download: the image, and erased
// program and data memory elsewhere. The configuration area is not erased by
// the program erase (the counter is at 0), so only its image words count.
void ExpectChipIsTheImage(const simulator::SimChip& chip, const image::THexFile& image, int& altered) {
    bool same = true;
    for (std::int32_t base : {0x0000, 0x2000, 0x2100})
    for (std::int32_t address = base, value; (value = chip.ReadWord(address)) >= 0; ++address) {
        const std::int16_t want = image.GetWord(address);
        if (want >= 0)
            same &= value == want;
        else if (address < 0x2000)
            same &= value == 0x3FFF;
        else if (address >= 0x2100)
            same &= value == 0xFF;
    }
    altered += !same;
    EXPECT_TRUE(same);
}

std::size_t CountCalls(const serial::SimPort& port, const char* name) { return port.CallsNamed(name).size(); }

void Dump(SimRig& rig, const std::string& address, const std::string& size) {
    rig.host.DumpAddress = address;
    rig.host.DumpSize = size;
    rig.ops.btnDumpClick();
}

struct Campaign {
    int points = 0;
    int altered = 0;
};

// Runs `operation` once cleanly, then once per line call with that call failing.
template <class Prepare, class Operation, class Check>
Campaign RunCampaign(const device::TPicDevice& device, Prepare prepare, Operation operation, Check check) {
    std::map<std::string, std::size_t> calls;
    {
        SimRig clean(device);
        prepare(clean);
        operation(clean);
        for (const char* name : kLineCalls)
            calls[name] = CountCalls(*clean.port, name);
    }
    Campaign campaign;
    for (const char* name : kLineCalls) {
        for (std::size_t nth = 1; nth <= calls[name]; ++nth) {
            SCOPED_TRACE(std::string(name) + " #" + std::to_string(nth));
            SimRig rig(device);
            prepare(rig);
            rig.port->SetRecording(false);
            rig.port->FailCall(name, static_cast<int>(nth));
            operation(rig);
            ++campaign.points;
            check(rig, campaign.altered);
            if (::testing::Test::HasFailure())
                return campaign;
        }
    }
    return campaign;
}

TEST(LinkFaults, OneFailedLineChangeNeverAltersAChipADumpReads) {
    std::vector<std::string> cleanLog;
    Memory seeded;
    auto prepare = [](SimRig& rig) {
        for (std::int32_t a = 0; a < 16; ++a)
            rig.chip->WriteWord(a, static_cast<std::uint16_t>((a * 0x0511) & 0x3FFF));
        rig.chip->WriteWord(0x2000, 0x0001);
        rig.chip->WriteWord(0x2007, 0x3F10);
    };
    // Two dumps: the start of program memory, and the configuration area.
    auto dump = [](SimRig& rig) {
        Dump(rig, "0", "10");
        Dump(rig, "2000", "8");
    };
    {
        SimRig clean;
        prepare(clean);
        dump(clean);
        cleanLog = clean.host.Log;
        SimRig fresh;
        prepare(fresh);
        seeded = Snapshot(*fresh.chip);
    }
    const Campaign campaign = RunCampaign(Pic16F628A(), prepare, dump, [&](SimRig& rig, int& altered) {
        const bool same = Snapshot(*rig.chip) == seeded;
        altered += !same;
        EXPECT_TRUE(same) << "a dump changed the chip";
        EXPECT_EQ(rig.host.Log, cleanLog) << "a repeated change reads the same words";
        EXPECT_TRUE(rig.chip->Violations().empty());
        EXPECT_FALSE(rig.port->IsOpen());
    });
    std::printf("Dump campaign: %d failed-once points, %d altered the chip\n", campaign.points, campaign.altered);
    EXPECT_GT(campaign.points, 1000);
    EXPECT_EQ(campaign.altered, 0);
}

TEST(LinkFaults, OneFailedLineChangeNeverLetsADownloadPassOverAWrongChip) {
    auto prepare = [](SimRig& rig) {
        SeedOldChip(*rig.chip);
        LoadSmallImage(rig.image);
        rig.host.TickAllSteps();
    };
    auto download = [](SimRig& rig) { rig.ops.btnGoClick(); };
    // The chip's size plays no part in the link; a small one keeps the
    // thousands of runs quick.
    const device::TPicDevice small = MidrangeDevice({"PIC16F628A", 64, 16, 0x1060, 8, 8, 10, true});
    const Campaign campaign = RunCampaign(small, prepare, download, [](SimRig& rig, int& altered) {
        ASSERT_FALSE(rig.host.Log.empty());
        EXPECT_EQ(rig.host.Log.back(), "complete.");
        ExpectChipIsTheImage(*rig.chip, rig.image, altered);
        EXPECT_TRUE(rig.chip->Violations().empty());
        EXPECT_FALSE(rig.port->IsOpen());
    });
    std::printf("Download campaign: %d failed-once points, %d left a wrong chip\n", campaign.points,
                campaign.altered);
    EXPECT_GT(campaign.points, 1000);
    EXPECT_EQ(campaign.altered, 0);
}

TEST(LinkFaults, PortThatDiesForGoodEndsTheRunWithoutTouchingTheChipAgain) {
    // The lines stop answering at several points of a dump: it ends, logs the
    // words it could not read as 3FFF, and has not changed the chip.
    for (int dieAfter : {1, 5, 40, 200, 900}) {
        SCOPED_TRACE(dieAfter);
        SimRig rig;
        for (std::int32_t a = 0; a < 16; ++a)
            rig.chip->WriteWord(a, 0x0100 + a);
        rig.chip->WriteWord(0x2000, 0x0001);
        const Memory before = Snapshot(*rig.chip);
        int escapes = 0;
        struct Counter : serial::LinePeer {
            std::shared_ptr<simulator::SimChip> chip;
            std::function<void()> onEscape;
            void OnEscape(std::uint32_t f) override {
                chip->OnEscape(f);
                onEscape();
            }
            void OnBreak(bool on) override { chip->OnBreak(on); }
            std::uint32_t ModemStatus() override { return chip->ModemStatus(); }
        };
        auto counter = std::make_shared<Counter>();
        counter->chip = rig.chip;
        counter->onEscape = [&] {
            if (++escapes == dieAfter) {
                for (const char* name : kLineCalls)
                    rig.port->FailAlways(name);
            }
        };
        rig.port->SetPeer(counter);
        Dump(rig, "0", "10");
        EXPECT_EQ(Snapshot(*rig.chip), before);
        EXPECT_EQ(rig.host.Log.back(), "000F 3FFF");
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
        EXPECT_FALSE(rig.port->IsOpen());
    }
}

} // namespace
} // namespace vandrel::test
