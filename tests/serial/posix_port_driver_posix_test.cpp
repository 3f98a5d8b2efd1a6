// The POSIX driver on a pseudo-terminal pair (never on a real serial device).
#include "serial/posix_port_driver.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/serial_pty_posix.h"
#include "support/wait_for.h"

namespace vandrel::serial {
namespace {

using namespace std::chrono_literals;
using test::SerialPty;

struct PtyDriver : ::testing::Test {
    SerialPty pty;
    std::unique_ptr<PortDriver> driver = pty.Factory()("\\\\.\\COM5");
    void SetUp() override {
        std::string err;
        ASSERT_TRUE(driver->Open("\\\\.\\COM5", err)) << err;
        ASSERT_TRUE(driver->SetCommMask(win::EV_RXCHAR | win::EV_BREAK | win::EV_ERR));
    }
    termios SlaveAttributes() const {
        termios tio{};
        EXPECT_EQ(::tcgetattr(static_cast<int>(driver->NativeHandle()), &tio), 0);
        return tio;
    }
};

TEST(PosixPortDriver, OpenReportsTheOsReason) {
    PosixPortDriver missing([](const std::string&) { return std::string("/nonexistent/ttyX"); });
    std::string err;
    EXPECT_FALSE(missing.Open("\\\\.\\COM9", err));
    EXPECT_EQ(err, "No such file or directory");

    PosixPortDriver unmapped([](const std::string&) { return std::string(); });
    EXPECT_FALSE(unmapped.Open("\\\\.\\COM9", err));
    EXPECT_EQ(err, "No such file or directory");

    // Not a terminal: refused, nothing left open.
    PosixPortDriver notTty([](const std::string&) { return std::string("/dev/null"); });
    EXPECT_FALSE(notTty.Open("\\\\.\\COM9", err));
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(notTty.NativeHandle(), 0xFFFFFFFFu);

    std::string seen;
    PosixPortDriver spy([&](const std::string& com) { seen = com; return std::string(); });
    spy.Open("\\\\.\\COM42", err);
    EXPECT_EQ(seen, "COM42");
}

TEST_F(PtyDriver, StateMapsOntoTermios) {
    PortState state;
    state.BaudRate = 115200;
    state.ByteSize = 7;
    state.Parity = win::ODDPARITY;
    state.StopBits = win::TWOSTOPBITS;
    state.Flags = 0x2017; // RTS/CTS handshake
    ASSERT_TRUE(driver->SetCommState(state));
    termios tio = SlaveAttributes();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
    // (A pseudo-terminal forces 8 bits without parity, so size and parity bits
    // cannot be seen here; INPCK shows that parity was asked for.)
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_TRUE(tio.c_iflag & INPCK);
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));

    state.Flags = 0x1313; // XON/XOFF
    state.Parity = win::NOPARITY;
    state.XonChar = 0x11;
    state.XoffChar = 0x13;
    ASSERT_TRUE(driver->SetCommState(state));
    tio = SlaveAttributes();
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & IXOFF);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    PortState back;
    ASSERT_TRUE(driver->GetCommState(back));
    EXPECT_EQ(back, state);

    // What termios cannot do is refused and leaves the last state.
    PortState bad = state;
    bad.ByteSize = 9;
    EXPECT_FALSE(driver->SetCommState(bad));
    bad = state;
    bad.BaudRate = 5;
    EXPECT_FALSE(driver->SetCommState(bad));
    ASSERT_TRUE(driver->GetCommState(back));
    EXPECT_EQ(back, state);
}

