// The component's data path on a real pseudo-terminal pair, on real time.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "serial/comm_x.h"
#include "support/serial_pty_posix.h"
#include "support/wait_for.h"

namespace vandrel::serial {
namespace {

using namespace std::chrono_literals;
using test::SerialPty;
using test::WaitFor;

struct PtyComm : ::testing::Test {
    SerialPty pty;
    TCommX comm;
    void SetUp() override {
        comm.SetDriverFactory(pty.Factory());
        comm.SetBitRate(115200);
        comm.SetFlowCtrl(cfcNone);
    }
    bool Pump(const std::function<bool()>& condition) {
        return WaitFor(condition, 5s, [this] { comm.ProcessNotifications(); });
    }
};

TEST_F(PtyComm, SentDataArrivesWholeAndCountsReturnToZero) {
    comm.SetPortNo(3);
    comm.Open();
    std::vector<std::uint8_t> data(5000);
    std::iota(data.begin(), data.end(), std::uint8_t{7});
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = pty.Read(data.size()); });
    ASSERT_TRUE(comm.SendData(data.data(), static_cast<std::int32_t>(data.size())));
    reader.join();
    EXPECT_EQ(received, data);
    ASSERT_TRUE(WaitFor([&] { return comm.PendingBytes() == 0; }));
    EXPECT_EQ(comm.PendingChunks(), 0);
}

TEST_F(PtyComm, ReceivedDataFiresOnReceiveOnTheOwnerThread) {
    std::vector<std::pair<std::int32_t, std::thread::id>> seen;
    comm.OnReceive = [&](TCustomCommX*, std::int32_t n) { seen.emplace_back(n, std::this_thread::get_id()); };
    std::atomic<int> wakeups{0};
    comm.SetNotificationWakeup([&] { ++wakeups; });
    comm.Open();
    pty.Write({'a', 'b', 'c', 'd'});
    ASSERT_TRUE(Pump([&] { return !seen.empty(); }));
    EXPECT_TRUE(WaitFor([&] { return wakeups.load() >= 1; }));
    EXPECT_GE(seen.front().first, 1);
    EXPECT_EQ(seen.front().second, std::this_thread::get_id());
    ASSERT_TRUE(WaitFor([&] { return comm.ReceivedCount() == 4; }));
    char buffer[8] = {};
    EXPECT_EQ(comm.ReadData(buffer, 8), 4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

TEST_F(PtyComm, PurgeDuringALongWriteReleasesEverything) {
    comm.Open();
    // Nobody reads the master: the first chunk stays pending, the rest queue up.
    std::vector<std::uint8_t> data(20 * 2048, 0x41); // 20 chunks: no slot wait
    ASSERT_TRUE(comm.SendData(data.data(), static_cast<std::int32_t>(data.size())));
    EXPECT_GT(comm.PendingBytes(), 0);
    comm.PurgeTransmit();
    EXPECT_EQ(comm.PendingBytes(), 0);
    EXPECT_EQ(comm.PendingChunks(), 0);
    // The port is still usable afterwards.
    pty.Read(1 << 20, 100ms);
    const std::uint8_t tail[] = {1, 2, 3};
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = pty.Read(3); });
    ASSERT_TRUE(comm.SendData(tail, 3));
    reader.join();
    EXPECT_EQ(received, (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(PtyComm, CloseTakesItsPausesOnlyOnAnOpenPort) {
    comm.Open();
    auto start = std::chrono::steady_clock::now();
    comm.Close();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(comm.Handle(), INVALID_HANDLE_VALUE);

    start = std::chrono::steady_clock::now();
    comm.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms);

    // The slave can be opened again: nothing was left holding it.
    comm.Open();
    EXPECT_NE(comm.Handle(), INVALID_HANDLE_VALUE);
}

TEST_F(PtyComm, DestroyingAnOpenComponentReleasesThePort) {
    // The master hangs up exactly when no one holds the slave open.
    const auto slaveHeld = [&] {
        pollfd p{pty.Master(), POLLIN, 0};
        ::poll(&p, 1, 0);
        return (p.revents & POLLHUP) == 0;
    };
    {
        TCommX other;
        other.SetDriverFactory(pty.Factory());
        other.SetBitRate(115200);
        other.Open();
        EXPECT_TRUE(slaveHeld());
    }
    EXPECT_FALSE(slaveHeld());
}

} // namespace
} // namespace vandrel::serial
