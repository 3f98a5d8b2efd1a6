// The transmit and receive workers behind the component, over the simulated port.
#include <gtest/gtest.h>

#include <numeric>
#include <stdexcept>
#include <thread>

#include "serial/comm_x.h"
#include "support/serial_sim_comm.h"

namespace vandrel::serial {
namespace {

using test::SerialSimComm;
using test::WaitFor;

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

TEST(CommXTransmit, DataIsSplitIntoChunksAndCountsReturnToZero) {
    SerialSimComm s;
    s.comm->Open();
    s.port->SetWriteBlocks(true);
    const auto data = Pattern(5000);
    ASSERT_TRUE(s.comm->SendData(data.data(), 5000));
    EXPECT_EQ(s.comm->PendingChunks(), 3);
    EXPECT_EQ(s.comm->PendingBytes(), 5000);
    for (std::size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(WaitFor([&] { return s.port->CallsNamed("WriteFile").size() == i && s.port->WritePending(); }));
        s.port->ReleaseWrites();
    }
    ASSERT_TRUE(WaitFor([&] { return s.comm->PendingBytes() == 0; }));
    EXPECT_EQ(s.comm->PendingChunks(), 0);
    EXPECT_EQ(s.port->Written(), data);
    std::vector<std::uint32_t> sizes;
    for (const auto& call : s.port->CallsNamed("WriteFile"))
        sizes.push_back(call.Arg);
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{2048, 2048, 904}));
}

TEST(CommXTransmit, UnusableChunkSizeOrArgumentsEndSendData) {
    SerialSimComm s;
    s.comm->Open();
    const std::uint8_t byte = 1;
    s.comm->SetBufLenTrans(0);
    EXPECT_FALSE(s.comm->SendData(&byte, 1));
    s.comm->SetBufLenTrans(-5);
    EXPECT_FALSE(s.comm->SendData(&byte, 1));
    s.comm->SetBufLenTrans(16);
    EXPECT_FALSE(s.comm->SendData(nullptr, 1));
    EXPECT_FALSE(s.comm->SendData(&byte, -1));
    EXPECT_TRUE(s.comm->SendData(nullptr, 0));
    EXPECT_EQ(s.comm->PendingChunks(), 0);
    EXPECT_TRUE(s.port->CallsNamed("WriteFile").empty());
}

TEST(CommXTransmit, TheThirtyThirdChunkWaitsForAFreeSlot) {
    SerialSimComm s;
    s.comm->SetBufLenTrans(1);
    s.comm->Open();
    s.port->SetWriteBlocks(true);
    const auto data = Pattern(33);
    ASSERT_TRUE(s.comm->SendData(data.data(), 32));
    EXPECT_EQ(s.comm->PendingChunks(), 32);

    int pumps = 0;
    int chunksSeenWhileWaiting = 0;
    s.comm->SetPumpHook([&] {
        if (pumps++ == 0) {
            chunksSeenWhileWaiting = s.comm->PendingChunks();
            s.port->SetWriteBlocks(false);
            s.port->ReleaseWrites();
        }
    });
    ASSERT_TRUE(s.comm->SendData(data.data() + 32, 1));
    EXPECT_GE(pumps, 1);
    EXPECT_EQ(chunksSeenWhileWaiting, 32);
    ASSERT_TRUE(WaitFor([&] { return s.comm->PendingBytes() == 0; }));
    EXPECT_EQ(s.port->Written(), data);
}

TEST(CommXTransmit, CloseWhileWaitingForASlotEndsSendDataWithFalse) {
    SerialSimComm s;
    s.comm->SetBufLenTrans(1);
    s.comm->Open();
    s.port->SetWriteBlocks(true);
    const auto data = Pattern(40);
    s.comm->SetPumpHook([&] { s.comm->Close(); });
    EXPECT_FALSE(s.comm->SendData(data.data(), 40));
    EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(s.comm->PendingChunks(), 0);
    EXPECT_EQ(s.comm->PendingBytes(), 0);
    EXPECT_TRUE(s.port->Written().empty());
}

