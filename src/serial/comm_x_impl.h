#pragma once
// The state of the serial port component, shared by its source files.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/clock.h"
#include "serial/comm_receive_thread.h"
#include "serial/comm_shared.h"
#include "serial/comm_trans_thread.h"
#include "serial/comm_x.h"
#include "serial/notification_channel.h"

namespace vandrel::serial {

struct TCustomCommX::Impl {
    explicit Impl(TCustomCommX& owner)
        : channel([&owner](std::uint32_t message, std::uint32_t lParam) {
              owner.HandleNotification(message, lParam);
          }) {}

    // NotifyWindow
    NotificationChannel channel;
    std::unique_ptr<TCommTransThread> transThread;
    std::unique_ptr<TCommReceiveThread> recvThread;
    // WriteLock, CountLock, the counts and the FlowCtrl the worker reads.
    CommShared shared;
    std::uint32_t handle = INVALID_HANDLE_VALUE;
    std::int32_t portNo = 1;
    std::int32_t bitRate = 9600;
    std::int32_t charSize = 8;
    TCommParityBits parityBit = cpbNone;
    TCommStopBits stopBit = csb1;
    std::int32_t timeOutTrans = 3000;
    std::int32_t timeOutReceive = 3000;
    char xonChar = 17;
    char xoffChar = 19;
    std::int32_t bufLenTrans = 2048;
    std::int32_t bufLenReceive = 2048;
    PortState portState;

    std::unique_ptr<PortDriver> driver;
    PortDriverFactory driverFactory;
    Clock* clock = &RealClock::Instance();
    std::function<void()> pumpHook;
    std::string lastOsError;
    // Set from the start of Close to its end: notifications handled meanwhile fire nothing.
    bool closing = false;

    bool IsOpen() const { return driver != nullptr; }
};

} // namespace vandrel::serial
