// The Windows driver's own logic: DCB and time-out conversion, error texts,
// and the overlapped read/write/close handling, exercised over a named pipe
// (which takes the same overlapped calls as a COM port, without hardware).
// Modem lines and comm events on a real port are covered through the sim driver.
#include "serial/win32_port_driver_win32.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/wait_for.h"

namespace vandrel::serial {

// Shared with the component test, which cannot include <windows.h>.
bool DosDeviceExists(const char* name)
{
    char target[1024];
    return ::QueryDosDeviceA(name, target, sizeof target) != 0;
}

namespace {

std::uint32_t RawFlagsWord(const DCB& dcb)
{
    // The bit-fields follow BaudRate; this is the word the system reads.
    std::uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const char*>(&dcb) + offsetof(DCB, BaudRate) + sizeof(DWORD), sizeof word);
    return word;
}

TEST(Win32Dcb, FlowControlWordsLandOnTheMatchingBitFields)
{
    struct Case {
        std::uint32_t flags;
        DWORD outxCts, outxDsr, dtrControl, outX, inX, rtsControl;
    };
    const Case cases[] = {
        {0x2017, 1, 0, DTR_CONTROL_ENABLE, 0, 0, RTS_CONTROL_HANDSHAKE},
        {0x102B, 0, 1, DTR_CONTROL_HANDSHAKE, 0, 0, RTS_CONTROL_ENABLE},
        {0x1313, 0, 0, DTR_CONTROL_ENABLE, 1, 1, RTS_CONTROL_ENABLE},
        {0x0013, 0, 0, DTR_CONTROL_ENABLE, 0, 0, RTS_CONTROL_DISABLE},
        {0x1013, 0, 0, DTR_CONTROL_ENABLE, 0, 0, RTS_CONTROL_ENABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags);
        PortState state;
        state.Flags = c.flags;
        const DCB dcb = ToDcb(state);
        EXPECT_EQ(dcb.fBinary, 1u);
        EXPECT_EQ(dcb.fParity, 1u);
        EXPECT_EQ(dcb.fOutxCtsFlow, c.outxCts);
        EXPECT_EQ(dcb.fOutxDsrFlow, c.outxDsr);
        EXPECT_EQ(dcb.fDtrControl, c.dtrControl);
        EXPECT_EQ(dcb.fOutX, c.outX);
        EXPECT_EQ(dcb.fInX, c.inX);
        EXPECT_EQ(dcb.fRtsControl, c.rtsControl);
        EXPECT_EQ(dcb.fDsrSensitivity | dcb.fTXContinueOnXoff | dcb.fErrorChar | dcb.fNull | dcb.fAbortOnError, 0u);
        EXPECT_EQ(RawFlagsWord(dcb), c.flags);
        EXPECT_EQ(FromDcb(dcb).Flags, c.flags);
    }
}

TEST(Win32Dcb, EveryFlagBitKeepsItsPlaceBothWays)
{
    for (unsigned bit = 0; bit < 32; ++bit) {
        SCOPED_TRACE(bit);
        PortState state;
        state.Flags = 1u << bit;
        const DCB dcb = ToDcb(state);
        EXPECT_EQ(RawFlagsWord(dcb), state.Flags);
        DCB raw{};
        std::memcpy(reinterpret_cast<char*>(&raw) + offsetof(DCB, BaudRate) + sizeof(DWORD), &state.Flags,
                    sizeof state.Flags);
        EXPECT_EQ(FromDcb(raw).Flags, state.Flags);
    }
}

TEST(Win32Dcb, LineSettingsRoundTripAndForeignFieldsComeFromTheBase)
{
    PortState state;
    state.BaudRate = 115200;
    state.Flags = 0x1013;
    state.XonLim = 512;
    state.XoffLim = 513;
    state.ByteSize = 7;
    state.Parity = EVENPARITY;
    state.StopBits = TWOSTOPBITS;
    state.XonChar = 0x11;
    state.XoffChar = static_cast<char>(0x93);

    DCB base{};
    base.DCBlength = 12; // whatever the base says, we send the true size
    base.EofChar = 0x1A;
    base.ErrorChar = '?';
    base.EvtChar = '\n';
    base.fDtrControl = DTR_CONTROL_HANDSHAKE; // our word replaces every flag
    const DCB dcb = ToDcb(state, base);
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.XonLim, 512);
    EXPECT_EQ(dcb.XoffLim, 513);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, static_cast<char>(0x93));
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '\n');
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(FromDcb(dcb), state);
}

