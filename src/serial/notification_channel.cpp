#include "serial/notification_channel.h"

namespace vandrel::serial {

NotificationChannel::NotificationChannel(Handler handler)
    : handler_(std::move(handler)), owner_(std::this_thread::get_id()) {}

NotificationChannel::~NotificationChannel() { Shutdown(); }

void NotificationChannel::SetWakeup(std::function<void()> wakeup) {
    std::lock_guard lock(mutex_);
    wakeup_ = std::move(wakeup);
}

bool NotificationChannel::Send(std::uint32_t message, std::uint32_t lParam,
                               const std::function<bool()>& abandon) {
    if (OnOwnerThread()) {
        handler_(message, lParam);
        return true;
    }
    auto entry = std::make_shared<Entry>(Entry{message, lParam});
    std::function<void()> wakeup;
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return false;
        queue_.push_back(entry);
        wakeup = wakeup_;
    }
    changed_.notify_all();
    if (wakeup)
        wakeup();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return entry->finished || shutdown_ || (abandon && abandon()); });
    return entry->handled;
}

void NotificationChannel::Process() {
    // Handlers run on the owner thread only.
    if (!OnOwnerThread())
        return;
    for (;;) {
        std::shared_ptr<Entry> entry;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty())
                return;
            entry = queue_.front();
            queue_.pop_front();
        }
        // The handler may pump again (nested Process); each entry runs once.
        try {
            handler_(entry->message, entry->lParam);
        } catch (...) {
            {
                std::lock_guard lock(mutex_);
                entry->finished = true;
                entry->handled = true;
            }
            changed_.notify_all();
            throw;
        }
        {
            std::lock_guard lock(mutex_);
            entry->finished = true;
            entry->handled = true;
        }
        changed_.notify_all();
    }
}

void NotificationChannel::Poke() {
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

void NotificationChannel::DropPending() {
    {
        std::lock_guard lock(mutex_);
        for (auto& entry : queue_)
            entry->finished = true;
        queue_.clear();
    }
    changed_.notify_all();
}

void NotificationChannel::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        shutdown_ = true;
        for (auto& entry : queue_)
            entry->finished = true;
        queue_.clear();
    }
    changed_.notify_all();
}

std::size_t NotificationChannel::PendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

} // namespace vandrel::serial
