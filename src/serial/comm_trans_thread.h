#pragma once
// The transmit worker: writes the chunks SendData hands over, in order, and
// switches RTS around each batch in the half-duplex modes.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "common/clock.h"
#include "serial/comm_shared.h"
#include "serial/notification_channel.h"
#include "serial/port_driver.h"

namespace vandrel::serial {

class TCommTransThread {
public:
    TCommTransThread(CommShared& comm, PortDriver& port, NotificationChannel& notify, Clock& clock);
    ~TCommTransThread(); // stops and joins a running worker
    TCommTransThread(const TCommTransThread&) = delete;
    TCommTransThread& operator=(const TCommTransThread&) = delete;

    // Starts the run routine (created "suspended" until then). Throws std::system_error.
    void Start();
    // CXM_TRANSMIT: hands a chunk over; the worker owns it from here on. False
    // when the worker no longer takes chunks (the chunk is then freed here and
    // the caller must take it off the counts).
    bool Post(std::unique_ptr<std::uint8_t[]> chunk, std::uint32_t length);
    // Termination request plus CXM_WAKE.
    void RequestStop();
    bool StopRequested() const { return terminate_.load(); }
    void Join();
    bool Finished() const { return finished_.load(); }

    void SetDiscard(bool discard) { discard_.store(discard); }
    bool Discard() const { return discard_.load(); }
    void SetCharTime(std::int32_t ms) { charTime_.store(ms); }
    std::int32_t CharTime() const { return charTime_.load(); }

    // 1000 div (bitRate div 10) + 1 ms; none when bitRate div 10 is 0.
    static std::optional<std::int32_t> CharTimeFor(std::int32_t bitRate);

private:
    struct Message {
        std::uint32_t id;
        std::unique_ptr<std::uint8_t[]> data;
        std::uint32_t length;
    };

    void Run();
    void WriteChunk(const Message& message);
    void BeginSendDirection();
    void EndSendDirection();
    bool Dropping() const { return discard_.load() || terminate_.load(); }

    CommShared& comm_;
    PortDriver& port_;
    NotificationChannel& notify_;
    Clock& clock_;
    std::atomic<bool> discard_{false};
    std::atomic<std::int32_t> charTime_{0};
    std::atomic<bool> terminate_{false};
    std::atomic<bool> finished_{false};
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<Message> queue_;
    bool accepting_ = true; // under queueMutex_
    std::thread thread_;
};

} // namespace vandrel::serial
