// Opening, configuring and closing the component over the simulated port.
#include "serial/comm_x.h"

#include <gtest/gtest.h>

#include "serial/comm_trans_thread.h"
#include "support/serial_sim_comm.h"

namespace vandrel::serial {
namespace {

using test::SerialSimComm;

void ExpectClosedCompletely(const SerialSimComm& s) {
    if (s.comm) {
        EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(s.comm->Driver(), nullptr);
    }
    EXPECT_FALSE(s.port->IsOpen());
    const auto names = s.CallNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "CloseHandle");
    // The complete Close: lines dropped, both sides purged, before the handle goes.
    const auto escapes = s.port->CallsNamed("EscapeCommFunction");
    ASSERT_GE(escapes.size(), 2u);
    EXPECT_EQ(escapes[escapes.size() - 2].Arg, win::CLRDTR);
    EXPECT_EQ(escapes.back().Arg, win::CLRRTS);
    EXPECT_EQ(s.port->CallsNamed("PurgeComm").back().Arg, win::PURGE_RXABORT | win::PURGE_RXCLEAR);
}

struct RefusedStep {
    const char* call;
    int nth;
    const char* message;
};

TEST(CommXOpen, EachRefusedStepRaisesItsMessageAndClosesThePort) {
    const RefusedStep steps[] = {
        {"SetupComm", 1, "Cannot allocation trans-buffer"},
        {"SetCommState", 1, "Error occured when bitrate configuration"},
        {"SetCommState", 2, "Error occured when bitsize configuration"},
        {"SetCommState", 3, "Error occured when parity configuration"},
        {"SetCommState", 4, "Error occured when stopbits configuration"},
        {"SetCommState", 5, "Error occured when flow-control configuration"},
        {"SetCommTimeouts", 1, "Error occured when timeout configuration"},
        {"SetCommState", 6, "Error occured when Xon character configuration"},
        {"SetCommState", 7, "Error occured when Xoff character configuration"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.message);
        SerialSimComm s;
        s.port->FailCall(step.call, step.nth);
        try {
            s.comm->Open();
            ADD_FAILURE() << "no exception";
        } catch (const ECommError& e) {
            EXPECT_STREQ(e.what(), step.message);
        }
        ExpectClosedCompletely(s);
        EXPECT_TRUE(s.port->CallsNamed("WaitCommEvent").empty()); // no worker was started
    }
}

TEST(CommXOpen, BitRateBelowTenCannotBuildTheTransmitWorker) {
    SerialSimComm s;
    s.comm->SetBitRate(9);
    try {
        s.comm->Open();
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Cannot build trans-thread.");
    }
    ExpectClosedCompletely(s);
}

TEST(CommXOpen, FailedCreateKeepsTheOsReasonAndTouchesNothingElse) {
    SerialSimComm s;
    s.port->SetExists(false);
    try {
        s.comm->Open();
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Cannot open COM port.");
        EXPECT_EQ(e.OsReason(), "No such file or directory");
    }
    EXPECT_EQ(s.comm->LastOsError(), "No such file or directory");
    EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(s.CallNames(), std::vector<std::string>{"CreateFileA"});
    EXPECT_EQ(s.clock.TotalWaitedMs(), 0);

    s.port->SetExists(true);
    s.comm->Open();
    EXPECT_EQ(s.comm->LastOsError(), "");
}

TEST(CommXOpen, PortNumberTooLongForTheDeviceNameIsRefusedBeforeTheDriver) {
    EXPECT_EQ(CommDeviceName(99999999), "\\\\.\\COM99999999");
    EXPECT_EQ(CommDeviceName(-9999999), "\\\\.\\COM-9999999");
    EXPECT_EQ(CommDeviceName(100000000), "");
    EXPECT_EQ(CommDeviceName(-10000000), "");
    EXPECT_EQ(CommDeviceName(INT32_MIN), "");

    SerialSimComm s;
    s.comm->SetPortNo(100000000);
    EXPECT_THROW(
        {
            try {
                s.comm->Open();
            } catch (const ECommError& e) {
                EXPECT_STREQ(e.what(), "Cannot open COM port.");
                throw;
            }
        },
        ECommError);
    EXPECT_TRUE(s.CallNames().empty());
    EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
}

TEST(CommXOpen, SecondOpenIsRefusedAndThePortStaysUsable) {
    SerialSimComm s;
    s.comm->SetPortNo(7);
    s.comm->Open();
    const auto handle = s.comm->Handle();
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(s.port->DeviceName(), "\\\\.\\COM7");
    try {
        s.comm->Open();
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "COM port has been opened.");
    }
    EXPECT_EQ(s.comm->Handle(), handle);
    EXPECT_TRUE(s.port->IsOpen());
    s.comm->SetRts(true);
    EXPECT_TRUE(s.port->Rts());
}