TEST(CommXTransmit, PurgeAbortsTheWriteAndReleasesQueuedChunks) {
    SerialSimComm s;
    s.comm->SetBufLenTrans(100);
    s.comm->Open();
    s.port->SetWriteBlocks(true);
    const auto data = Pattern(1000);
    ASSERT_TRUE(s.comm->SendData(data.data(), 1000));
    ASSERT_TRUE(WaitFor([&] { return s.port->WritePending(); }));
    s.comm->PurgeTransmit();
    EXPECT_EQ(s.comm->PendingBytes(), 0);
    EXPECT_EQ(s.comm->PendingChunks(), 0);
    EXPECT_TRUE(s.port->Written().empty());
    EXPECT_EQ(s.port->CallsNamed("WriteFile").size(), 1u);

    // Discard is clear again: the next data goes out.
    s.port->SetWriteBlocks(false);
    ASSERT_TRUE(s.comm->SendData(data.data(), 3));
    ASSERT_TRUE(WaitFor([&] { return s.port->Written().size() == 3; }));
}

TEST(CommXTransmit, PurgeDoesNotWaitForAnUnhandledErrorNotification) {
    SerialSimComm s;
    std::vector<std::int32_t> errors;
    s.comm->OnError = [&](TCustomCommX*, std::int32_t e) { errors.push_back(e); };
    s.port->FailAlways("WaitCommEvent"); // keeps the receive worker off the error flags
    s.comm->Open();
    s.port->SetWriteBlocks(true);
    const auto data = Pattern(10);
    ASSERT_TRUE(s.comm->SendData(data.data(), 10));
    ASSERT_TRUE(WaitFor([&] { return s.port->WritePending(); }));
    s.port->InjectLineErrors(win::CE_OVERRUN | 0x01);
    // The aborted write makes the worker report the overrun and wait for the owner,
    // which is inside PurgeTransmit and does not dispatch.
    s.comm->PurgeTransmit();
    EXPECT_EQ(s.comm->PendingBytes(), 0);
    // The notification is not lost; it fires at the next dispatch.
    ASSERT_TRUE(s.PumpUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors, std::vector<std::int32_t>{win::CE_OVERRUN});
}

struct HalfDuplexCase {
    TCommFlowCtrls flow;
    std::vector<SimCall> expected;
};

