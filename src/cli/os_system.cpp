#include "cli/os_system.h"

namespace vandrel::cli {

namespace {

// "NAME (WHERE): REASON — HINT", the parts that are there.
std::string ProblemMessage(const std::string& name, const std::string& where, const std::string& reason,
                           const std::string& hint) {
    std::string message = name;
    if (!where.empty())
        message += " (" + where + ")";
    message += ": " + (reason.empty() ? std::string("cannot be opened") : reason);
    if (!hint.empty())
        message += " \u2014 " + hint;
    return message;
}

std::string CableHint(ftdi::FtdiProblem::Kind kind) {
    using Kind = ftdi::FtdiProblem::Kind;
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

std::string ExistingPorts(OsSystem& system) {
    const std::vector<serial::ComPortInfo> ports = system.ListPorts();
    if (ports.empty())
        return "; no serial port is here";
    std::string text = "; the ports here are ";
    for (std::size_t i = 0; i < ports.size(); ++i)
        text += (i == 0 ? "" : i + 1 == ports.size() ? " and " : ", ") + ports[i].Name + " (" + ports[i].DevicePath + ")";
    return text;
}

std::string PortProblemMessage(const std::string& comName, const std::string& devicePath, const PortProblem& problem) {
    return ProblemMessage(comName, devicePath, problem.reason, PortProblemHint(problem.kind));
}

std::string CableProblemMessage(const std::string& portName, const std::string& where,
                                const ftdi::FtdiProblem& problem) {
    return ProblemMessage(portName, where, problem.text, CableHint(problem.kind));
}

} // namespace vandrel::cli