TEST(CommXOpen, OpenConfiguresThePortInOrder) {
    SerialSimComm s;
    s.comm->SetBitRate(115200);
    s.comm->SetFlowCtrl(cfcNone);
    s.comm->SetTimeOutTrans(1234);
    s.comm->SetTimeOutReceive(567);
    s.comm->Open();
    auto calls = s.port->Calls();
    // The receive worker's calls follow SetCommMask; compare what Open did itself.
    auto mask = std::find(calls.begin(), calls.end(), SimCall{"SetCommMask", 0xC1});
    ASSERT_NE(mask, calls.end());
    calls.erase(mask + 1, calls.end());
    const std::vector<SimCall> expected = {
        {"CreateFileA", 0},      {"SetupComm", 2048},       {"PurgeComm", 0x05},
        {"PurgeComm", 0x0A},     {"GetCommState", 0},       {"SetCommState", 0}, // bit rate
        {"SetCommState", 0},     {"SetCommState", 0},       {"SetCommState", 0},  // size, parity, stop
        {"SetCommState", 0x1013}, {"GetCommTimeouts", 0},   {"SetCommTimeouts", 1234},
        {"SetCommState", 0x1013}, {"SetCommState", 0x1013}, {"SetCommMask", 0xC1},
    };
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(s.port->OutQueueSize(), 2048);
    const CommTimeouts t = s.port->Timeouts();
    EXPECT_EQ(t, (CommTimeouts{win::MAXDWORD, 0, 567, 0, 1234}));
    const PortState st = s.port->State();
    EXPECT_EQ(st.BaudRate, 115200u);
    EXPECT_EQ(st.ByteSize, 8);
    EXPECT_EQ(st.Parity, win::NOPARITY);
    EXPECT_EQ(st.StopBits, win::ONESTOPBIT);
    EXPECT_EQ(st.XonChar, 17);
    EXPECT_EQ(st.XoffChar, 19);
    EXPECT_EQ(st.DCBlength, 28u);
    // With cfcNone both lines are asserted by the state alone.
    EXPECT_TRUE(s.port->Dtr());
    EXPECT_TRUE(s.port->Rts());
    EXPECT_EQ(s.port->CallsNamed("EscapeCommFunction").size(), 0u);
}

TEST(CommXSettings, FlowControlWordsAndXonXoffLimits) {
    const std::pair<TCommFlowCtrls, std::uint32_t> words[] = {
        {cfcRtsCts, 0x2017}, {cfcDtrDsr, 0x102B}, {cfcXonXoff, 0x1313},
        {cfcHalfHigh, 0x0013}, {cfcHalfLow, 0x1013}, {cfcNone, 0x1013},
        {static_cast<TCommFlowCtrls>(9), 0x1013},
    };
    SerialSimComm s;
    s.comm->Open();
    for (auto [flow, word] : words) {
        s.comm->SetFlowCtrl(flow);
        EXPECT_EQ(s.port->State().Flags, word) << int(flow);
    }
    const std::pair<std::int32_t, std::uint16_t> limits[] = {{2048, 512}, {2050, 512}, {0, 0}, {3, 0}};
    for (auto [len, limit] : limits) {
        s.comm->SetBufLenReceive(len);
        EXPECT_EQ(s.port->InQueueSize(), len);
        EXPECT_EQ(s.port->State().XonLim, limit) << len;
        EXPECT_EQ(s.port->State().XoffLim, limit) << len;
    }
    // A refused SetupComm stops the setter before the limits change.
    s.port->FailCall("SetupComm");
    try {
        s.comm->SetBufLenReceive(400);
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Cannot allocation trans-buffer");
    }
    EXPECT_EQ(s.comm->BufLenReceive(), 400);
    EXPECT_EQ(s.port->State().XonLim, 0);
}