TEST_F(PtyDriver, EventWaitReportsNewInputOnceAndCanBeWoken) {
    std::uint32_t mask = 0;
    // Open's SetCommMask may leave one wake behind: drain it.
    driver->WakeCommEventWaiter();
    ASSERT_TRUE(driver->WaitCommEvent(mask));

    std::thread writer([&] {
        std::this_thread::sleep_for(20ms);
        pty.Write({1, 2, 3});
    });
    ASSERT_TRUE(driver->WaitCommEvent(mask));
    writer.join();
    EXPECT_EQ(mask, win::EV_RXCHAR);

    // The unread bytes do not wake it again; a wake does.
    const auto start = std::chrono::steady_clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(100ms);
        driver->WakeCommEventWaiter();
    });
    ASSERT_TRUE(driver->WaitCommEvent(mask));
    const auto waited = std::chrono::steady_clock::now() - start;
    waker.join();
    EXPECT_EQ(mask, 0u);
    EXPECT_GE(waited, 100ms);

    // More input on top of the unread bytes is new input.
    pty.Write({4});
    ASSERT_TRUE(driver->WaitCommEvent(mask));
    EXPECT_EQ(mask, win::EV_RXCHAR);

    std::uint32_t errors = 0, queued = 0;
    ASSERT_TRUE(driver->ClearCommError(errors, queued));
    EXPECT_EQ(queued, 4u);
    EXPECT_EQ(errors, 0u); // pseudo-terminals count no line errors
    ASSERT_TRUE(driver->PurgeComm(win::PURGE_RXABORT | win::PURGE_RXCLEAR));
    ASSERT_TRUE(driver->ClearCommError(errors, queued));
    EXPECT_EQ(queued, 0u);
}

TEST_F(PtyDriver, InputBeyondItsBufferWaitsInTheKernelAndNothingIsLost) {
    const std::size_t total = PosixPortDriver::kReceiveBufferLimit + 1000;
    std::vector<std::uint8_t> data(total);
    for (std::size_t i = 0; i < total; ++i)
        data[i] = static_cast<std::uint8_t>(i % 251);
    // A waiter like the receive worker, counting announcements.
    std::atomic<int> announced{0};
    std::atomic<bool> stop{false};
    std::thread waiter([&] {
        while (!stop.load()) {
            std::uint32_t mask = 0;
            if (driver->WaitCommEvent(mask) && (mask & win::EV_RXCHAR))
                ++announced;
        }
    });
    std::thread writer([&] { pty.Write(data); });
    const auto queued = [&] {
        std::uint32_t errors = 0, inQueue = 0;
        driver->ClearCommError(errors, inQueue);
        return inQueue;
    };
    // The count takes in what the kernel keeps while the buffer is full.
    EXPECT_TRUE(test::WaitFor([&] { return queued() == total; }));
    writer.join();
    EXPECT_TRUE(test::WaitFor([&] { return announced.load() >= 1; }));

    std::vector<std::uint8_t> received;
    std::uint8_t buffer[1000];
    std::uint32_t read = 0;
    const auto readSome = [&] {
        const bool done = driver->Read(buffer, sizeof buffer, read) == IoResult::Done && read != 0;
        received.insert(received.end(), buffer, buffer + read);
        return done;
    };
    // Reading makes room: what the kernel kept comes in as a new batch, and the
    // buffer is full again while the kernel holds nothing.
    int seen = announced.load();
    ASSERT_TRUE(readSome());
    EXPECT_TRUE(test::WaitFor([&] { return announced.load() > seen; }));
    while (received.size() < total && readSome()) {
    }
    EXPECT_EQ(received, data);
    EXPECT_EQ(queued(), 0u);

    // Room again: the waiter watches the device again and announces new input.
    seen = announced.load();
    pty.Write({7});
    EXPECT_TRUE(test::WaitFor([&] { return announced.load() > seen; }));
    stop.store(true);
    driver->WakeCommEventWaiter();
    waiter.join();
}

