#include "serial/sim_port_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vandrel::serial {
namespace {

class RecordingPeer : public LinePeer {
public:
    void OnEscape(std::uint32_t function) override { events.push_back("esc" + std::to_string(function)); }
    void OnBreak(bool on) override { events.push_back(on ? "break on" : "break off"); }
    std::uint32_t ModemStatus() override { return cts ? win::MS_CTS_ON : 0; }
    void OnData(const std::uint8_t* data, std::uint32_t count) override { bytes.insert(bytes.end(), data, data + count); }
    std::vector<std::string> events;
    std::vector<std::uint8_t> bytes;
    bool cts = false;
};

struct SimFixture : ::testing::Test {
    std::shared_ptr<SimPort> port = std::make_shared<SimPort>();
    std::shared_ptr<RecordingPeer> peer = std::make_shared<RecordingPeer>();
    std::unique_ptr<PortDriver> driver = MakeSimPortFactory(port)("\\\\.\\COM0");
    void SetUp() override {
        port->SetPeer(peer);
        std::string err;
        ASSERT_TRUE(driver->Open("\\\\.\\COM0", err));
    }
};

TEST_F(SimFixture, LineCallsReachThePeerAndAreRecordedInOrder) {
    EXPECT_TRUE(driver->EscapeCommFunction(win::SETRTS));
    EXPECT_TRUE(driver->EscapeCommFunction(win::SETDTR));
    EXPECT_TRUE(driver->SetCommBreak());
    peer->cts = true;
    std::uint32_t status = 0;
    EXPECT_TRUE(driver->GetCommModemStatus(status));
    EXPECT_EQ(status, win::MS_CTS_ON);
    EXPECT_TRUE(driver->EscapeCommFunction(win::CLRRTS));
    EXPECT_TRUE(driver->ClearCommBreak());

    EXPECT_EQ(peer->events, (std::vector<std::string>{"esc3", "esc5", "break on", "esc4", "break off"}));
    EXPECT_FALSE(port->Rts());
    EXPECT_TRUE(port->Dtr());
    EXPECT_FALSE(port->Break());
    EXPECT_EQ(port->Calls(), (std::vector<SimCall>{{"CreateFileA", 0},
                                                   {"EscapeCommFunction", win::SETRTS},
                                                   {"EscapeCommFunction", win::SETDTR},
                                                   {"SetCommBreak", 0},
                                                   {"GetCommModemStatus", 0},
                                                   {"EscapeCommFunction", win::CLRRTS},
                                                   {"ClearCommBreak", 0}}));
}

TEST_F(SimFixture, FailedCallChangesNothingAndRecordingCanBeSwitchedOff) {
    port->FailCall("EscapeCommFunction", 2);
    EXPECT_TRUE(driver->EscapeCommFunction(win::SETRTS));
    EXPECT_FALSE(driver->EscapeCommFunction(win::SETDTR));
    EXPECT_TRUE(driver->EscapeCommFunction(win::SETDTR));
    EXPECT_EQ(peer->events, (std::vector<std::string>{"esc3", "esc5"}));

    port->FailAlways("SetCommBreak");
    EXPECT_FALSE(driver->SetCommBreak());
    EXPECT_FALSE(driver->SetCommBreak());
    EXPECT_FALSE(port->Break());
    port->FailAlways("SetCommBreak", false);
    EXPECT_TRUE(driver->SetCommBreak());
    EXPECT_THROW(port->FailCall("NoSuchCall"), std::invalid_argument);

    port->ClearCalls();
    port->SetRecording(false);
    EXPECT_TRUE(driver->EscapeCommFunction(win::CLRRTS));
    EXPECT_TRUE(port->Calls().empty());
    EXPECT_FALSE(port->Rts());
}

TEST_F(SimFixture, CommStateDrivesLinesAndRefusesWhatAUartRefuses) {
    PortState state;
    state.BaudRate = 9600;
    state.Flags = 0x1013; // DTR and RTS enabled
    EXPECT_TRUE(driver->SetCommState(state));
    EXPECT_TRUE(port->Dtr());
    EXPECT_TRUE(port->Rts());
    state.Flags = 0x0013; // RTS disabled
    EXPECT_TRUE(driver->SetCommState(state));
    EXPECT_FALSE(port->Rts());
    EXPECT_EQ(peer->events, (std::vector<std::string>{"esc5", "esc3", "esc4"}));

    PortState bad = state;
    bad.ByteSize = 9;
    EXPECT_FALSE(driver->SetCommState(bad));
    EXPECT_EQ(port->State(), state);
}

TEST_F(SimFixture, InjectedStimuliWakeTheEventWaiter) {
    ASSERT_TRUE(driver->SetCommMask(win::EV_RXCHAR | win::EV_BREAK | win::EV_ERR));
    std::uint32_t mask = 0;
    port->InjectBreak();
    port->InjectLineErrors(win::CE_FRAME | 0x10);
    ASSERT_TRUE(driver->WaitCommEvent(mask));
    EXPECT_EQ(mask, win::EV_BREAK | win::EV_ERR);

    std::thread waiter([&] { driver->WaitCommEvent(mask); });
    port->InjectReceived({1, 2, 3});
    waiter.join();
    EXPECT_EQ(mask, win::EV_RXCHAR);

    std::uint32_t errors = 0, inQueue = 0;
    ASSERT_TRUE(driver->ClearCommError(errors, inQueue));
    EXPECT_EQ(errors, win::CE_FRAME | 0x10u);
    EXPECT_EQ(inQueue, 3u);

    // A wake asked for before the wait is not lost.
    driver->WakeCommEventWaiter();
    ASSERT_TRUE(driver->WaitCommEvent(mask));
    EXPECT_EQ(mask, 0u);
}

TEST_F(SimFixture, BlockedWriteEndsByReleaseOrAbort) {
    port->SetWriteBlocks(true);
    const std::uint8_t data[] = {7, 8, 9};
    std::uint32_t written = 0;
    ASSERT_EQ(driver->Write(data, 3, written), IoResult::Pending);
    std::thread releaser([&] { port->ReleaseWrites(); });
    EXPECT_TRUE(driver->WaitWrite(written));
    releaser.join();
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(peer->bytes, (std::vector<std::uint8_t>{7, 8, 9}));

    ASSERT_EQ(driver->Write(data, 2, written), IoResult::Pending);
    EXPECT_TRUE(port->WritePending());
    std::thread purger([&] { driver->PurgeComm(win::PURGE_TXABORT | win::PURGE_TXCLEAR); });
    EXPECT_FALSE(driver->WaitWrite(written));
    purger.join();
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port->Written().size(), 3u);
}

TEST_F(SimFixture, ClosedDriverIsInertAndPortCanBeReopened) {
    driver->CloseHandle();
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(driver->EscapeCommFunction(win::SETRTS));
    EXPECT_TRUE(peer->events.empty());
    EXPECT_EQ(port->Calls().back().Name, "EscapeCommFunction");

    auto second = MakeSimPortFactory(port)("\\\\.\\COM0");
    std::string err;
    ASSERT_TRUE(second->Open("\\\\.\\COM7", err));
    EXPECT_EQ(port->DeviceName(), "\\\\.\\COM7");
    EXPECT_FALSE(driver->EscapeCommFunction(win::SETRTS)); // the old opening stays dead
    port->SetExists(false);
    second->CloseHandle();
    EXPECT_FALSE(second->Open("\\\\.\\COM7", err));
    EXPECT_EQ(err, "No such file or directory");
}

} // namespace
} // namespace vandrel::serial
