#pragma once
// A run planned before it starts: one press of the Download or Dump button
// as a plain record, run against nothing on virtual time. The runs never
// branch on what the chip answers, so the planned run makes exactly the
// line calls (or, over an FT232R cable, the USB transfers and bytes) and the
// waits of the real one. With a pace (run_estimate.h) the plan gives the
// run's estimate; the command line and the window share it.
//
// RequestHost answers the operations from such a record and keeps the
// points of a run (one per status shown) and its span, from the first step
// to the closing steps.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"
#include "programmer/operation_host.h"
#include "programmer/run_estimate.h"

namespace vandrel::programmer {

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

// What a link has done so far: line calls, or USB transfers (those that
// waited their latency) and the bytes of all of them.
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
    MeasuredTimes Times() const {
        return {end.atUs - start.atUs, end.waitUs - start.waitUs, end.askedUs - start.askedUs,
                end.waits - start.waits};
    }
};

// The status of the run control's closing steps.
bool IsClosingStatus(const std::string& text);

// Keeps a run's span and, when asked, a point per status shown.
class RunRecorder {
public:
    explicit RunRecorder(Clock& clock) : meter_(clock) {}
    std::function<LinkCounts()> Counter; // what the link did so far, where it can be counted
    bool RecordPoints = false;
    std::vector<RunPoint> Points;
    OperationSpan Span;

    RunPoint Here() const;
    void OnStatus(const std::string& text); // ShowStatus
    void OnFirstStep();                     // TickLvp
    // The clock the run waits on, measuring its waits.
    WaitMeter& Meter() { return meter_; }

private:
    WaitMeter meter_;
};

// One press of the window's Download or Dump button.
struct OperationRequest {
    enum class Kind { Program, Dump };
    Kind kind = Kind::Program;
    std::set<StepBox> steps;             // Program: the ticked step boxes
    std::int32_t address = 0, count = 0; // Dump
    std::string hexPath;                 // Program: the edtHexFile text
    bool lockOutLast = false;            // Program: a lock-out configuration word goes last (--force)
    device::RunTiming timing = device::RunTiming::Described; // Program: the waits of the cycles
    bool WantsSummary() const { return kind == Kind::Program; }
    friend bool operator==(const OperationRequest&, const OperationRequest&) = default;
};

OperationRequest DumpRequest(std::int32_t address, std::int32_t count);

// The window as a plain record: the step boxes answer from the request,
// captions are kept in memory, nothing is shown.
class RequestHost : public OperationHost, public RunRecorder {
public:
    explicit RequestHost(Clock& clock) : RunRecorder(clock) {}

    // --- what the run control and the runs read ---
    std::string Port;
    std::string HexPath;
    std::string DumpAddress, DumpSize;
    std::set<StepBox> Ticked;
    std::function<void()> OnPump; // whatever else a message pump serves

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override { OnStatus(text); }
    void AppendLog(const std::string&) override {}
    void SetProgressMin(std::int32_t value) override { min_ = value; }
    void SetProgressMax(std::int32_t value) override { max_ = value; }
    void SetProgressPosition(std::int32_t value) override { position_ = value; }
    std::int32_t ProgressPosition() const override { return position_; }
    std::int32_t ProgressMax() const override { return max_; }
    void ProcessMessages() override;
    bool StopRequested() const override { return stop_; }
    void SetStopRequested(bool value) override { stop_ = value; }
    bool IsChecked(StepBox box) const override;
    void TickLvp() override { OnFirstStep(); }
    void ErrorBox(const std::string&) override {}
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
    Clock& GetClock() override { return Meter(); }

private:
    bool stop_ = false;
    std::int32_t min_ = 0, max_ = 100, position_ = 0;
    std::map<OperationButton, std::string> captions_;
};

// Fills the host's fields from the request and presses the button.
void Press(TFarmOperations& operations, RequestHost& host, const OperationRequest& request);

// How the run's line changes reach the chip: one call each, or batched into
// the USB transfers of an FT232R in bit-bang mode.
enum class LinkKind { PerCall, Ft232r };

struct OperationPlan {
    OperationSpan span;           // line calls and waits from the first step to the closing steps
    std::vector<RunPoint> points; // one per status shown
    RunPoint end;
};

OperationPlan PlanOperation(const device::TPicDevice& device, const image::THexFile& image,
                            const OperationRequest& request, LinkKind link = LinkKind::PerCall);

// The pace a real run showed against its plan: over an FT232R cable the
// time of its transfers, else of its line calls, steadied over the
// stretches between two statuses without a wait in between (when the run
// showed the plan's statuses). Nothing for a run that did not end.
std::optional<Pace> PaceOfRun(const OperationPlan& plan, const OperationSpan& span,
                              const std::vector<RunPoint>& points, LinkKind link, double usPerByte);

// The planned run at this pace.
RunEstimate EstimateOf(const OperationPlan& plan, const Pace& pace);

} // namespace vandrel::programmer
