#include "cli/os_system.h"

namespace vandrel::cli {

std::string PortProblemMessage(const std::string& comName, const std::string& devicePath, const PortProblem& problem) {
    std::string message = comName;
    if (!devicePath.empty())
        message += " (" + devicePath + ")";
    message += ": " + (problem.reason.empty() ? std::string("cannot be opened") : problem.reason);
    if (const std::string hint = PortProblemHint(problem.kind); !hint.empty())
        message += " \u2014 " + hint;
    return message;
}

} // namespace vandrel::cli
