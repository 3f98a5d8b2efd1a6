#pragma once
// The documented exit statuses, and the one place that turns how a command
// ended into one of them.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vandrel::cli {

enum class ExitStatus : int {
    Success = 0,
    WordErrors = 1,   // words that read back wrong, verify errors
    Usage = 2,        // the command line itself is wrong
    Trouble = 3,      // a file, device or port problem
    Interrupted = 130, // Ctrl-C, SIGHUP
    Terminated = 143   // SIGTERM
};

// Ends a command with a message for people (standard error) and its status.
class CliFailure : public std::runtime_error {
public:
    CliFailure(ExitStatus status, const std::string& message) : std::runtime_error(message), status_(status) {}
    ExitStatus Status() const { return status_; }

private:
    ExitStatus status_;
};

// What the "Terminated by user." ending of a command throws.
CliFailure Interruption();

// How one pass through the window's run control ended.
struct RunOutcome {
    bool interrupted = false;            // the stop request was set at the closing steps
    std::vector<std::string> errorBoxes; // what the window would have shown in error boxes
    std::optional<std::string> summary;  // a programming run's last line: "complete." or "N errors."
    bool wantsSummary = false;           // a programming run (a dump has none)
};

// 130 when interrupted; 3 after an error box; a programming run 0 only for
// "complete.", 1 for "N errors.", 3 when it ended without its summary; a dump 0.
ExitStatus ExitStatusOf(const RunOutcome& outcome);

// The number of "N errors.", or nothing for any other line.
std::optional<int> ErrorCountOf(const std::string& summary);

} // namespace vandrel::cli
