// The component's data path on a real pseudo-terminal pair, on real time.
#include <gtest/gtest.h>
#include <sys/syscall.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <thread>

#include "serial/comm_x.h"
#include "support/serial_pty_posix.h"
#include "support/wait_for.h"

namespace vandrel::serial {
namespace {

using namespace std::chrono_literals;
using test::SerialPty;
using test::WaitFor;

// This process's threads as /proc shows them.
std::string TaskFile(int tid, const char* file) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/" + file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<int> Tasks() {
    std::vector<int> tids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        tids.push_back(std::stoi(entry.path().filename().string()));
    return tids;
}

// A thread started since `before` that carries `name`; 0 when there is none.
int NewTaskNamed(const std::vector<int>& before, const std::string& name) {
    for (int tid : Tasks())
        if (std::find(before.begin(), before.end(), tid) == before.end() && TaskFile(tid, "comm") == name + "\n")
            return tid;
    return 0;
}

long VoluntarySwitches(int tid) {
    const std::string status = TaskFile(tid, "status");
    const std::string key = "\nvoluntary_ctxt_switches:";
    const auto at = status.find(key);
    return at == std::string::npos ? -1 : std::stol(status.substr(at + key.size()));
}

// The thread sleeps in poll, where the receive worker waits for the port.
bool WaitingInPoll(int tid) {
    std::istringstream syscall(TaskFile(tid, "syscall"));
    long number = -1;
    if (!(syscall >> number))
        return false; // "running"
#ifdef SYS_poll
    if (number == SYS_poll)
        return true;
#endif
    return number == SYS_ppoll;
}

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

TEST_F(PtyComm, EveryArrivalIsAnnouncedWhileEarlierBytesAreBeingRead) {
    std::vector<std::int32_t> sizes;
    comm.OnReceive = [&](TCustomCommX*, std::int32_t n) { sizes.push_back(n); };
    comm.Open();
    int announced = 0;
    for (int round = 0; round < 50; ++round) {
        const auto first = static_cast<std::uint8_t>(round * 4);
        const std::vector<std::uint8_t> bytes{first, std::uint8_t(first + 1), std::uint8_t(first + 2),
                                              std::uint8_t(first + 3)};
        sizes.clear();
        pty.Write(bytes);
        if (WaitFor([&] { return !sizes.empty(); }, 500ms, [this] { comm.ProcessNotifications(); }))
            ++announced;
        // The owner gets round to reading a little later, as a handler would.
        std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(WaitFor([&] { return comm.ReceivedCount() == 4; })) << "round " << round;
        std::uint8_t buffer[8] = {};
        ASSERT_EQ(comm.ReadData(buffer, 8), 4) << "round " << round;
        ASSERT_EQ(std::vector<std::uint8_t>(buffer, buffer + 4), bytes) << "round " << round;
    }
    EXPECT_EQ(announced, 50);
}

TEST_F(PtyComm, IdleReceiveWorkerSleepsWhileDataSitsUnread) {
    const std::vector<int> before = Tasks();
    int events = 0;
    comm.OnReceive = [&](TCustomCommX*, std::int32_t) { ++events; };
    comm.Open();
    const int worker = NewTaskNamed(before, "comm-recv");
    ASSERT_NE(worker, 0);
    const auto announce = [&] {
        const int seen = events;
        pty.Write({1, 2, 3, 4});
        return Pump([&] { return events > seen; });
    };
    // From the moment the worker is back in its wait after an announcement.
    const auto idleSwitches = [&] {
        EXPECT_TRUE(WaitFor([&] { return WaitingInPoll(worker); }));
        const long start = VoluntarySwitches(worker);
        std::this_thread::sleep_for(300ms); // the stretch measured
        return VoluntarySwitches(worker) - start;
    };

    ASSERT_TRUE(announce());
    std::uint8_t buffer[8] = {};
    ASSERT_EQ(comm.ReadData(buffer, 8), 4);
    const long empty = idleSwitches();

    ASSERT_TRUE(announce());
    const long unread = idleSwitches();
    EXPECT_EQ(comm.ReceivedCount(), 4);
    EXPECT_LE(unread, empty) << "voluntary context switches over 300 ms: empty queue " << empty
                             << ", unread data " << unread;
}

TEST_F(PtyComm, AHandlerBlockingInsideReadDataDoesNotCostTheArrivedByte) {
    comm.SetTimeOutReceive(200);
    comm.Open();
    bool blocked = false;
    comm.SetPumpHook([&] {
        if (blocked)
            return;
        blocked = true;
        pty.Write({0x5A});
        EXPECT_TRUE(WaitFor([&] { return comm.ReceivedCount() == 1; }));
        std::this_thread::sleep_for(1500ms); // a handler busy for 1.5 s, a message box say
    });
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(comm.ReadData(buffer, 4), 1);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_TRUE(blocked);
}

} // namespace
} // namespace vandrel::serial
