#pragma once
// Turns what a run shows (its statuses, its dumped words) into the progress
// line: the step, words done of total, the pace within the step, and the time
// left, read off the planned run at the same status.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/progress_line.h"

namespace vandrel::cli {

class ProgressTracker {
public:
    ProgressTracker(ProgressLine& line, Clock& clock) : line_(line), clock_(clock) {}

    // The planned run (a point per status, and its end) and this adapter's pace.
    void SetPlan(std::vector<RunPoint> points, RunPoint end, programmer::Pace pace);
    // For dumps: the words counted are the "AAAA VVVV" lines, under `label`.
    void CountWords(std::string label, std::int32_t total);

    void OnStatus(const std::string& text, std::int32_t position, std::int32_t max);
    void OnWordLine();

private:
    void Show();

    ProgressLine& line_;
    Clock& clock_;
    std::vector<RunPoint> points_;
    RunPoint end_;
    programmer::Pace pace_;
    bool planned_ = false;
    std::string countLabel_;
    std::int32_t countTotal_ = 0;

    std::size_t statuses_ = 0;
    std::string step_;
    std::int32_t done_ = 0, total_ = 0;
    std::int64_t stepStartUs_ = 0;
    std::int32_t stepStartDone_ = 0;
};

// Splits a word step's status "LOAD PROGRAM MEMORY 12/33" into its parts;
// false for any other status.
bool SplitStepStatus(const std::string& text, std::string& step, std::int32_t& done, std::int32_t& total);

} // namespace vandrel::cli