TEST(CommXSettings, SettersOnAClosedPortOnlyStore) {
    SerialSimComm s;
    EXPECT_EQ(s.comm->PortNo(), 1);
    EXPECT_EQ(s.comm->BitRate(), 9600);
    EXPECT_EQ(s.comm->CharSize(), 8);
    EXPECT_EQ(s.comm->ParityBit(), cpbNone);
    EXPECT_EQ(s.comm->StopBit(), csb1);
    EXPECT_EQ(s.comm->FlowCtrl(), cfcRtsCts);
    EXPECT_EQ(s.comm->TimeOutTrans(), 3000);
    EXPECT_EQ(s.comm->TimeOutReceive(), 3000);
    EXPECT_EQ(s.comm->XonChar(), 17);
    EXPECT_EQ(s.comm->XoffChar(), 19);
    EXPECT_EQ(s.comm->BufLenTrans(), 2048);
    EXPECT_EQ(s.comm->BufLenReceive(), 2048);
    EXPECT_EQ(s.comm->Handle(), 0xFFFFFFFFu);

    s.comm->SetPortNo(12);
    s.comm->SetBitRate(5);
    s.comm->SetCharSize(9);
    s.comm->SetParityBit(cpbEven);
    s.comm->SetStopBit(csb2);
    s.comm->SetFlowCtrl(cfcXonXoff);
    s.comm->SetTimeOutTrans(-1);
    s.comm->SetTimeOutReceive(0);
    s.comm->SetXonChar('a');
    s.comm->SetXoffChar('b');
    s.comm->SetBufLenTrans(0);
    s.comm->SetBufLenReceive(-4);
    s.comm->SetRts(true);
    s.comm->SetDtr(true);
    s.comm->PurgeTransmit();
    s.comm->PurgeReceive();
    EXPECT_EQ(s.comm->ReceivedCount(), 0);
    char buffer[4];
    EXPECT_EQ(s.comm->ReadData(buffer, 4), -1);
    EXPECT_TRUE(s.comm->SendData(buffer, 0));
    EXPECT_FALSE(s.comm->SendData(buffer, 1));
    s.comm->Close();

    EXPECT_TRUE(s.CallNames().empty());
    EXPECT_EQ(s.clock.TotalWaitedMs(), 0); // Close on a closed port has no pauses
    EXPECT_EQ(s.comm->PortNo(), 12);
    EXPECT_EQ(s.comm->CharSize(), 9);
    EXPECT_EQ(s.comm->FlowCtrl(), cfcXonXoff);
    EXPECT_EQ(s.comm->BufLenReceive(), -4);
    EXPECT_EQ(s.comm->XoffChar(), 'b');
}

TEST(CommXSettings, RefusedSizeIsResentByTheNextSetter) {
    SerialSimComm s;
    s.comm->Open();
    try {
        s.comm->SetCharSize(9);
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Error occured when bitsize configuration");
    }
    EXPECT_EQ(s.comm->CharSize(), 9);
    EXPECT_EQ(s.comm->GetPortState().ByteSize, 9);
    EXPECT_TRUE(s.port->IsOpen());
    try {
        s.comm->SetXonChar('Q');
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Error occured when Xon character configuration");
    }
    s.comm->SetCharSize(7);
    EXPECT_EQ(s.port->State().ByteSize, 7);
    EXPECT_EQ(s.port->State().XonChar, 'Q');
}

