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
#include "programmer/run_plan.h"

namespace vandrel::cli {

class ProgressTracker;

using programmer::IsClosingStatus;
using programmer::LinkCounts;
using programmer::OperationSpan;
using programmer::RunPoint;
using programmer::WaitMeter;

// The request host of the core, which also shows what it answers.
class ConsoleHost final : public programmer::RequestHost {
public:
    explicit ConsoleHost(Clock& clock) : RequestHost(clock) {}

    // --- where it goes ---
    const std::atomic<bool>* Interrupt = nullptr;  // Ctrl-C: the stop request
    std::function<void(const std::string&)> OnLog; // each log line as it comes
    ProgressTracker* Progress = nullptr;

    // --- what happened ---
    std::vector<std::string> Log, ErrorBoxes;
    std::string LastStatus;
    RunOutcome Outcome(bool wantsSummary) const;

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override;
    void AppendLog(const std::string& line) override;
    void ProcessMessages() override;
    bool StopRequested() const override;
    void ErrorBox(const std::string& message) override { ErrorBoxes.push_back(message); }
};

using programmer::ParseWordLine;

} // namespace vandrel::cli
