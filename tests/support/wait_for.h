#pragma once
// Waits on a condition with a time-out instead of sleeping in tests.
#include <chrono>
#include <functional>
#include <thread>

namespace vandrel::test {

// Polls `condition` (calling `pump` between polls, if given) until it holds
// or `timeout` passes. True when it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(5),
             const std::function<void()>& pump = {});

} // namespace vandrel::test
