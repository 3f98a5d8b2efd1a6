#pragma once
// Synchronous notifications from worker threads to the owner thread: a worker
// queues a message, calls the wakeup callback and waits until the owner thread
// has run the handler for it (from ProcessNotifications). Sent from the owner
// thread itself, the handler runs at once.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vandrel::serial {

class NotificationChannel {
public:
    using Handler = std::function<void(std::uint32_t message, std::uint32_t lParam)>;

    // The calling thread becomes the owner thread.
    explicit NotificationChannel(Handler handler);
    ~NotificationChannel();
    NotificationChannel(const NotificationChannel&) = delete;
    NotificationChannel& operator=(const NotificationChannel&) = delete;

    void SetWakeup(std::function<void()> wakeup);

    // Any thread. Waits until the handler has run for this message, or until
    // `abandon` holds (checked whenever Poke is called), or until the channel
    // is shut down. True when the handler ran. An abandoned message stays
    // queued and is still handled later unless dropped.
    bool Send(std::uint32_t message, std::uint32_t lParam, const std::function<bool()>& abandon = {});

    // Owner thread: runs the handler for every queued message, oldest first.
    // Called from any other thread it does nothing.
    void Process();
    // Makes waiting senders re-check their abandon condition.
    void Poke();
    // Forgets every queued message; their senders return false.
    void DropPending();
    // Drops everything and refuses further messages.
    void Shutdown();

    std::size_t PendingCount() const;
    bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

private:
    struct Entry {
        std::uint32_t message;
        std::uint32_t lParam;
        bool finished = false; // handled or dropped
        bool handled = false;
    };

    const Handler handler_;
    const std::thread::id owner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Entry>> queue_;
    std::function<void()> wakeup_;
    bool shutdown_ = false;
};

} // namespace vandrel::serial
