#include "serial/comm_trans_thread.h"

#include "common/thread_name.h"

namespace vandrel::serial {

void ReportLineErrors(PortDriver& port, NotificationChannel& channel,
                      const std::function<bool()>& abandon) {
    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
    port.ClearCommError(errors, inQueue);
    errors &= kLineErrorMask;
    if (errors != 0)
        channel.Send(CXM_ERROR, errors, abandon);
}

TCommTransThread::TCommTransThread(CommShared& comm, PortDriver& port, NotificationChannel& notify,
                                   Clock& clock)
    : comm_(comm), port_(port), notify_(notify), clock_(clock) {}

TCommTransThread::~TCommTransThread() {
    if (thread_.joinable()) {
        RequestStop();
        notify_.Poke();
        thread_.join();
    }
}

std::optional<std::int32_t> TCommTransThread::CharTimeFor(std::int32_t bitRate) {
    const std::int32_t perChar = bitRate / 10;
    if (perChar == 0)
        return std::nullopt;
    return 1000 / perChar + 1;
}

void TCommTransThread::Start() { thread_ = std::thread([this] { Run(); }); }

bool TCommTransThread::Post(std::unique_ptr<std::uint8_t[]> chunk, std::uint32_t length) {
    try {
        std::lock_guard lock(queueMutex_);
        if (!accepting_ || terminate_.load())
            return false;
        queue_.push_back(Message{CXM_TRANSMIT, std::move(chunk), length});
    } catch (const std::bad_alloc&) {
        return false;
    }
    queueChanged_.notify_one();
    return true;
}

void TCommTransThread::RequestStop() {
    terminate_.store(true);
    {
        std::lock_guard lock(queueMutex_);
        try {
            queue_.push_back(Message{CXM_WAKE, nullptr, 0});
        } catch (const std::bad_alloc&) {
            // The termination flag alone ends the wait below.
        }
    }
    queueChanged_.notify_one();
}

void TCommTransThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TCommTransThread::Run() {
    NameThisThread("comm-trans");
    for (;;) {
        bool batch = false;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [&] { return !queue_.empty() || terminate_.load(); });
        }
        for (;;) {
            Message message;
            {
                std::lock_guard lock(queueMutex_);
                if (queue_.empty())
                    break;
                message = std::move(queue_.front());
                queue_.pop_front();
            }
            if (message.id != CXM_TRANSMIT)
                continue;
            if (!Dropping()) {
                if (!batch) {
                    batch = true;
                    BeginSendDirection();
                }
                WriteChunk(message);
            }
            message.data.reset();
            comm_.Release(message.length);
        }
        if (batch)
            EndSendDirection();
        if (terminate_.load())
            break;
    }
    // Nothing is handed over any more; whatever is still queued is released.
    std::deque<Message> rest;
    {
        std::lock_guard lock(queueMutex_);
        accepting_ = false;
        rest.swap(queue_);
    }
    for (const Message& message : rest)
        if (message.id == CXM_TRANSMIT)
            comm_.Release(message.length);
    clock_.WaitMs(100);
    finished_.store(true);
    notify_.Poke();
}

void TCommTransThread::WriteChunk(const Message& message) {
    const auto abandon = [this] { return Dropping(); };
    const std::uint8_t* position = message.data.get();
    std::uint32_t left = message.length;
    while (!Dropping()) {
        std::uint32_t written = 0;
        IoResult result;
        {
            std::lock_guard lock(comm_.WriteLock);
            result = port_.Write(position, left, written);
        }
        if (result == IoResult::Done)
            return;
        if (result != IoResult::Pending) {
            ReportLineErrors(port_, notify_, abandon);
            return;
        }
        if (port_.WaitWrite(written))
            return; // a completed write ends the chunk whatever it wrote
        ReportLineErrors(port_, notify_, abandon);
        if (written >= left)
            return;
        position += written;
        left -= written;
    }
}

void TCommTransThread::BeginSendDirection() {
    const TCommFlowCtrls flow = comm_.FlowCtrl.load();
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    clock_.WaitMs(50);
    port_.EscapeCommFunction(flow == cfcHalfHigh ? win::SETRTS : win::CLRRTS);
    clock_.WaitMs(charTime_.load());
}

void TCommTransThread::EndSendDirection() {
    const TCommFlowCtrls flow = comm_.FlowCtrl.load();
    if (flow != cfcHalfHigh && flow != cfcHalfLow)
        return;
    clock_.WaitMs(charTime_.load());
    port_.EscapeCommFunction(flow == cfcHalfHigh ? win::CLRRTS : win::SETRTS);
}

} // namespace vandrel::serial
