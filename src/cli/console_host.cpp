#include "cli/console_host.h"

#include "cli/progress_tracker.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

bool IsClosingStatus(const std::string& text) {
    return text == "Process finished." || text == "Terminated by user.";
}

} // namespace

void WaitMeter::WaitMs(std::int64_t ms) {
    const std::int64_t start = base_.NowUs();
    base_.WaitMs(ms);
    spentUs_ += base_.NowUs() - start;
}

void WaitMeter::WaitUs(std::int64_t us) {
    const std::int64_t start = base_.NowUs();
    base_.WaitUs(us);
    spentUs_ += base_.NowUs() - start;
}

RunPoint ConsoleHost::Here() const {
    return {CallCounter ? CallCounter() : 0, meter_.SpentUs(), meter_.NowUs()};
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

bool ParseWordLine(const std::string& line, std::int32_t& address, std::int32_t& value) {
    if (line.size() != 9 || line[4] != ' ')
        return false;
    std::int32_t parts[2] = {0, 0};
    for (int part = 0; part < 2; ++part) {
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(line[static_cast<std::size_t>(part * 5 + i)]);
            if (digit < 0)
                return false;
            parts[part] = parts[part] * 16 + digit;
        }
    }
    address = parts[0];
    value = parts[1];
    return true;
}

} // namespace vandrel::cli
