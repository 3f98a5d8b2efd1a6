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

namespace {

std::string CableHint(serial::FtdiProblem::Kind kind) {
    using Kind = serial::FtdiProblem::Kind;
    switch (kind) {
    case Kind::NotFound: return "is the cable plugged in? (vandrel1-cli ports lists the FT232R cables found)";
    case Kind::Permission:
        return "install the udev rule for FT232R cables and add your user to the plugdev group, then plug the "
               "cable in again (README: FT232R cables)";
    case Kind::Busy: return "another program has the cable open: close it and try again";
    case Kind::Transfer: return "was the cable pulled? plug it in again and start over";
    default: return {};
    }
}

} // namespace

std::string CableProblemMessage(const std::string& portName, const std::string& where,
                                const serial::FtdiProblem& problem) {
    std::string message = portName;
    if (!where.empty())
        message += " (" + where + ")";
    message += ": " + (problem.text.empty() ? std::string("cannot be opened") : problem.text);
    if (const std::string hint = CableHint(problem.kind); !hint.empty())
        message += " \u2014 " + hint;
    return message;
}

} // namespace vandrel::cli
