#pragma once
// Turns the arguments into an Invocation (CLI11), with the environment's
// defaults filled in. Help and version go to `out`, usage errors to `err`.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/invocation.h"

namespace vandrel::cli {

using GetEnv = std::function<const char*(const char*)>;

// Environment variables that supply defaults.
inline constexpr const char* kDeviceVariable = "VANDREL1_DEVICE";
inline constexpr const char* kPortVariable = "VANDREL1_PORT";
inline constexpr const char* kSimulatorVariable = "VANDREL1_SIMULATOR";

struct ParseOutcome {
    std::optional<Invocation> invocation; // a command to run
    ExitStatus status = ExitStatus::Success; // otherwise: 0 after help or version, 2 after a usage error
};

// `args` as main() gets them, the program's name first.
ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const GetEnv& getEnv, std::ostream& out,
                              std::ostream& err);

// A dump argument: hexadecimal digits (an optional "0x" or "$" before them),
// at most 8 significant. Throws a usage CliFailure naming `what` otherwise.
std::int32_t ParseHexArgument(const std::string& what, const std::string& text);

// The program's version, from the build.
const char* ProgramVersion();

} // namespace vandrel::cli
