#include "cli/console_host.h"

#include "cli/progress_tracker.h"
#include "common/convert.h"

namespace vandrel::cli {

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
    RequestHost::ShowStatus(text);
    if (Progress != nullptr)
        Progress->OnStatus(text, ProgressPosition(), ProgressMax());
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
    RequestHost::ProcessMessages();
    if (Interrupt != nullptr && Interrupt->load())
        SetStopRequested(true);
}

bool ConsoleHost::StopRequested() const {
    return RequestHost::StopRequested() || (Interrupt != nullptr && Interrupt->load());
}

} // namespace vandrel::cli
