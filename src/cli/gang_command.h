#pragma once
// program, verify or erase on several adapters at once: one thread per
// port, each running the whole command as on a port of its own, then the
// table (and the report of --report).
#include "cli/cli_context.h"
#include "cli/exit_status.h"
#include "cli/invocation.h"

namespace vandrel::cli {

// Several ports given, or --report: the run goes through RunGangCommand.
bool RunsOnSeveralPorts(const Invocation& inv);

// 0 only when every chip says "complete.", else 1 (130 after Ctrl-C); a usage
// error or a report that cannot be written fails before any port opens.
ExitStatus RunGangCommand(const Invocation& inv, CliContext& ctx);

} // namespace vandrel::cli
