#pragma once
// The receive worker: waits for the port's events and turns them into
// notifications on the owner thread (errors, then break, then received data).
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/clock.h"
#include "serial/notification_channel.h"
#include "serial/port_driver.h"

namespace vandrel::serial {

class TCommReceiveThread {
public:
    TCommReceiveThread(PortDriver& port, NotificationChannel& notify, Clock& clock);
    ~TCommReceiveThread(); // stops and joins a running worker
    TCommReceiveThread(const TCommReceiveThread&) = delete;
    TCommReceiveThread& operator=(const TCommReceiveThread&) = delete;

    void Start(); // throws std::system_error
    // Termination request plus a wake of the event wait.
    void RequestStop();
    bool StopRequested() const { return terminate_.load(); }
    void Join();
    bool Finished() const { return finished_.load(); }

private:
    void Run();

    PortDriver& port_;
    NotificationChannel& notify_;
    Clock& clock_;
    std::atomic<bool> terminate_{false};
    std::atomic<bool> finished_{false};
    // The wake event for a wait that could not be started on the port.
    std::mutex wakeMutex_;
    std::condition_variable wakeEvent_;
    std::thread thread_;
};

} // namespace vandrel::serial
