#include "serial/comm_receive_thread.h"

#include "common/thread_name.h"
#include "serial/comm_shared.h"

namespace vandrel::serial {

TCommReceiveThread::TCommReceiveThread(PortDriver& port, NotificationChannel& notify, Clock& clock)
    : port_(port), notify_(notify), clock_(clock) {}

TCommReceiveThread::~TCommReceiveThread() {
    if (thread_.joinable()) {
        RequestStop();
        notify_.Poke();
        thread_.join();
    }
}

void TCommReceiveThread::Start() { thread_ = std::thread([this] { Run(); }); }

void TCommReceiveThread::RequestStop() {
    terminate_.store(true);
    { std::lock_guard lock(wakeMutex_); }
    wakeEvent_.notify_all();
    port_.WakeCommEventWaiter();
}

void TCommReceiveThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void TCommReceiveThread::Run() {
    NameThisThread("comm-recv");
    const auto abandon = [this] { return terminate_.load(); };
    while (!terminate_.load()) {
        std::uint32_t mask = 0;
        if (!port_.WaitCommEvent(mask)) {
            // Treated as pending: only the wake event (Close) ends the wait.
            std::unique_lock lock(wakeMutex_);
            wakeEvent_.wait(lock, [&] { return terminate_.load(); });
        }
        if (terminate_.load())
            break;
        ReportLineErrors(port_, notify_, abandon);
        if (mask & win::EV_BREAK)
            notify_.Send(CXM_BREAK, mask, abandon);
        if (mask & win::EV_RXCHAR)
            notify_.Send(CXM_RECEIVE, 0, abandon);
    }
    port_.SetCommMask(0);
    clock_.WaitMs(100);
    finished_.store(true);
    notify_.Poke();
}

} // namespace vandrel::serial