TEST(Win32Timeouts, ComponentValuesAndRoundTrip)
{
    // What the component sets: return at once with what is there, bounded writes.
    const CommTimeouts ours{MAXDWORD, 0, 3000, 0, 2500};
    const COMMTIMEOUTS c = ToCommTimeouts(ours);
    EXPECT_EQ(c.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(c.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(c.ReadTotalTimeoutConstant, 3000u);
    EXPECT_EQ(c.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(c.WriteTotalTimeoutConstant, 2500u);
    const CommTimeouts distinct{1, 2, 3, 4, 5};
    EXPECT_EQ(FromCommTimeouts(ToCommTimeouts(distinct)), distinct);
}

TEST(Win32ErrorText, SystemTextWithoutLineBreakOrNumberedFallback)
{
    const std::string text = Win32ErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(Win32ErrorText(0x2000FFFFu), "Windows error 536936447");
}

TEST(Win32PortDriver, MissingPortFailsWithTheSystemsReasonAndStaysClosed)
{
    ASSERT_FALSE(DosDeviceExists("COM250")) << "COM250 is a real device here; not opening it";
    Win32PortDriver driver;
    std::string reason;
    EXPECT_FALSE(driver.Open("\\\\.\\COM250", reason));
    EXPECT_EQ(reason, Win32ErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(driver.NativeHandle(), 0xFFFFFFFFu);

    // Every call on the closed driver fails at once and blocks nothing.
    PortState state;
    state.BaudRate = 1234;
    EXPECT_FALSE(driver.GetCommState(state));
    EXPECT_EQ(state.BaudRate, 1234u);
    std::uint32_t mask = 99, errors = 99, inQueue = 99, count = 99;
    EXPECT_FALSE(driver.WaitCommEvent(mask));
    EXPECT_EQ(mask, 0u);
    EXPECT_FALSE(driver.ClearCommError(errors, inQueue));
    EXPECT_EQ(errors + inQueue, 0u);
    std::uint8_t byte = 0;
    EXPECT_EQ(driver.Read(&byte, 1, count), IoResult::Failed);
    EXPECT_EQ(driver.Write(&byte, 1, count), IoResult::Failed);
    EXPECT_FALSE(driver.WaitWrite(count));
    EXPECT_FALSE(driver.EscapeCommFunction(SETRTS));
    driver.WakeCommEventWaiter();
    driver.CloseHandle();
    EXPECT_TRUE(MakePlatformPortDriver() != nullptr);
}

// The driver as the client end of a byte-mode named pipe.
class Win32PipeDriver : public testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        name_ = "\\\\.\\pipe\\vandrel1-driver-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        server_ = ::CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                                     0, nullptr);
        ASSERT_NE(server_, INVALID_HANDLE_VALUE);
        std::string reason;
        ASSERT_TRUE(driver_.Open(name_, reason)) << reason;
        ::ConnectNamedPipe(server_, nullptr); // the client is already there
    }
    void TearDown() override
    {
        driver_.CloseHandle();
        if (server_ != INVALID_HANDLE_VALUE) ::CloseHandle(server_);
    }
    void ServerWrite(const std::string& text)
    {
        DWORD n = 0;
        ASSERT_TRUE(::WriteFile(server_, text.data(), static_cast<DWORD>(text.size()), &n, nullptr));
        ASSERT_EQ(n, text.size());
    }
    std::string ServerRead(std::size_t count)
    {
        std::string text(count, '\0');
        DWORD total = 0;
        while (total < count) {
            DWORD n = 0;
            if (!::ReadFile(server_, text.data() + total, static_cast<DWORD>(count - total), &n, nullptr)) break;
            total += n;
        }
        text.resize(total);
        return text;
    }
    // Polls a pending read to its end.
    IoResult FinishRead(std::uint32_t& read)
    {
        IoResult result = IoResult::Incomplete;
        test::WaitFor([&] { return (result = driver_.ReadResult(read)) != IoResult::Incomplete; });
        return result;
    }

    std::string name_;
    HANDLE server_ = INVALID_HANDLE_VALUE;
    Win32PortDriver driver_;
};

TEST_F(Win32PipeDriver, PendingReadPollsIncompleteThenDeliversTheBytes)
{
    EXPECT_NE(driver_.NativeHandle(), 0xFFFFFFFFu);
    char buffer[16] = {};
    std::uint32_t read = 99;
    ASSERT_EQ(driver_.Read(reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer, read), IoResult::Pending);
    EXPECT_EQ(driver_.ReadResult(read), IoResult::Incomplete);
    // One read at a time.
    std::uint8_t other[4];
    EXPECT_EQ(driver_.Read(other, sizeof other, read), IoResult::Failed);

    ServerWrite("abc");
    ASSERT_EQ(FinishRead(read), IoResult::Done);
    EXPECT_EQ(std::string(buffer, read), "abc");
    // Finished: nothing more to poll.
    EXPECT_EQ(driver_.ReadResult(read), IoResult::Failed);
}

TEST_F(Win32PipeDriver, WriteReachesThePeer)
{
    const std::string text = "0123456789";
    std::uint32_t written = 0;
    const IoResult result =
        driver_.Write(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()),
                      written);
    ASSERT_NE(result, IoResult::Failed);
    if (result == IoResult::Pending) {
        ASSERT_TRUE(driver_.WaitWrite(written));
    }
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(ServerRead(text.size()), text);
}

TEST_F(Win32PipeDriver, NonCommHandleRefusesCommCallsWithoutBlocking)
{
    PortState state;
    EXPECT_FALSE(driver_.GetCommState(state));
    EXPECT_FALSE(driver_.SetCommState(state));
    std::uint32_t mask = 7;
    EXPECT_FALSE(driver_.WaitCommEvent(mask)); // not started: the caller treats it as pending
    EXPECT_EQ(mask, 0u);
}

TEST_F(Win32PipeDriver, CloseCancelsAPendingReadAndLeavesTheDriverClosed)
{
    std::uint8_t buffer[8];
    std::uint32_t read = 0;
    ASSERT_EQ(driver_.Read(buffer, sizeof buffer, read), IoResult::Pending);
    driver_.CloseHandle();
    EXPECT_EQ(driver_.NativeHandle(), 0xFFFFFFFFu);
    EXPECT_EQ(driver_.ReadResult(read), IoResult::Failed);
    EXPECT_EQ(driver_.Read(buffer, sizeof buffer, read), IoResult::Failed);
    // Data sent now goes nowhere near the buffer of the abandoned read.
    DWORD n = 0;
    EXPECT_FALSE(::WriteFile(server_, "x", 1, &n, nullptr));
    driver_.CloseHandle();
}

TEST_F(Win32PipeDriver, CloseEndsAWriteWaitThatWouldNeverComplete)
{
    // Far more than the pipe buffers, and nobody reads: the write stays pending.
    std::vector<std::uint8_t> data(1 << 20, 0x55);
    std::uint32_t written = 0;
    ASSERT_EQ(driver_.Write(data.data(), static_cast<std::uint32_t>(data.size()), written), IoResult::Pending);
    bool completed = true;
    std::thread worker([&] { completed = driver_.WaitWrite(written); });
    driver_.CloseHandle();
    worker.join();
    EXPECT_FALSE(completed);
    EXPECT_LT(written, data.size());
}

} // namespace
} // namespace vandrel::serial
