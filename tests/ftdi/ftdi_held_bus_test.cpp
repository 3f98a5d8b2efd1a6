// A cable kept claimed between the openings of one command: opened for real
// once, given back once, and not kept once it has failed.
#include "ftdi/ftdi_held_bus.h"

#include <gtest/gtest.h>

#include "serial/comm_x.h"
#include "ftdi/ftdi_port_driver.h"
#include "support/ftdi_fake.h"

namespace vandrel::ftdi {
namespace {

using namespace serial;

struct HeldCable {
    std::shared_ptr<test::FakeFtdiBus> usb = std::make_shared<test::FakeFtdiBus>();
    std::shared_ptr<HeldFtdiBus> held = std::make_shared<HeldFtdiBus>(usb);
    std::shared_ptr<FtdiProblem> problem = std::make_shared<FtdiProblem>();
    VirtualClock clock;
    TCommX comm;
    const test::FakeFtdiState& cable = *usb->state;

    HeldCable() {
        comm.SetClock(clock);
        comm.SetFlowCtrl(cfcNone);
        comm.SetDriverFactory(MakeFtdiPortFactory(held, FtdiTarget{}, Ft232rTiming{}, problem));
        comm.SetPortNo(0);
    }
    // One press: open, a clock pulse, close.
    void Press() {
        comm.Open();
        comm.Driver()->EscapeCommFunction(win::SETRTS);
        comm.Driver()->EscapeCommFunction(win::CLRRTS);
        comm.Close();
    }
};

TEST(HeldFtdiBus, TheCableIsClaimedOnceForAllOpeningsAndGivenBackAtRelease) {
    HeldCable c;
    for (int press = 0; press < 3; ++press) {
        c.Press();
        // Every opening still starts from the pins of a closed port, in bit-bang mode.
        EXPECT_EQ(c.cable.pins, kReleasedPins);
        EXPECT_EQ(c.cable.latencyMs, 1);
    }
    EXPECT_EQ(c.cable.opens, 1);
    EXPECT_EQ(c.cable.closes, 0);
    EXPECT_TRUE(c.cable.open) << "kept between the openings";

    c.held->Release();
    c.held->Release();
    EXPECT_EQ(c.cable.closes, 1);
    EXPECT_FALSE(c.cable.open);

    c.Press(); // a released bus opens the cable anew
    EXPECT_EQ(c.cable.opens, 2);
}

TEST(HeldFtdiBus, ACableWhoseTransferFailedIsNotKept) {
    HeldCable c;
    c.Press();
    c.usb->state->failTransfer = static_cast<int>(c.cable.transfers.size()) + 1;
    // Its first transfer fails, and so does the opening.
    EXPECT_ANY_THROW(c.comm.Open());
    EXPECT_EQ(c.comm.Driver(), nullptr);
    EXPECT_EQ(c.problem->kind, FtdiProblem::Kind::Transfer);
    EXPECT_EQ(c.cable.closes, 1) << "the failed cable goes back at once";
    EXPECT_FALSE(c.cable.open);

    c.usb->state->failTransfer = 0;
    c.Press(); // plugged in again, it opens for real
    EXPECT_EQ(c.cable.opens, 2);
}

TEST(HeldFtdiBus, OneHandleAtATimeAndAnotherTargetTakesTheCableBackFirst) {
    auto usb = std::make_shared<test::FakeFtdiBus>();
    usb->cables.push_back({"FT0002", "FT232R USB UART", 1, 6, true});
    HeldFtdiBus held(usb);
    FtdiProblem problem;
    auto first = held.Open(FtdiTarget{}, problem);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(held.Open(FtdiTarget{}, problem), nullptr);
    EXPECT_EQ(problem.kind, FtdiProblem::Kind::Busy);

    // Released while out: the handle works on, and the cable goes when it closes.
    held.Release();
    std::vector<std::uint8_t> in;
    EXPECT_TRUE(first->Exchange({kReleasedPins}, in, problem));
    EXPECT_EQ(usb->state->closes, 0);
    first->Close();
    first->Close();
    EXPECT_EQ(usb->state->closes, 1);

    FtdiTarget second{FtdiTarget::Kind::Serial, "FT0002"};
    ASSERT_NE(held.Open(FtdiTarget{}, problem), nullptr); // closed again at once, kept
    EXPECT_EQ(usb->state->opens, 2);
    auto other = held.Open(second, problem);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(usb->state->opens, 3);
    EXPECT_EQ(usb->state->closes, 2) << "the kept cable went back before the other was opened";

    usb->openProblem = {FtdiProblem::Kind::Permission, "access denied"};
    other.reset();
    EXPECT_NE(held.Open(second, problem), nullptr) << "the kept cable needs no opening";
    EXPECT_EQ(usb->state->opens, 3);
}

} // namespace
} // namespace vandrel::ftdi
