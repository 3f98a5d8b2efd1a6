#pragma once
// The window as the command line shows it: the operation host under the
// same FarmProgram and FarmDump. Captions and buttons are kept in memory, the
// step boxes answer from the command's record, the stop request follows
// Ctrl-C, and every status, log line and error box is kept and handed on.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "common/clock.h"
#include "programmer/chip_read.h"
#include "programmer/operation_host.h"
#include "programmer/run_estimate.h"

namespace vandrel::cli {

class ProgressTracker;

// A clock that also adds up how long its waits really took, so that the
// time of the line calls can be told from the time spent waiting.
class WaitMeter final : public Clock {
public:
    explicit WaitMeter(Clock& base) : base_(base) {}
    std::int64_t NowMs() const override { return base_.NowMs(); }
    std::int64_t NowUs() const override { return base_.NowUs(); }
    void WaitMs(std::int64_t ms) override;
    void WaitUs(std::int64_t us) override;
    std::int64_t SpentUs() const { return spentUs_.load(); }
    std::int64_t AskedUs() const { return askedUs_.load(); }
    std::int64_t Waits() const { return waits_.load(); }

private:
    void Measure(std::int64_t askedUs, const std::function<void()>& wait);

    Clock& base_;
    std::atomic<std::int64_t> spentUs_{0}, askedUs_{0}, waits_{0};
};

// What a link has done so far: line calls, or USB transfers and their bytes.
struct LinkCounts {
    std::uint64_t calls = 0;
    std::uint64_t transfers = 0, bytes = 0;
};

// Line calls made (or transfers and bytes) and waits done, at some point of a run.
struct RunPoint {
    std::uint64_t calls = 0;
    std::int64_t waitUs = 0;  // spent waiting
    std::int64_t askedUs = 0; // asked for
    std::int64_t waits = 0;
    std::int64_t atUs = 0; // the clock
    std::uint64_t transfers = 0, bytes = 0;
};

// An operation from its first step (the LVP tick) to its closing steps.
struct OperationSpan {
    bool started = false, ended = false;
    RunPoint start, end;
    std::uint64_t Calls() const { return end.calls - start.calls; }
    std::uint64_t Transfers() const { return end.transfers - start.transfers; }
    std::uint64_t Bytes() const { return end.bytes - start.bytes; }
    programmer::MeasuredTimes Times() const {
        return {end.atUs - start.atUs, end.waitUs - start.waitUs, end.askedUs - start.askedUs,
                end.waits - start.waits};
    }
};

class ConsoleHost final : public programmer::OperationHost {
public:
    using StepBox = programmer::StepBox;
    using RequiredField = programmer::RequiredField;
    using OperationButton = programmer::OperationButton;

    explicit ConsoleHost(Clock& clock) : meter_(clock) {}

    // --- what the run control and the runs read ---
    std::string Port;
    std::string HexPath;
    std::string DumpAddress, DumpSize;
    std::set<StepBox> Ticked;

    // --- where it goes ---
    const std::atomic<bool>* Interrupt = nullptr;  // Ctrl-C: the stop request
    std::function<void()> OnPump;                  // whatever else a message pump serves
    std::function<void(const std::string&)> OnLog; // each log line as it comes
    std::function<LinkCounts()> Counter;           // what the link did so far, where it can be counted
    ProgressTracker* Progress = nullptr;
    bool RecordPoints = false;                     // keep a RunPoint per status (planning)

    // --- what happened ---
    std::vector<std::string> Log, ErrorBoxes;
    std::string LastStatus;
    std::vector<RunPoint> Points;
    OperationSpan Span;
    RunPoint Here() const;
    RunOutcome Outcome(bool wantsSummary) const;

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override;
    void AppendLog(const std::string& line) override;
    void SetProgressMin(std::int32_t value) override { min_ = value; }
    void SetProgressMax(std::int32_t value) override { max_ = value; }
    void SetProgressPosition(std::int32_t value) override { position_ = value; }
    std::int32_t ProgressPosition() const override { return position_; }
    std::int32_t ProgressMax() const override { return max_; }
    void ProcessMessages() override;
    bool StopRequested() const override;
    void SetStopRequested(bool value) override { stop_ = value; }
    bool IsChecked(StepBox box) const override;
    void TickLvp() override;
    void ErrorBox(const std::string& message) override { ErrorBoxes.push_back(message); }
    bool FlashIfEmpty(RequiredField field) override;
    void ShowImageCounts() override {}
    std::string HexFilePath() const override { return HexPath; }
    std::string DumpAddressText() const override { return DumpAddress; }
    std::string DumpSizeText() const override { return DumpSize; }
    std::string PortText() const override { return Port; }
    std::string ButtonCaption(OperationButton button) const override;
    void SetButtonCaption(OperationButton button, const std::string& caption) override {
        captions_[button] = caption;
    }
    void SetButtonEnabled(OperationButton, bool) override {}
    Clock& GetClock() override { return meter_; }

private:
    WaitMeter meter_;
    bool stop_ = false;
    std::int32_t min_ = 0, max_ = 100, position_ = 0;
    std::map<OperationButton, std::string> captions_;
};

// The status of the run control's closing steps.
bool IsClosingStatus(const std::string& text);

using programmer::ParseWordLine;

} // namespace vandrel::cli
