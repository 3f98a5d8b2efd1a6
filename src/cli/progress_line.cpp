#include "cli/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vandrel::cli {

namespace {
constexpr std::int64_t kRedrawUs = 100'000;
constexpr const char* kWipe = "\r\033[K";
} // namespace

std::string FormatClock(std::int64_t us) {
    const std::int64_t seconds = std::max<std::int64_t>((us + 500'000) / 1'000'000, 0);
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

std::string FormatProgress(const ProgressState& state) {
    std::string line = state.step;
    if (state.total > 0)
        line += "  " + std::to_string(state.done) + "/" + std::to_string(state.total) + " words";
    if (state.wordsPerSecond)
        line += "  " + std::to_string(std::lround(*state.wordsPerSecond)) + " words/s";
    if (state.usLeft)
        line += "  " + FormatClock(*state.usLeft) + " left";
    return line;
}

void ProgressLine::Update(const ProgressState& state) {
    if (!enabled_)
        return;
    const std::int64_t now = clock_.NowUs();
    if (drawn_ && state.step == lastStep_ && now - lastDrawUs_ < kRedrawUs)
        return;
    lastStep_ = state.step;
    lastDrawUs_ = now;
    if (sink_)
        sink_(FormatProgress(state));
    else
        err_ << kWipe << FormatProgress(state) << std::flush;
    drawn_ = true;
}

void ProgressLine::Clear() {
    if (!drawn_)
        return;
    // The sink's display wipes its lines itself before other output.
    if (!sink_)
        err_ << kWipe << std::flush;
    drawn_ = false;
}

} // namespace vandrel::cli
