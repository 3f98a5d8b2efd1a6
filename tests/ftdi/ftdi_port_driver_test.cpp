// An FT232R cable under the serial port component: opened and closed like a
// COM port, its lines where a COM port would have them, and each reason an
// opening fails kept for the message.
#include "ftdi/ftdi_port_driver.h"

#include <gtest/gtest.h>

#include "serial/comm_x.h"
#include "support/ftdi_fake.h"

namespace vandrel::ftdi {
namespace {

using namespace serial;

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kTxd = 0x01, kRts = 0x04, kDtr = 0x10;

struct CableComm {
    std::shared_ptr<test::FakeFtdiBus> bus = std::make_shared<test::FakeFtdiBus>();
    std::shared_ptr<FtdiProblem> problem = std::make_shared<FtdiProblem>();
    VirtualClock clock;
    TCommX comm;

    explicit CableComm(FtdiTarget target = {}) {
        comm.SetClock(clock);
        comm.SetFlowCtrl(cfcNone);
        comm.SetDriverFactory(MakeFtdiPortFactory(bus, std::move(target), Ft232rTiming{}, problem));
    }
};

TEST(FtdiPortDriver, OpensLikeAComPortAndGivesTheCableBackAtClose) {
    CableComm c;
    c.comm.SetPortNo(0);
    c.comm.Open();
    ASSERT_NE(c.comm.Driver(), nullptr);
    const test::FakeFtdiState& cable = *c.bus->state;
    EXPECT_TRUE(cable.open);
    EXPECT_EQ(cable.mask, kTxd | kRts | kDtr);
    EXPECT_EQ(cable.bytesPerSecond, Ft232rTiming{}.bytesPerSecond);
    EXPECT_EQ(cable.latencyMs, 1);
    // Before anything else the pins go where a closed port leaves them.
    ASSERT_EQ(cable.transfers.size(), 1u);
    EXPECT_EQ(cable.transfers[0], Bytes{kTxd | kRts | kDtr});

    // The settings raise DTR and RTS as on a COM port with flow control none.
    ASSERT_TRUE(c.comm.Driver()->Flush());
    EXPECT_EQ(cable.pins, kTxd);
    EXPECT_EQ(*c.problem, FtdiProblem{});

    // No data path in bit-bang mode.
    std::uint32_t done = 0;
    const std::uint8_t byte = 0x55;
    EXPECT_EQ(c.comm.Driver()->Write(&byte, 1, done), IoResult::Failed);
    std::uint8_t in = 0;
    EXPECT_EQ(c.comm.Driver()->Read(&in, 1, done), IoResult::Failed);

    c.comm.Close();
    EXPECT_EQ(c.comm.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(cable.open);
    EXPECT_EQ(cable.closes, 1);
    EXPECT_EQ(cable.pins, kTxd | kRts | kDtr) << "DTR and RTS dropped before the cable went";
}

TEST(FtdiPortDriver, EachFailedOpeningKeepsItsReasonAndLeavesNothingOpen) {
    using Kind = FtdiProblem::Kind;
    struct Case {
        const char* what;
        FtdiTarget target;
        FtdiProblem refusal;
        bool bitBangFails;
        Kind kind;
    };
    const FtdiTarget other{FtdiTarget::Kind::Serial, "NOPE", 0, 0};
    const Case cases[] = {
        {"missing", other, {}, false, Kind::NotFound},
        {"busy", {}, {Kind::Busy, "unable to claim usb device"}, false, Kind::Busy},
        {"no permission", {}, {Kind::Permission, "inappropriate permissions on device!"}, false, Kind::Permission},
        {"no bit-bang mode", {}, {}, true, Kind::Other},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        CableComm c(test.target);
        c.bus->openProblem = test.refusal;
        c.bus->state->bitBangFails = test.bitBangFails;
        EXPECT_THROW(c.comm.Open(), ECommError);
        EXPECT_EQ(c.comm.Handle(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(c.problem->kind, test.kind);
        EXPECT_FALSE(c.comm.LastOsError().empty());
        EXPECT_FALSE(c.bus->state->open) << "a cable opened on the way is given back";
    }
}

TEST(FtdiPortDriver, ACableThatDiesWhileOpenSaysSoAtClose) {
    CableComm c;
    c.comm.Open();
    c.bus->state->failTransfer = 2;
    c.comm.Driver()->EscapeCommFunction(win::CLRRTS);
    EXPECT_FALSE(c.comm.Driver()->Flush());
    c.comm.Close();
    EXPECT_EQ(c.problem->kind, FtdiProblem::Kind::Transfer);
    EXPECT_FALSE(c.bus->state->open);

    // The next clean opening clears it.
    c.bus->state->failTransfer = 0;
    c.comm.Open();
    c.comm.Close();
    EXPECT_FALSE(*c.problem);
}

} // namespace
} // namespace vandrel::ftdi
