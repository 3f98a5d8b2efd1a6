// The component's data path: sending, reading, purging, the queue count and
// the RTS/DTR calls.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <thread>

#include "serial/comm_x_impl.h"

namespace vandrel::serial {

namespace {
constexpr std::int32_t kMaxOutstandingChunks = 32;
// How many 1 ms polls an aborted read gets to let go of its buffer.
constexpr int kAbortedReadPolls = 1000;

// Aborts the pending read and waits until the driver has let go of the
// caller's buffer; a driver may finish an aborted read asynchronously.
void AbandonRead(PortDriver& driver, Clock& clock) {
    driver.PurgeComm(win::PURGE_RXABORT);
    std::uint32_t ignored = 0;
    for (int poll = 0; poll < kAbortedReadPolls; ++poll) {
        if (driver.ReadResult(ignored) != IoResult::Incomplete)
            return;
        clock.WaitMs(1);
    }
}
} // namespace

void TCustomCommX::PumpOwner() {
    if (impl_->pumpHook)
        impl_->pumpHook();
    ProcessNotifications();
}

bool TCustomCommX::SendData(const void* Data, std::int32_t Count) {
    Impl& d = *impl_;
    if (Count == 0)
        return true;
    if (Count < 0 || Data == nullptr)
        return false;
    const auto* position = static_cast<const std::uint8_t*>(Data);
    std::int32_t remaining = Count;
    // The worker of this opening; a close (and reopen) while waiting ends the call.
    TCommTransThread* const worker = d.transThread.get();
    while (remaining > 0) {
        if (!d.IsOpen() || !d.transThread || d.transThread.get() != worker)
            return false;
        if (PendingChunks() >= kMaxOutstandingChunks) {
            PumpOwner();
            d.clock->WaitMs(1);
            continue;
        }
        // No usable chunk size: nothing can be handed over.
        if (d.bufLenTrans <= 0)
            return false;
        const std::int32_t size = std::min(remaining, d.bufLenTrans);
        std::unique_ptr<std::uint8_t[]> chunk(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
        if (chunk) {
            std::memcpy(chunk.get(), position, static_cast<std::size_t>(size));
            {
                std::lock_guard lock(d.shared.CountLock);
                d.shared.PendingBytes += size;
                ++d.shared.PendingChunks;
            }
            if (!d.transThread->Post(std::move(chunk), static_cast<std::uint32_t>(size))) {
                d.shared.Release(size);
                return false;
            }
        }
        position += size;
        remaining -= size;
    }
    return true;
}

std::int32_t TCustomCommX::ReadData(void* Buffer, std::int32_t Count) {
    Impl& d = *impl_;
    if (!d.IsOpen() || !d.recvThread || Buffer == nullptr || Count < 0)
        return -1;
    auto* buffer = static_cast<std::uint8_t*>(Buffer);
    PortDriver* const driver = d.driver.get();
    std::uint32_t read = 0;
    const IoResult started = d.driver->Read(buffer, static_cast<std::uint32_t>(Count), read);
    if (started == IoResult::Done)
        return static_cast<std::int32_t>(read);
    if (started != IoResult::Pending) {
        ReportLineErrors(*d.driver, d.channel);
        return -1;
    }
    // The driver ends the read after TimeOutReceive; this limit only guards
    // against a driver that never does. It counts the time spent waiting here,
    // not the time the handlers run from the pump take (a message box, say).
    const std::int64_t limit = std::max<std::int64_t>(d.timeOutReceive, 0) + 1000;
    std::int64_t waited = 0;
    for (;;) {
        const IoResult result = d.driver->ReadResult(read);
        if (result == IoResult::Done)
            return static_cast<std::int32_t>(read);
        if (result != IoResult::Incomplete) {
            ReportLineErrors(*d.driver, d.channel);
            return -1;
        }
        if (waited > limit) {
            AbandonRead(*driver, *d.clock);
            return -1;
        }
        try {
            PumpOwner();
        } catch (...) {
            // An event handler raised: the read must not outlive this call,
            // or it would keep the caller's buffer and block every later read.
            if (d.driver.get() == driver)
                AbandonRead(*driver, *d.clock);
            throw;
        }
        const std::int64_t before = d.clock->NowMs();
        d.clock->WaitMs(1);
        waited += d.clock->NowMs() - before;
        if (!d.IsOpen() || !d.recvThread || d.driver.get() != driver)
            return -1; // Close ended the read with the port
    }
}

void TCustomCommX::PurgeTransmit() {
    Impl& d = *impl_;
    if (!d.IsOpen())
        return;
    if (!d.transThread) {
        d.driver->PurgeComm(win::PURGE_TXABORT | win::PURGE_TXCLEAR);
        return;
    }
    d.transThread->SetDiscard(true);
    // A worker waiting for the owner on a line-error notification stops waiting.
    d.channel.Poke();
    for (;;) {
        {
            std::lock_guard lock(d.shared.WriteLock);
            d.driver->PurgeComm(win::PURGE_TXABORT | win::PURGE_TXCLEAR);
        }
        d.clock->WaitMs(1);
        if (PendingBytes() == 0)
            break;
        std::this_thread::yield();
    }
    d.transThread->SetDiscard(false);
}

void TCustomCommX::PurgeReceive() {
    if (impl_->IsOpen())
        impl_->driver->PurgeComm(win::PURGE_RXABORT | win::PURGE_RXCLEAR);
}

std::int32_t TCustomCommX::ReceivedCount() {
    if (!impl_->IsOpen())
        return 0;
    std::uint32_t errors = 0;
    std::uint32_t inQueue = 0;
    impl_->driver->ClearCommError(errors, inQueue);
    return static_cast<std::int32_t>(std::min<std::uint32_t>(inQueue, INT32_MAX));
}

void TCustomCommX::SetRts(bool Active) {
    if (impl_->IsOpen())
        impl_->driver->EscapeCommFunction(Active ? win::SETRTS : win::CLRRTS);
}

void TCustomCommX::SetDtr(bool Active) {
    if (impl_->IsOpen())
        impl_->driver->EscapeCommFunction(Active ? win::SETDTR : win::CLRDTR);
}

} // namespace vandrel::serial
