#include "cli/console_host.h"

#include "cli/progress_tracker.h"
#include "common/convert.h"

namespace vandrel::cli {

void WaitMeter::Measure(std::int64_t askedUs, const std::function<void()>& wait) {
    if (askedUs <= 0)
        return;
    const std::int64_t start = base_.NowUs();
    wait();
    spentUs_ += base_.NowUs() - start;
    askedUs_ += askedUs;
    ++waits_;
}

void WaitMeter::WaitMs(std::int64_t ms) {
    Measure(ms * 1000, [&] { base_.WaitMs(ms); });
}

void WaitMeter::WaitUs(std::int64_t us) {
    Measure(us, [&] { base_.WaitUs(us); });
}

RunPoint ConsoleHost::Here() const {
    const LinkCounts counts = Counter ? Counter() : LinkCounts{};
    return {counts.calls,     meter_.SpentUs(),   meter_.AskedUs(), meter_.Waits(),
            meter_.NowUs(),   counts.transfers,   counts.bytes};
}

RunOutcome ConsoleHost::Outcome(bool wantsSummary) const {
    RunOutcome outcome;
    outcome.interrupted = StopRequested();
    outcome.errorBoxes = ErrorBoxes;
    outcome.wantsSummary = wantsSummary;
    if (!Log.empty() && (Log.back() == "complete." || ErrorCountOf(Log.back())))
        outcome.summary = Log.back();
    return outcome;
}

void ConsoleHost::ShowStatus(const std::string& text) {
    LastStatus = text;
    if (RecordPoints)
        Points.push_back(Here());
    if (Span.started && !Span.ended && IsClosingStatus(text)) {
        Span.end = Here();
        Span.ended = true;
    }
    if (Progress != nullptr)
        Progress->OnStatus(text, position_, max_);
}

void ConsoleHost::AppendLog(const std::string& line) {
    Log.push_back(line);
    if (Progress != nullptr) {
        std::int32_t address = 0, value = 0;
        if (ParseWordLine(line, address, value))
            Progress->OnWordLine();
    }
    if (OnLog)
        OnLog(line);
}

void ConsoleHost::ProcessMessages() {
    if (OnPump)
        OnPump();
    if (Interrupt != nullptr && Interrupt->load())
        stop_ = true;
}

bool ConsoleHost::StopRequested() const { return stop_ || (Interrupt != nullptr && Interrupt->load()); }

bool ConsoleHost::IsChecked(StepBox box) const {
    // The run and the dump are always enabled, as in the window.
    return box == StepBox::FarmWare || box == StepBox::FarmOnDump || Ticked.count(box) != 0;
}

void ConsoleHost::TickLvp() {
    if (!Span.started) {
        Span.start = Here();
        Span.started = true;
    }
}

bool ConsoleHost::FlashIfEmpty(RequiredField field) {
    switch (field) {
    case RequiredField::SerialPort: return Port.empty();
    case RequiredField::DeviceSelect: return false; // the command has its device
    case RequiredField::DumpAddress: return DumpAddress.empty();
    case RequiredField::DumpSize: return DumpSize.empty();
    }
    return false;
}

std::string ConsoleHost::ButtonCaption(OperationButton button) const {
    const auto it = captions_.find(button);
    if (it != captions_.end())
        return it->second;
    return button == OperationButton::Go ? "&Download" : "D&ump";
}

bool IsClosingStatus(const std::string& text) {
    return text == "Process finished." || text == "Terminated by user.";
}


} // namespace vandrel::cli