TEST(CommXTransmit, HalfDuplexSwitchesRtsOnceAroundEachBatch) {
    const SimCall setRts{"EscapeCommFunction", win::SETRTS};
    const SimCall clrRts{"EscapeCommFunction", win::CLRRTS};
    const HalfDuplexCase cases[] = {
        {cfcHalfHigh, {setRts, {"WriteFile", 4}, {"WriteFile", 2}, clrRts}},
        {cfcHalfLow, {clrRts, {"WriteFile", 4}, {"WriteFile", 2}, setRts}},
        {cfcNone, {{"WriteFile", 4}, {"WriteFile", 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.flow));
        SerialSimComm s;
        s.comm->SetFlowCtrl(c.flow);
        s.comm->SetBitRate(300); // character time 34 ms
        s.comm->Open();
        s.port->SetWriteBlocks(true);
        s.port->ClearCalls();
        const auto data = Pattern(6);
        const auto waitedBefore = s.clock.TotalWaitedMs();
        ASSERT_TRUE(s.comm->SendData(data.data(), 4));
        ASSERT_TRUE(WaitFor([&] { return s.port->WritePending(); }));
        // A second hand-over while the first is still being written joins the batch.
        ASSERT_TRUE(s.comm->SendData(data.data() + 4, 2));
        s.port->ReleaseWrites();
        ASSERT_TRUE(WaitFor([&] { return s.port->CallsNamed("WriteFile").size() == 2 && s.port->WritePending(); }));
        s.port->ReleaseWrites();
        ASSERT_TRUE(WaitFor([&] { return s.comm->PendingBytes() == 0; }));
        // EndSendDirection follows the release of the last chunk.
        if (c.flow != cfcNone) {
            ASSERT_TRUE(WaitFor([&] { return s.port->CallsNamed("EscapeCommFunction").size() == 2; }));
        }
        std::vector<SimCall> seen;
        for (const auto& call : s.port->Calls())
            if (call.Name == "EscapeCommFunction" || call.Name == "WriteFile")
                seen.push_back(call);
        EXPECT_EQ(seen, c.expected);
        if (c.flow != cfcNone)
            EXPECT_EQ(s.clock.TotalWaitedMs() - waitedBefore, 50 + 34 + 34);
        else
            EXPECT_EQ(s.clock.TotalWaitedMs() - waitedBefore, 0);
    }
}

TEST(CommXReceive, OneWakeNotifiesErrorsThenBreakThenDataOnTheOwnerThread) {
    SerialSimComm s;
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;
    s.comm->OnReceive = [&](TCustomCommX* sender, std::int32_t n) {
        EXPECT_EQ(sender, s.comm.get());
        events.push_back("receive " + std::to_string(n));
        threads.push_back(std::this_thread::get_id());
    };
    s.comm->OnBreak = [&](TCustomCommX*) {
        events.push_back("break");
        threads.push_back(std::this_thread::get_id());
    };
    s.comm->OnError = [&](TCustomCommX*, std::int32_t e) {
        events.push_back("error " + std::to_string(e));
        threads.push_back(std::this_thread::get_id());
    };
    s.comm->Open();
    // A first break wakes the worker, which then waits for the owner; the rest
    // arrives meanwhile and is all seen by its next wake.
    s.port->InjectBreak();
    ASSERT_TRUE(WaitFor([&] { return s.wakeups.load() == 1; }));
    s.port->InjectLineErrors(win::CE_FRAME | 0x10);
    s.port->InjectBreak();
    s.port->InjectReceived({2, 3});
    ASSERT_TRUE(s.PumpUntil([&] { return events.size() == 4; }));
    EXPECT_EQ(events, (std::vector<std::string>{"break", "error 8", "break", "receive 2"}));
    for (auto id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());

    char buffer[8] = {};
    EXPECT_EQ(s.comm->ReadData(buffer, 8), 2);
    EXPECT_EQ(buffer[1], 3);
}

TEST(CommXReceive, NothingFiresAfterClose) {
    SerialSimComm s;
    int fired = 0;
    s.comm->OnReceive = [&](TCustomCommX*, std::int32_t) { ++fired; };
    s.comm->OnBreak = [&](TCustomCommX*) { ++fired; };
    s.comm->OnError = [&](TCustomCommX*, std::int32_t) { ++fired; };
    s.comm->Open();
    // The worker waits for the owner with a notification when Close begins.
    s.port->InjectReceived({1});
    ASSERT_TRUE(WaitFor([&] { return s.wakeups.load() == 1; }));
    s.comm->Close();
    EXPECT_FALSE(s.port->IsOpen());
    EXPECT_EQ(s.CallNames().back(), "CloseHandle");
    s.comm->ProcessNotifications();
    s.comm->HandleNotification(CXM_RECEIVE, 0);
    s.comm->HandleNotification(CXM_BREAK, win::EV_BREAK);
    s.comm->HandleNotification(CXM_ERROR, win::CE_FRAME);
    EXPECT_EQ(fired, 0);
}

TEST(CommXReceive, CloseFromInsideAnEventHandler) {
    SerialSimComm s;
    int fired = 0;
    s.comm->OnReceive = [&](TCustomCommX* sender, std::int32_t) {
        ++fired;
        sender->Close(); // the worker that sent this waits for it to finish
    };
    s.comm->Open();
    s.port->InjectReceived({1, 2});
    ASSERT_TRUE(s.PumpUntil([&] { return s.comm->Handle() == INVALID_HANDLE_VALUE; }));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(s.CallNames().back(), "CloseHandle");
}

TEST(CommXRead, ReadsWhatIsThereWaitsBoundedAndStopsOnClose) {
    SerialSimComm s;
    s.comm->SetTimeOutReceive(50);
    s.comm->Open();
    char buffer[16] = {};
    EXPECT_EQ(s.comm->ReadData(nullptr, 4), -1);
    EXPECT_EQ(s.comm->ReadData(buffer, -1), -1);

    s.port->InjectReceived({'a', 'b', 'c'});
    EXPECT_EQ(s.comm->ReadData(buffer, 2), 2);
    EXPECT_EQ(s.comm->ReceivedCount(), 1);
    EXPECT_EQ(s.comm->ReadData(buffer, 16), 1);
    EXPECT_EQ(buffer[0], 'c');

    // Nothing arrives: the read ends with 0 bytes after the receive time-out.
    const auto before = s.clock.NowMs();
    EXPECT_EQ(s.comm->ReadData(buffer, 16), 0);
    EXPECT_GE(s.clock.NowMs() - before, 50);

    // Data arriving during the wait completes the read.
    s.comm->SetPumpHook([&] { s.port->InjectReceived({'z'}); });
    EXPECT_EQ(s.comm->ReadData(buffer, 16), 1);
    EXPECT_EQ(buffer[0], 'z');

    s.comm->SetPumpHook([&] { s.comm->Close(); });
    EXPECT_EQ(s.comm->ReadData(buffer, 16), -1);
    EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
}

TEST(CommXRead, FailedReadReportsLineErrorsAndReturnsMinusOne) {
    SerialSimComm s;
    std::vector<std::int32_t> errors;
    s.comm->OnError = [&](TCustomCommX*, std::int32_t e) { errors.push_back(e); };
    s.port->FailAlways("WaitCommEvent");
    s.comm->Open();
    s.port->InjectLineErrors(win::CE_RXPARITY);
    s.port->FailCall("ReadFile");
    char buffer[4];
    EXPECT_EQ(s.comm->ReadData(buffer, 4), -1);
    EXPECT_EQ(errors, std::vector<std::int32_t>{win::CE_RXPARITY});

    // A purge while the read is pending fails the wait: -1, no endless polling.
    s.comm->SetPumpHook([&] { s.comm->PurgeReceive(); });
    EXPECT_EQ(s.comm->ReadData(buffer, 4), -1);
}

TEST(CommXRead, OnlyTimeSpentWaitingCountsAgainstTheRead) {
    SerialSimComm s;
    s.comm->SetTimeOutReceive(50);
    s.comm->Open();
    char buffer[4] = {};
    // A handler run during the wait takes 5 s (a message box) while the byte arrives.
    bool handled = false;
    s.comm->SetPumpHook([&] {
        if (handled)
            return;
        handled = true;
        s.port->InjectReceived({'m'});
        s.clock.Advance(5000);
    });
    EXPECT_EQ(s.comm->ReadData(buffer, 4), 1);
    EXPECT_EQ(buffer[0], 'm');

    // A read the port never completes (its time stands still) still ends.
    VirtualClock frozen;
    s.port->SetClock(frozen);
    s.comm->SetPumpHook({});
    const auto before = s.clock.NowMs();
    EXPECT_EQ(s.comm->ReadData(buffer, 4), -1);
    EXPECT_GE(s.clock.NowMs() - before, 50 + 1000);
    EXPECT_LT(s.clock.NowMs() - before, 50 + 1000 + 100);

    // The abandoned read does not stand in the way of the next one.
    s.port->SetClock(s.clock);
    s.port->InjectReceived({'n'});
    EXPECT_EQ(s.comm->ReadData(buffer, 4), 1);
    EXPECT_EQ(buffer[0], 'n');
}

TEST(CommXRead, AnEventHandlerThatRaisesDoesNotLeaveTheReadPending) {
    SerialSimComm s;
    s.comm->Open();
    char buffer[4] = {};
    s.comm->SetPumpHook([] { throw std::runtime_error("handler failed"); });
    EXPECT_THROW(s.comm->ReadData(buffer, 4), std::runtime_error);

    // The next read starts afresh instead of finding the old one still pending.
    s.comm->SetPumpHook({});
    s.port->InjectReceived({'q'});
    EXPECT_EQ(s.comm->ReadData(buffer, 4), 1);
    EXPECT_EQ(buffer[0], 'q');
}

} // namespace
} // namespace vandrel::serial
