#pragma once
// How long a run will take: its line calls at this adapter's pace plus its
// waits. The number of calls and the waits come from the planned run, the
// pace from a short operation measured on the real port.
#include <cstdint>
#include <optional>
#include <string>

namespace vandrel::programmer {

struct RunEstimate {
    double usPerCall = 0;        // one line call (RTS/DTR change, break change, CTS read)
    std::uint64_t lineCalls = 0; // in the planned run
    std::int64_t waitUs = 0;     // resets, programming and erase waits of the planned run
    std::int64_t TotalUs() const;
};

// The time of one line call from a measured operation: its elapsed time less
// the time it spent waiting, over the calls it made. Nothing when it made no
// call.
std::optional<double> MeasureUsPerCall(std::int64_t elapsedUs, std::int64_t waitedUs, std::uint64_t calls);

// "about 6 min 10 s: 0.93 ms per line change × 383,916 line changes + 18.4 s
// of programming waits"
std::string DescribeEstimate(const RunEstimate& estimate);

// A duration for people: "0.42 s", "7.3 s", "42 s", "6 min 10 s", "2 h 5 min".
std::string FormatDuration(std::int64_t us);

// 383916 -> "383,916".
std::string GroupThousands(std::uint64_t value);

} // namespace vandrel::programmer
