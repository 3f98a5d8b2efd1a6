#include <gtest/gtest.h>

#include "common/convert.h"
#include "form/com_port_list.h"
#include "ui/settings.h"
#include "ui_test_env.h"

namespace vandrel::ui::test {
namespace {

using form::InsertPortSorted;
using form::ListComPorts;

std::vector<std::string> Names(const PortList& list) {
    std::vector<std::string> names;
    for (const auto& port : list)
        names.push_back(port.Name);
    return names;
}

PortSource Source(std::vector<std::string> names) {
    return [names] {
        PortList ports;
        for (std::size_t i = 0; i < names.size(); ++i)
            ports.push_back({names[i], "/dev/port" + std::to_string(i)});
        return ports;
    };
}

TEST(ListComPorts, SortsByPortNumberNotByText) {
    PortList list = {{"COM99", "stale"}};
    ListComPorts(list, Source({"COM10", "COM2", "COM1"}));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"COM1", "COM2", "COM10"}));
    EXPECT_EQ(list[0].DevicePath, "/dev/port2"); // the path travels with its name
}

TEST(ListComPorts, EqualNumbersKeepTheirOrderAndOnlyThreeDigitsCount) {
    PortList list;
    // COM1234 reads as port 123; the second COM5 goes after the first.
    ListComPorts(list, Source({"COM200", "COM5", "COM1234", "COM05", "COM99"}));
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"COM5", "COM05", "COM99", "COM1234", "COM200"}));
    EXPECT_EQ(list[0].DevicePath, "/dev/port1");
    EXPECT_EQ(PortNumberOf("COM1234"), 123);
}

TEST(ListComPorts, NoPortsGiveAnEmptyList) {
    PortList list = {{"COM1", "old"}};
    ListComPorts(list, Source({}));
    EXPECT_TRUE(list.empty());
}

TEST(ListComPorts, ABadNameStopsTheFillingAndKeepsWhatCameBefore) {
    PortList list;
    // The first name of an empty list is taken unread, the bad one fails on comparison.
    try {
        ListComPorts(list, Source({"COM4", "COM2", "CNCA0", "COM1"}));
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'A0' is not a valid integer value");
    }
    EXPECT_EQ(Names(list), (std::vector<std::string>{"COM2", "COM4"}));

    list.clear();
    InsertPortSorted(list, {"odd", ""});
    EXPECT_EQ(Names(list), std::vector<std::string>{"odd"});
}

TEST(Settings, AbsentValuesReadEmptyAndWritesReachTheDiskAtOnce) {
    EXPECT_EQ(ReadSetting("NeverWritten"), QString());
    WriteSetting(kDumpAddress, "2100");
    EXPECT_EQ(ReadSetting(kDumpAddress), "2100");
    EXPECT_EQ(StoredSettings()[kDumpAddress], "2100");
    WriteSetting(kDumpAddress, "0");
    EXPECT_EQ(StoredSettings()[kDumpAddress], "0");
    WriteSetting(kDumpAddress, "");
}

} // namespace
} // namespace vandrel::ui::test
