#pragma once
// What the component shares with its transmit worker: the two locks, the
// counts of handed-over data, and the flow control the worker reads at every batch.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "serial/comm_x.h"

namespace vandrel::serial {

struct CommShared {
    // Held by the transmit worker while it issues a write, and by PurgeTransmit
    // around each purge; never while waiting for a write to complete.
    std::mutex WriteLock;
    // Guards PendingBytes and PendingChunks. Never held together with WriteLock,
    // and no notification is sent while either is held.
    std::mutex CountLock;
    std::int64_t PendingBytes = 0;
    std::int32_t PendingChunks = 0;
    std::atomic<TCommFlowCtrls> FlowCtrl{cfcRtsCts};

    // Takes one released chunk of `length` bytes off the counts (never below 0).
    void Release(std::int64_t length) {
        std::lock_guard lock(CountLock);
        PendingBytes = PendingBytes - length > 0 ? PendingBytes - length : 0;
        if (PendingChunks != 0)
            --PendingChunks;
    }
};

// Keeps only overrun, parity and framing errors.
inline constexpr std::uint32_t kLineErrorMask = 0x0E;

class NotificationChannel;
// ClearCommError on the port; overrun, parity and framing errors go to the
// owner thread as CXM_ERROR. The wait for the owner ends early when `abandon` holds.
void ReportLineErrors(PortDriver& port, NotificationChannel& channel,
                      const std::function<bool()>& abandon = {});

} // namespace vandrel::serial
