#pragma once
// The one self-updating line on standard error that shows a run's progress:
// step, words done of total, words per second, time left. Drawn only on a
// terminal, at most ten times a second, and wiped before other output.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "common/clock.h"

namespace vandrel::cli {

struct ProgressState {
    std::string step;                    // "LOAD PROGRAM MEMORY"
    std::int32_t done = 0;               // words of the step
    std::int32_t total = 0;
    std::optional<double> wordsPerSecond;
    std::optional<std::int64_t> usLeft;  // of the whole run
};

// "LOAD PROGRAM MEMORY  12/33 words  140 words/s  0:03 left"
std::string FormatProgress(const ProgressState& state);

// "0:03", "12:40", "1:02:03"
std::string FormatClock(std::int64_t us);

class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled, Clock& clock) : err_(err), enabled_(enabled), clock_(clock) {}
    // The text goes to `sink` instead, which draws it among others' (a run of several).
    ProgressLine(std::ostream& err, bool enabled, Clock& clock, std::function<void(const std::string&)> sink)
        : err_(err), enabled_(enabled), clock_(clock), sink_(std::move(sink)) {}
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool Enabled() const { return enabled_; }
    // Redraws when the step changed or a tenth of a second has passed.
    void Update(const ProgressState& state);
    // Wipes the line, so that other output starts on a clean line.
    void Clear();

private:
    std::ostream& err_;
    const bool enabled_;
    Clock& clock_;
    std::function<void(const std::string&)> sink_;
    bool drawn_ = false;
    std::string lastStep_;
    std::int64_t lastDrawUs_ = 0;
};

} // namespace vandrel::cli
