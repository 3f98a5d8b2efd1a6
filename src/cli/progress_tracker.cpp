#include "cli/progress_tracker.h"

#include <cstdlib>

namespace vandrel::cli {

namespace {

constexpr std::int64_t kMinRateSpanUs = 300'000;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool SplitStepStatus(const std::string& text, std::string& step, std::int32_t& done, std::int32_t& total) {
    const auto space = text.rfind(' ');
    if (space == std::string::npos)
        return false;
    const std::string counts = text.substr(space + 1);
    const auto slash = counts.find('/');
    if (slash == std::string::npos || !AllDigits(counts.substr(0, slash)) || !AllDigits(counts.substr(slash + 1)))
        return false;
    step = text.substr(0, space);
    done = std::atoi(counts.substr(0, slash).c_str());
    total = std::atoi(counts.substr(slash + 1).c_str());
    return true;
}

void ProgressTracker::SetPlan(std::vector<RunPoint> points, RunPoint end, programmer::Pace pace) {
    points_ = std::move(points);
    end_ = end;
    pace_ = pace;
    planned_ = true;
}

void ProgressTracker::CountWords(std::string label, std::int32_t total) {
    countLabel_ = std::move(label);
    countTotal_ = total;
}

void ProgressTracker::OnStatus(const std::string& text, std::int32_t position, std::int32_t max) {
    ++statuses_;
    if (IsClosingStatus(text))
        return; // the end is said on a line of its own
    std::string step = text;
    std::int32_t done = position, total = max;
    if (!countLabel_.empty()) {
        step = countLabel_;
        done = done_;
        total = countTotal_;
    } else if (!SplitStepStatus(text, step, done, total)) {
        done = total = 0;
    }
    if (step != step_) {
        step_ = step;
        stepStartUs_ = clock_.NowUs();
        stepStartDone_ = done;
    }
    done_ = done;
    total_ = total;
    Show();
}

void ProgressTracker::OnWordLine() {
    if (countLabel_.empty())
        return;
    ++done_;
    Show();
}

void ProgressTracker::Show() {
    if (!line_.Enabled())
        return;
    ProgressState state;
    state.step = step_;
    state.done = done_;
    state.total = total_;
    const std::int64_t span = clock_.NowUs() - stepStartUs_;
    if (span >= kMinRateSpanUs && done_ > stepStartDone_)
        state.wordsPerSecond = (done_ - stepStartDone_) * 1e6 / static_cast<double>(span);
    if (planned_ && statuses_ > 0 && statuses_ <= points_.size()) {
        const RunPoint& here = points_[statuses_ - 1];
        const programmer::RunEstimate rest{pace_,
                                           end_.calls - here.calls,
                                           end_.askedUs - here.askedUs,
                                           end_.waits - here.waits,
                                           end_.transfers - here.transfers,
                                           end_.bytes - here.bytes};
        state.usLeft = rest.TotalUs();
    }
    line_.Update(state);
}

} // namespace vandrel::cli
