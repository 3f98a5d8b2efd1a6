#pragma once
// The end of a run on several adapters at once: the table of port, chip ID,
// result and time, and the JSON report of --report (a production log).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/invocation.h"
#include "cli/run_record.h"

namespace vandrel::cli {

struct PortResult {
    std::string port;
    RunRecord record;
    ExitStatus status = ExitStatus::Trouble;
    std::string failure;  // the message that ended it, when one did
    std::int64_t us = 0;  // the port's whole command: the check, the run, the verify
};

// "complete.", "3 errors.", "interrupted", "failed", "same as the file".
std::string ResultText(const PortResult& result);

// The table, a header and a line per port, then "2 of 3 chips complete.".
std::string GangTable(const std::vector<PortResult>& results);

// {"command", "file", "started", "complete", "failed", "ports": [{"port",
// "result", "summary", "errors", "errorLines", "error", "deviceId", "chip",
// "device", "calibrationKept", "ms", "runMs", "estimatedMs"}]}.
std::string GangReportJson(const Invocation& inv, const std::vector<PortResult>& results, const std::string& started);

} // namespace vandrel::cli
