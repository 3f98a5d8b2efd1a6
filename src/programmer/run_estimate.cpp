#include "programmer/run_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vandrel::programmer {

namespace {

std::string Printf(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

namespace {
constexpr double kMostOverWaitUs = 5000;
} // namespace

std::int64_t RunEstimate::WaitUs() const {
    return askedWaitUs + std::llround(pace.usOverWait * static_cast<double>(waits));
}

std::int64_t RunEstimate::TotalUs() const {
    return std::llround(pace.usPerCall * static_cast<double>(lineCalls) +
                        pace.usPerTransfer * static_cast<double>(transfers) +
                        pace.usPerByte * static_cast<double>(bytes)) +
           WaitUs();
}

namespace {

// The time of a measured operation not spent waiting, and the overrun per wait.
double BusyUs(const MeasuredTimes& measured, Pace& pace) {
    if (measured.waits > 0)
        pace.usOverWait = std::clamp(static_cast<double>(measured.waitedUs - measured.askedUs) /
                                         static_cast<double>(measured.waits),
                                     0.0, kMostOverWaitUs);
    return static_cast<double>(std::max<std::int64_t>(measured.elapsedUs - measured.waitedUs, 0));
}

} // namespace

std::optional<Pace> MeasurePace(const MeasuredTimes& measured, std::uint64_t calls) {
    if (calls == 0)
        return std::nullopt;
    Pace pace;
    pace.usPerCall = BusyUs(measured, pace) / static_cast<double>(calls);
    return pace;
}

std::optional<Pace> MeasureTransferPace(const MeasuredTimes& measured, std::uint64_t transfers,
                                        std::uint64_t bytes, double usPerByte) {
    if (transfers == 0)
        return std::nullopt;
    Pace pace;
    pace.usPerByte = usPerByte;
    const double clocked = usPerByte * static_cast<double>(bytes);
    pace.usPerTransfer = std::max(BusyUs(measured, pace) - clocked, 0.0) / static_cast<double>(transfers);
    return pace;
}

std::optional<double> SteadyUsPerCall(const std::vector<Stretch>& stretches, std::uint64_t minCalls) {
    struct Rate {
        double busyUs;
        std::uint64_t calls;
        double PerCall() const { return busyUs / static_cast<double>(calls); }
    };
    std::vector<Rate> rates;
    for (const Stretch& s : stretches)
        if (s.calls >= minCalls && s.calls > 0)
            rates.push_back({static_cast<double>(std::max<std::int64_t>(s.elapsedUs - s.waitedUs, 0)), s.calls});
    if (rates.size() < 3)
        return std::nullopt;
    std::vector<double> perCall;
    for (const Rate& r : rates)
        perCall.push_back(r.PerCall());
    const auto middle = perCall.begin() + static_cast<std::ptrdiff_t>(perCall.size() / 2);
    std::nth_element(perCall.begin(), middle, perCall.end());
    double busy = 0, calls = 0;
    for (const Rate& r : rates) {
        if (r.PerCall() > 3 * *middle)
            continue;
        busy += r.busyUs;
        calls += static_cast<double>(r.calls);
    }
    return busy / calls;
}

std::string FormatDuration(std::int64_t us) {
    us = std::max<std::int64_t>(us, 0);
    const double seconds = static_cast<double>(us) / 1e6;
    if (seconds < 1.0)
        return Printf("%.2f s", seconds);
    if (seconds < 10.0)
        return Printf("%.1f s", seconds);
    const std::int64_t whole = std::llround(seconds);
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    const std::int64_t minutes = (whole + 30) / 60;
    return std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

std::string GroupThousands(std::uint64_t value) {
    // Built by appending: GCC 12 at -O3 takes an insert() into the middle for
    // an overlapping copy (a false -Wrestrict that fails the release build).
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

namespace {

// "0.93 ms", "12.5 µs".
std::string TimeText(double us) {
    return us >= 100.0 ? Printf("%.2f ms", us / 1000.0) : Printf("%.1f \u00b5s", us);
}

} // namespace

std::string DescribeEstimate(const RunEstimate& estimate) {
    const double waits = static_cast<double>(estimate.WaitUs()) / 1e6;
    const std::string waitText = waits < 60.0 ? Printf("%.1f s", waits) : FormatDuration(estimate.WaitUs());
    const std::string about = "about " + FormatDuration(estimate.TotalUs()) + ": ";
    if (estimate.transfers > 0)
        return about + GroupThousands(estimate.transfers) + " USB transfers \u00d7 " +
               TimeText(estimate.pace.usPerTransfer) + " + " + GroupThousands(estimate.bytes) +
               " bit-bang bytes \u00d7 " + TimeText(estimate.pace.usPerByte) + " + " + waitText + " of waits";
    return about + TimeText(estimate.pace.usPerCall) + " per line change \u00d7 " +
           GroupThousands(estimate.lineCalls) + " line changes + " + waitText + " of programming waits";
}

} // namespace vandrel::programmer
