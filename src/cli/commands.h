#pragma once
// One function per command. Each checks its inputs before any port opens
// and ends with the exit status of its outcome; failures on the way are
// thrown as CliFailure.
#include "cli/cli_context.h"
#include "cli/exit_status.h"
#include "cli/invocation.h"

namespace vandrel::cli {

ExitStatus RunDevicesCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunPortsCommand(const Invocation& inv, CliContext& ctx);
// program, verify and erase: the window's programming run with the boxes the record ticks.
ExitStatus RunProgramCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunReadCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunDumpCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunDetectCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunBlankCheckCommand(const Invocation& inv, CliContext& ctx);
ExitStatus RunConfigCommand(const Invocation& inv, CliContext& ctx);

// Parses the arguments and runs the command: the exit status of the program.
int RunCli(const std::vector<std::string>& args, CliContext& ctx);

} // namespace vandrel::cli