TEST(CommXSettings, OutOfRangeParityAndStopBitsLeaveThePortAlone) {
    SerialSimComm s;
    s.comm->Open();
    const auto before = s.port->CallsNamed("SetCommState").size();
    s.comm->SetParityBit(static_cast<TCommParityBits>(3));
    s.comm->SetStopBit(static_cast<TCommStopBits>(7));
    EXPECT_EQ(s.port->CallsNamed("SetCommState").size(), before);
    EXPECT_EQ(s.comm->ParityBit(), 3);
    s.comm->SetParityBit(cpbOdd);
    s.comm->SetStopBit(csb1p5);
    EXPECT_EQ(s.port->State().Parity, win::ODDPARITY);
    EXPECT_EQ(s.port->State().StopBits, win::ONE5STOPBITS);
}

TEST(CommXSettings, CharacterTimeFollowsTheBitRate) {
    EXPECT_EQ(TCommTransThread::CharTimeFor(9600), 2);
    EXPECT_EQ(TCommTransThread::CharTimeFor(115200), 1);
    EXPECT_EQ(TCommTransThread::CharTimeFor(300), 34);
    EXPECT_EQ(TCommTransThread::CharTimeFor(10), 1001);
    EXPECT_EQ(TCommTransThread::CharTimeFor(9), std::nullopt);
    EXPECT_EQ(TCommTransThread::CharTimeFor(-9), std::nullopt);
    EXPECT_EQ(TCommTransThread::CharTimeFor(0), std::nullopt);

    // On an open port a rate without a character time is refused, not divided by.
    SerialSimComm s;
    s.comm->Open();
    try {
        s.comm->SetBitRate(5);
        FAIL() << "no exception";
    } catch (const ECommError& e) {
        EXPECT_STREQ(e.what(), "Error occured when bitrate configuration");
    }
    EXPECT_EQ(s.comm->BitRate(), 5);
    EXPECT_TRUE(s.port->IsOpen());
    EXPECT_NO_THROW(s.comm->SetBitRate(300));
    EXPECT_EQ(s.port->State().BaudRate, 300u);
}

TEST(CommXClose, CloseDropsLinesPurgesAndPausesBeforeTheHandleGoes) {
    SerialSimComm s;
    s.comm->Open();
    s.port->ClearCalls();
    const auto waitedBefore = s.clock.TotalWaitedMs();
    s.comm->Close();
    ExpectClosedCompletely(s);
    const auto owner = s.CallNames({"EscapeCommFunction", "PurgeComm", "CloseHandle"});
    ASSERT_GE(owner.size(), 5u);
    EXPECT_EQ(owner.front(), "EscapeCommFunction");
    // The receive worker's last SetCommMask comes before the handle closes.
    const auto names = s.CallNames();
    EXPECT_EQ(names[names.size() - 2], "SetCommMask");
    EXPECT_GE(s.clock.TotalWaitedMs() - waitedBefore, 300);
    EXPECT_FALSE(s.port->Dtr());
    EXPECT_FALSE(s.port->Rts());

    s.port->ClearCalls();
    s.comm->Close();
    EXPECT_TRUE(s.CallNames().empty());
}

TEST(CommXClose, DestroyingAnOpenComponentClosesIt) {
    SerialSimComm s;
    s.comm->Open();
    s.comm.reset();
    ExpectClosedCompletely(s);
}

TEST(CommXClose, NewPortNumberReopensAndKeepsTheEvents) {
    SerialSimComm s;
    std::vector<std::int32_t> received;
    s.comm->OnReceive = [&](TCustomCommX*, std::int32_t n) { received.push_back(n); };
    s.comm->SetPortNo(3);
    s.comm->Open();
    s.comm->SetPortNo(4);
    EXPECT_EQ(s.port->DeviceName(), "\\\\.\\COM4");
    EXPECT_EQ(s.port->OpenCount(), 2);
    EXPECT_NE(s.comm->Handle(), INVALID_HANDLE_VALUE);
    s.port->InjectReceived({1, 2});
    ASSERT_TRUE(s.PumpUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<std::int32_t>{2});

    // A reopen that fails leaves the component closed, the error raised.
    s.port->SetExists(false);
    EXPECT_THROW(s.comm->SetPortNo(5), ECommError);
    EXPECT_EQ(s.comm->Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(s.comm->PortNo(), 5);
}

} // namespace
} // namespace vandrel::serial
