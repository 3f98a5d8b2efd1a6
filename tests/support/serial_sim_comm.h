#pragma once
// A serial port component wired to a simulated port on virtual time, with
// helpers to pump its notifications the way an owner thread would.
#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "serial/comm_x.h"
#include "serial/sim_port_driver.h"
#include "support/wait_for.h"

namespace vandrel::test {

struct SerialSimComm {
    VirtualClock clock;
    std::shared_ptr<serial::SimPort> port = std::make_shared<serial::SimPort>();
    std::unique_ptr<serial::TCommX> comm = std::make_unique<serial::TCommX>();
    std::atomic<int> wakeups{0};

    SerialSimComm() {
        port->SetClock(clock);
        comm->SetDriverFactory(serial::MakeSimPortFactory(port));
        comm->SetClock(clock);
        comm->SetNotificationWakeup([this] { ++wakeups; });
    }

    // Names of the recorded calls, optionally only those in `only`.
    std::vector<std::string> CallNames(const std::vector<std::string>& only = {}) const {
        std::vector<std::string> names;
        for (const auto& call : port->Calls())
            if (only.empty() || std::find(only.begin(), only.end(), call.Name) != only.end())
                names.push_back(call.Name);
        return names;
    }

    // Waits for `condition`, handling notifications meanwhile as the owner thread.
    bool PumpUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        return WaitFor(condition, timeout, [this] { comm->ProcessNotifications(); });
    }
};

} // namespace vandrel::test
