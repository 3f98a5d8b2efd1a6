// The memory dump against the simulated PIC16F628A.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/convert.h"
#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using programmer::OperationButton;
using Lines = std::vector<std::string>;

struct Dumped {
    Lines log;
    Lines commands;
};

Dumped Dump(SimRig& rig, const std::string& address, const std::string& size) {
    rig.host.DumpAddress = address;
    rig.host.DumpSize = size;
    rig.ops.btnDumpClick();
    return {rig.host.Log, rig.Commands()};
}

bool Shown(const SimRig& rig, const std::string& status) {
    return std::find(rig.host.Statuses.begin(), rig.host.Statuses.end(), status) != rig.host.Statuses.end();
}

TEST(FarmDump, ProgramWordsOneLineEach) {
    SimRig rig;
    rig.chip->WriteWord(0, 0x2805);
    rig.chip->WriteWord(1, 0x0000);
    rig.chip->WriteWord(2, 0x1234);
    const Dumped d = Dump(rig, "0", "3");
    EXPECT_EQ(d.log, (Lines{"<RESET>", "0000 2805", "0001 0000", "0002 1234"}));
    EXPECT_EQ(d.commands, (Lines{"RESET", "04", "06", "04", "06", "04"}));
    EXPECT_TRUE(Shown(rig, "In Program Area:0002"));
    EXPECT_TRUE(Shown(rig, "Increment PC 0002"));
    EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
    EXPECT_EQ(rig.host.Captions.at(OperationButton::Dump), "D&ump");
    EXPECT_FALSE(rig.port->IsOpen());
}

TEST(FarmDump, CountsThatListNothing) {
    for (const char* size : {"0", "FFFFFFFF", "80000000"}) {
        SimRig rig;
        const Dumped d = Dump(rig, "10", size);
        EXPECT_EQ(d.log, (Lines{"<RESET>"})) << size;
        EXPECT_EQ(d.commands, (Lines{"RESET"})) << size;
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
    }
    { // addresses in no area are skipped without a command
        SimRig rig;
        const Dumped d = Dump(rig, "1000", "2");
        EXPECT_EQ(d.log, (Lines{"<RESET>"}));
        EXPECT_EQ(d.commands, (Lines{"RESET"}));
        EXPECT_TRUE(Shown(rig, "Skip 1000"));
        EXPECT_TRUE(Shown(rig, "Skip 1001"));
    }
    { // a walk that ends at the largest address still ends
        SimRig rig;
        const Dumped d = Dump(rig, "7FFFFFFE", "2");
        EXPECT_EQ(d.log, (Lines{"<RESET>"}));
        EXPECT_TRUE(Shown(rig, "Skip 7FFFFFFF"));
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
    }
}

TEST(FarmDump, JumpsIntoTheConfigurationAndDataAreas) {
    { // start inside the configuration area: reset, Load Configuration, catch up
        SimRig rig;
        const Dumped d = Dump(rig, "2005", "3");
        EXPECT_EQ(d.log, (Lines{"<RESET>", "<RESET>", "2005 3FFF", "2006 1060", "2007 3FFF"}));
        EXPECT_EQ(d.commands, Concat({{"RESET", "RESET", "00:0000"}, Times(5, "06"), {"04", "06", "04", "06", "04"}}));
        EXPECT_TRUE(Shown(rig, "In Configuration Area:2007"));
    }
    { // from the end of program memory across the gap into the configuration area
        SimRig rig;
        rig.chip->WriteWord(0x07FF, 0x0123);
        rig.chip->WriteWord(0x2000, 0x0001);
        const Dumped d = Dump(rig, "7FF", "1802");
        EXPECT_EQ(d.log, (Lines{"<RESET>", "07FF 0123", "<RESET>", "2000 0001"}));
        EXPECT_EQ(d.commands, Concat({{"RESET"}, Times(0x7FF, "06"), {"04", "RESET", "00:0000", "04"}}));
        EXPECT_TRUE(Shown(rig, "Skip 0800"));
        EXPECT_TRUE(Shown(rig, "Skip 1FFF"));
    }
    { // start in the data area: read with the data command
        SimRig rig;
        rig.chip->WriteWord(0x2101, 0xA5);
        const Dumped d = Dump(rig, "2100", "2");
        EXPECT_EQ(d.log, (Lines{"<RESET>", "<RESET>", "2100 00FF", "2101 00A5"}));
        EXPECT_EQ(d.commands, (Lines{"RESET", "RESET", "05", "06", "05"}));
        EXPECT_TRUE(Shown(rig, "In Data Area:2101"));
    }
}

TEST(FarmDump, StopDuringTheCatchUpListsNothingMore) {
    SimRig rig;
    rig.host.OnPump = [&](int pump) {
        if (pump == 100)
            rig.ops.btnDumpClick();
    };
    const Dumped d = Dump(rig, "7FF", "1");
    EXPECT_EQ(d.log, (Lines{"<RESET>"}));
    // pump 1 belongs to the address, pumps 2..100 each precede an increment
    EXPECT_EQ(d.commands, Concat({{"RESET"}, Times(99, "06")}));
    EXPECT_EQ(rig.host.LastStatus(), "Terminated by user.");
    EXPECT_EQ(rig.host.Captions.at(OperationButton::Dump), "D&ump");
    EXPECT_FALSE(rig.port->IsOpen());
}

TEST(FarmDump, FieldThatIsNotHexEndsTheWalkWithItsConversionError) {
    for (auto [address, size, quoted] : {std::tuple{"12G", "1", "'$12G'"}, std::tuple{"0", "123456789", "'$123456789'"}}) {
        SimRig rig;
        rig.host.DumpAddress = address;
        rig.host.DumpSize = size;
        try {
            rig.ops.btnDumpClick();
            ADD_FAILURE() << "no error for " << address << "/" << size;
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.what(), std::string(quoted) + " is not a valid integer value");
        }
        EXPECT_EQ(rig.host.Log, (Lines{"<RESET>"}));
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
        EXPECT_EQ(rig.host.Captions.at(OperationButton::Dump), "D&ump");
        EXPECT_TRUE(rig.host.Enabled.at(OperationButton::Go));
        EXPECT_FALSE(rig.port->IsOpen());
    }
}

} // namespace
} // namespace vandrel::test
