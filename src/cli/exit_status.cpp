#include "cli/exit_status.h"

#include "cli/invocation.h"

namespace vandrel::cli {

const char* CommandName(Command command) {
    switch (command) {
    case Command::Devices: return "devices";
    case Command::Ports: return "ports";
    case Command::Program: return "program";
    case Command::Verify: return "verify";
    case Command::Erase: return "erase";
    case Command::Read: return "read";
    case Command::Dump: return "dump";
    case Command::Detect: return "detect";
    case Command::BlankCheck: return "blank-check";
    case Command::Config: return "config";
    }
    return "?";
}

CliFailure Interruption() { return CliFailure(ExitStatus::Interrupted, "Terminated by user."); }

std::optional<int> ErrorCountOf(const std::string& summary) {
    static const std::string kTail = " errors.";
    if (summary.size() <= kTail.size() || summary.compare(summary.size() - kTail.size(), kTail.size(), kTail) != 0)
        return std::nullopt;
    const std::string digits = summary.substr(0, summary.size() - kTail.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(digits);
}

ExitStatus ExitStatusOf(const RunOutcome& outcome) {
    if (outcome.interrupted)
        return ExitStatus::Interrupted;
    if (!outcome.errorBoxes.empty())
        return ExitStatus::Trouble;
    if (!outcome.wantsSummary)
        return ExitStatus::Success;
    if (outcome.summary == "complete.")
        return ExitStatus::Success;
    if (outcome.summary && ErrorCountOf(*outcome.summary))
        return ExitStatus::WordErrors;
    return ExitStatus::Trouble;
}

} // namespace vandrel::cli
