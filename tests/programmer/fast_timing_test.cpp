// The fast timing: every family written and verified on its simulated chip
// with each cycle at the maximum of its programming specification, and the
// chip spoiling a cycle 1 us shorter than that.
#include <gtest/gtest.h>

#include <algorithm>

#include "programmer/fast_timing.h"
#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using device::RunTiming;
using device::TMaxima;
using Lines = std::vector<std::string>;

// One device of each family, and the maximum its second run gets 1 us short.
struct Case {
    const char* device;
    std::optional<std::int32_t> TMaxima::*shortened;
};

const Case kFamilies[] = {
    {"PIC16F84A", &TMaxima::Unprotect}, {"PIC16F628A", &TMaxima::Program},  {"PIC12F675", &TMaxima::Data},
    {"PIC16F877A", &TMaxima::ChipErase}, {"PIC16F88", &TMaxima::Program},   {"PIC16F819", &TMaxima::Erase},
    {"PIC12F683", &TMaxima::Program},    {"PIC16F887", &TMaxima::Configuration}, {"PIC16F946", &TMaxima::Data},
    {"PIC12F609", &TMaxima::Program},    {"PIC16F72", &TMaxima::Program},   {"PIC16F777", &TMaxima::Configuration},
    {"PIC16F716", &TMaxima::Program},    {"PIC16F877", &TMaxima::Unprotect}, {"PIC16F628", &TMaxima::Program},
    {"PIC16F84", &TMaxima::Data},
};

void RunFast(SimRig& rig, const char* name) {
    SeedOldProgram(*rig.chip, rig.device);
    rig.host.HexPath = ProgramFor(name);
    rig.host.TickAllSteps();
    rig.ops.SetTiming(RunTiming::Fast);
    rig.ops.btnGoClick();
}

TEST(FastTiming, EveryFamilyTakesItsProgramAtTheMaximaAndNotAMicrosecondLess) {
    for (const Case& c : kFamilies) {
        SCOPED_TRACE(c.device);
        {
            SimRig rig(ShippedDevice(c.device));
            ASSERT_FALSE(device::MissingMaximum(rig.device));
            RunFast(rig, c.device);
            EXPECT_EQ(rig.host.Log.back(), "complete.");
            for (const auto& v : rig.chip->Violations())
                ADD_FAILURE() << v.What;
            // Every wait but the resets' 100 ms is a maximum, in microseconds.
            EXPECT_TRUE(std::all_of(rig.host.Hooked.Waits.begin(), rig.host.Hooked.Waits.end(),
                                    [](std::int64_t ms) { return ms == 100; }));
            const auto lines = std::count_if(rig.host.Log.begin(), rig.host.Log.end(), [](const std::string& l) {
                return l.rfind("Fast timing", 0) == 0;
            });
            EXPECT_EQ(lines, 1);
            EXPECT_EQ(rig.host.Log.front(), programmer::FastTimingLine(rig.device));
        }
        SimRig rig(ShippedDevice(c.device));
        auto& most = rig.device.Maxima.*c.shortened;
        ASSERT_TRUE(most);
        *most -= 1; // the run's file; the chip keeps its own
        RunFast(rig, c.device);
        EXPECT_FALSE(rig.chip->Violations().empty());
        if (c.shortened == &TMaxima::Program) {
            EXPECT_NE(rig.host.Log.back(), "complete.");
        }
    }
}

TEST(FastTiming, TheLineNamesTheTimesInForce) {
    EXPECT_EQ(programmer::FastTimingLine(ShippedDevice("PIC16F628A")),
              "Fast timing, the maxima of the chip's programming specification: erase 6 ms, program memory 4 ms, "
              "configuration 4 ms, data EEPROM 6 ms.");
    EXPECT_EQ(programmer::FastTimingLine(ShippedDevice("PIC16F877A")),
              "Fast timing, the maxima of the chip's programming specification: chip erase 8 ms, erase 8 ms, "
              "program memory 1 ms, configuration 8 ms, data EEPROM 8 ms.");
}

// A device without the maxima: an error box, and nothing sent to the chip.
TEST(FastTiming, ADeviceWithoutTheMaximaIsRefusedBeforeTheChipIsTouched) {
    device::TPicDevice d = ShippedDevice("PIC12F629");
    d.Maxima.Erase.reset();
    SimRig rig(d);
    RunFast(rig, "PIC12F629");
    ASSERT_EQ(rig.host.ErrorBoxes.size(), 1u);
    EXPECT_EQ(rig.host.ErrorBoxes[0],
              "PIC12F629: the device file gives no Maximum.Erase (the erase's maximum from the chip's programming "
              "specification, in microseconds from 1 to 10000000): use the described timing.");
    EXPECT_TRUE(rig.Commands().empty());
    EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
}

// The described run does not look at the maxima: the same waits as without them.
TEST(FastTiming, TheDescribedRunKeepsTheFileWaits) {
    SimRig with(ShippedDevice("PIC16F628A"));
    device::TPicDevice bare = ShippedDevice("PIC16F628A");
    bare.Maxima = {};
    SimRig without(bare);
    for (SimRig* rig : {&with, &without}) {
        rig->image.SetWord(0, 0x2805);
        rig->image.SetWord(0x2100, 0x11);
        rig->host.TickAllSteps();
        rig->ops.btnGoClick();
        EXPECT_EQ(rig->host.Log.back(), "complete.");
    }
    EXPECT_EQ(with.host.Hooked.Waits, without.host.Hooked.Waits);
    EXPECT_EQ(with.host.Log, without.host.Log);
    EXPECT_EQ(with.Commands(), without.Commands());
}

} // namespace
} // namespace vandrel::test
