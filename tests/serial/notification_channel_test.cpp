#include "serial/notification_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/wait_for.h"

namespace vandrel::serial {
namespace {

using test::WaitFor;

TEST(NotificationChannel, SenderWaitsUntilTheOwnerHandledItInOrder) {
    std::vector<std::uint32_t> handled;
    std::vector<std::thread::id> threads;
    NotificationChannel channel([&](std::uint32_t message, std::uint32_t lParam) {
        handled.push_back(message + lParam);
        threads.push_back(std::this_thread::get_id());
    });
    std::atomic<int> wakeups{0};
    channel.SetWakeup([&] { ++wakeups; });
    std::atomic<int> returned{0};
    std::thread worker([&] {
        EXPECT_TRUE(channel.Send(1, 10));
        ++returned;
        EXPECT_TRUE(channel.Send(2, 20));
        ++returned;
    });
    ASSERT_TRUE(WaitFor([&] { return wakeups.load() == 1; }));
    EXPECT_EQ(returned.load(), 0); // not handled yet: still waiting

    // Another thread cannot run the handlers.
    std::thread([&] { channel.Process(); }).join();
    EXPECT_TRUE(handled.empty());

    ASSERT_TRUE(WaitFor([&] { return returned.load() == 2; }, std::chrono::seconds(5),
                        [&] { channel.Process(); }));
    worker.join();
    EXPECT_EQ(handled, (std::vector<std::uint32_t>{11, 22}));
    for (auto id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());

    // From the owner thread itself the handler runs at once.
    EXPECT_TRUE(channel.Send(3, 30));
    EXPECT_EQ(handled.back(), 33u);
}

TEST(NotificationChannel, AbandonDropAndShutdownReleaseTheSender) {
    int handled = 0;
    NotificationChannel channel([&](std::uint32_t, std::uint32_t) { ++handled; });
    std::atomic<bool> giveUp{false};
    std::atomic<int> results{-1};
    std::thread abandoning([&] { results = channel.Send(1, 0, [&] { return giveUp.load(); }) ? 1 : 0; });
    ASSERT_TRUE(WaitFor([&] { return channel.PendingCount() == 1; }));
    giveUp = true;
    channel.Poke();
    abandoning.join();
    EXPECT_EQ(results.load(), 0);
    // An abandoned message is still delivered later.
    channel.Process();
    EXPECT_EQ(handled, 1);

    std::thread dropped([&] { results = channel.Send(2, 0) ? 1 : 0; });
    ASSERT_TRUE(WaitFor([&] { return channel.PendingCount() == 1; }));
    channel.DropPending();
    dropped.join();
    EXPECT_EQ(results.load(), 0);

    std::thread shut([&] { results = channel.Send(3, 0) ? 1 : 0; });
    ASSERT_TRUE(WaitFor([&] { return channel.PendingCount() == 1; }));
    channel.Shutdown();
    shut.join();
    EXPECT_EQ(results.load(), 0);
    std::thread([&] { EXPECT_FALSE(channel.Send(4, 0)); }).join();
    channel.Process();
    EXPECT_EQ(handled, 1);
}

} // namespace
} // namespace vandrel::serial