TEST_F(PtyDriver, ReadsHonourTheReceiveTimeout) {
    CommTimeouts timeouts{win::MAXDWORD, 0, 80, 0, 0};
    ASSERT_TRUE(driver->SetCommTimeouts(timeouts));
    std::uint8_t buffer[8] = {};
    std::uint32_t read = 0;

    pty.Write({'h', 'i'});
    ASSERT_TRUE(test::WaitFor([&] {
        std::uint32_t e = 0, q = 0;
        driver->ClearCommError(e, q);
        return q == 2;
    }));
    ASSERT_EQ(driver->Read(buffer, 8, read), IoResult::Done);
    EXPECT_EQ(read, 2u);

    // Nothing there: pending, then done with 0 bytes after the time-out.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(driver->Read(buffer, 8, read), IoResult::Pending);
    IoResult result;
    while ((result = driver->ReadResult(read)) == IoResult::Incomplete)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(result, IoResult::Done);
    EXPECT_EQ(read, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 80ms);

    // Input during the wait completes it; a purge fails it.
    ASSERT_EQ(driver->Read(buffer, 8, read), IoResult::Pending);
    pty.Write({'x'});
    while ((result = driver->ReadResult(read)) == IoResult::Incomplete)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(result, IoResult::Done);
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(buffer[0], 'x');
    ASSERT_EQ(driver->Read(buffer, 8, read), IoResult::Pending);
    driver->PurgeComm(win::PURGE_RXABORT);
    EXPECT_EQ(driver->ReadResult(read), IoResult::Failed);
}

TEST_F(PtyDriver, LongWriteIsFinishedByWaitWriteOrAbortedByPurge) {
    // More than the pseudo-terminal buffers while nobody reads the master.
    std::vector<std::uint8_t> data(256 * 1024, 0x5A);
    std::uint32_t written = 0;
    ASSERT_EQ(driver->Write(data.data(), static_cast<std::uint32_t>(data.size()), written), IoResult::Pending);
    std::thread purger([&] {
        std::this_thread::sleep_for(50ms);
        driver->PurgeComm(win::PURGE_TXABORT | win::PURGE_TXCLEAR);
    });
    EXPECT_FALSE(driver->WaitWrite(written));
    purger.join();
    EXPECT_LT(written, data.size());

    // With a reader the same write completes whole.
    std::vector<std::uint8_t> drained;
    pty.Read(1 << 20, 100ms); // whatever the aborted write left
    std::thread reader([&] { drained = pty.Read(data.size()); });
    IoResult r = driver->Write(data.data(), static_cast<std::uint32_t>(data.size()), written);
    if (r == IoResult::Pending) {
        ASSERT_TRUE(driver->WaitWrite(written));
    }
    reader.join();
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(drained.size(), data.size());
}

TEST_F(PtyDriver, WriteTimeoutCompletesWithFewerBytes) {
    CommTimeouts timeouts{win::MAXDWORD, 0, 0, 0, 60};
    ASSERT_TRUE(driver->SetCommTimeouts(timeouts));
    std::vector<std::uint8_t> data(256 * 1024, 0x33);
    std::uint32_t written = 0;
    ASSERT_EQ(driver->Write(data.data(), static_cast<std::uint32_t>(data.size()), written), IoResult::Pending);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver->WaitWrite(written));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
    EXPECT_LT(written, data.size());
}

TEST_F(PtyDriver, ModemLineCallsFailCleanlyWithoutLines) {
    // A pseudo-terminal has no modem lines; the calls must fail, not crash or block.
    std::uint32_t status = 0xFFFF;
    driver->EscapeCommFunction(win::SETRTS);
    driver->GetCommModemStatus(status);
    EXPECT_FALSE(driver->EscapeCommFunction(99));
    driver->CloseHandle();
    EXPECT_FALSE(driver->EscapeCommFunction(win::SETRTS));
    EXPECT_FALSE(driver->SetCommBreak());
    EXPECT_FALSE(driver->GetCommModemStatus(status));
    EXPECT_EQ(driver->NativeHandle(), 0xFFFFFFFFu);
}

} // namespace
} // namespace vandrel::serial
