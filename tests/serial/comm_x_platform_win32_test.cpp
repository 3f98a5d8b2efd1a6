// The component on the Windows driver, as far as a machine without the port
// can take it: opening a COM port that does not exist.
#include <gtest/gtest.h>

#include "serial/comm_x.h"

namespace vandrel::serial {

bool DosDeviceExists(const char* name); // win32_port_driver_win32_test.cpp

namespace {

TEST(CommXOnWindows, MissingPortRaisesCannotOpenWithTheSystemsReason)
{
    ASSERT_FALSE(DosDeviceExists("COM250")) << "COM250 is a real device here; not opening it";
    TCommX comm; // the platform driver: no factory set
    comm.SetPortNo(250);
    try {
        comm.Open();
        FAIL() << "opened COM250";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Cannot open COM port.");
        EXPECT_FALSE(e.OsReason().empty());
        EXPECT_EQ(comm.LastOsError(), e.OsReason());
    }
    EXPECT_EQ(comm.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.Driver(), nullptr);
    comm.Close(); // harmless on the closed port
}

} // namespace
} // namespace vandrel::serial
