#pragma once
// The help texts of several adapters at once (--port A --port B, --report).
namespace vandrel::cli {

inline constexpr const char* kSeveralPortsHelp =
    "several (--port A --port B, or A,B):\n"
    "program, verify or erase run on each adapter at once; simulated chips are\n"
    "COM0:1, COM0:2 ..., each with a state file of its own (<state>-1.hex ...)";

inline constexpr const char* kReportHelp =
    "write each port's result as JSON to FILE: the result, the device ID, the\n"
    "calibration words kept, the error lines and the times (a production log)";

inline constexpr const char* kGangFooter =
    "Several ports (-p COM100,COM101, or -p COM0:1 -p COM0:2 with --simulate): one run\n"
    "per adapter at once, each line of output led by its port, then a table of\n"
    "port, chip ID, result and time. Exits 0 only when every chip says \"complete.\",\n"
    "else 1; Ctrl-C stops them all (130).\n";

} // namespace vandrel::cli
