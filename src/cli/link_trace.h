#pragma once
// -v: the link as it goes, on standard error. A port driver that passes every
// call on to the real one and reads the ICSP commands back out of the line
// changes: each command with its data, the line changes it took and their
// time; the resets and the waits.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/clock.h"
#include "serial/port_driver.h"

namespace vandrel::cli {

// Reads ICSP frames out of line changes (serial/adapter_pins.h: SETRTS clock
// low, CLRRTS clock high, SETDTR data 0, CLRDTR data 1; break: MCLR low).
class LinkTrace {
public:
    using Sink = std::function<void(const std::string&)>;
    LinkTrace(Clock& clock, Sink sink) : clock_(clock), sink_(std::move(sink)) {}

    // A line change that began at `startUs` (the clock's) and succeeded.
    void Escape(std::uint32_t function, std::int64_t startUs);
    void Break(bool on, std::int64_t startUs);
    std::int64_t NowUs() const { return clock_.NowUs(); }
    void Pause(std::int64_t ms);
    void Samples(const std::vector<serial::StatusSample>& samples);

    // "Load Data for Program Memory", or "command 1A" for one the set lacks.
    static std::string CommandName(int command);

private:
    enum class Frame { Command, DataOut, DataIn };
    void Changed(std::int64_t startUs);
    void Bit(int bit);
    void Emit(const std::string& what);

    Clock& clock_;
    Sink sink_;
    std::mutex mutex_;
    bool clockHigh_ = false;
    int data_ = 0;
    Frame frame_ = Frame::Command;
    int command_ = -1;
    std::uint32_t bits_ = 0;
    int count_ = 0;
    int changes_ = 0;
    std::int64_t startUs_ = 0;
};

// The driver of one opening, traced.
std::unique_ptr<serial::PortDriver> TracedDriver(std::unique_ptr<serial::PortDriver> inner,
                                                 std::shared_ptr<LinkTrace> trace);

} // namespace vandrel::cli
