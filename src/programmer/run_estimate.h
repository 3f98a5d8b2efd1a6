#pragma once
// How long a run will take: its line calls at this adapter's pace (or, over
// an FT232R cable, its USB transfers and the bit-bang bytes) plus its waits.
// The counts and the waits come from the planned run, the pace from a short
// operation measured on the real port.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::programmer {

// The pace of this adapter and this machine.
struct Pace {
    double usPerCall = 0;    // one line call (RTS/DTR change, break change, CTS read)
    double usOverWait = 0;   // how much longer than asked a wait takes (the system's sleep)
    double usPerTransfer = 0; // one USB transfer of an FT232R cable, beyond its bytes
    double usPerByte = 0;     // one byte at the FT232R's bit-bang clock
};

// The times of a measured operation.
struct MeasuredTimes {
    std::int64_t elapsedUs = 0;
    std::int64_t waitedUs = 0; // spent in its waits
    std::int64_t askedUs = 0;  // the waits asked for
    std::int64_t waits = 0;    // how many
};

// The pace from a measured operation that made `calls` line calls: the time
// not spent waiting over the calls, and the overrun per wait (at most 5 ms:
// more is a hiccup of the machine, not its habit). Nothing without a call.
std::optional<Pace> MeasurePace(const MeasuredTimes& measured, std::uint64_t calls);

// The same for an FT232R cable, whose bytes take `usPerByte` each: the time
// not spent waiting nor clocking bytes, over the transfers. Nothing without
// a transfer.
std::optional<Pace> MeasureTransferPace(const MeasuredTimes& measured, std::uint64_t transfers,
                                        std::uint64_t bytes, double usPerByte);

// One stretch of a measured operation, between two of the points it showed.
struct Stretch {
    std::uint64_t calls = 0;
    std::int64_t elapsedUs = 0;
    std::int64_t waitedUs = 0;
};

// The time per call over the stretches with at least `minCalls` calls, less
// those that took more than three times the middle one's: the machine
// stalling in one stretch does not count. Nothing when fewer than three such
// stretches are there.
std::optional<double> SteadyUsPerCall(const std::vector<Stretch>& stretches, std::uint64_t minCalls = 8);

struct RunEstimate {
    Pace pace;
    std::uint64_t lineCalls = 0; // in the planned run
    std::int64_t askedWaitUs = 0; // resets, programming and erase waits of the planned run
    std::int64_t waits = 0;       // how many
    std::uint64_t transfers = 0;  // USB transfers of an FT232R cable in the planned run that wait their
                                  // latency (a streaming link's others overlap the bytes before them)
    std::uint64_t bytes = 0;      // and their bit-bang bytes (the waits in the stream among them)
    std::int64_t WaitUs() const;  // the waits as they will take
    std::int64_t TotalUs() const;
};

// "about 6 min 10 s: 0.93 ms per line change × 383,916 line changes + 18.4 s
// of programming waits"; over an FT232R cable "about 17 s: 8 USB transfers
// × 1.15 ms + 16,790,456 bit-bang bytes × 1.0 µs + 0.6 s of waits"
std::string DescribeEstimate(const RunEstimate& estimate);

// A duration for people: "0.42 s", "7.3 s", "42 s", "6 min 10 s", "2 h 5 min".
std::string FormatDuration(std::int64_t us);

// 383916 -> "383,916".
std::string GroupThousands(std::uint64_t value);

} // namespace vandrel::programmer
