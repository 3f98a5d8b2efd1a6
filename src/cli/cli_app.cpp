// The program's one entry: arguments to a command, its outcome to an exit status.
#include <optional>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/interrupt.h"

namespace vandrel::cli {

namespace {

ExitStatus Dispatch(const Invocation& inv, CliContext& ctx) {
    if (inv.simulate.empty() && (inv.simLatencyUs >= 0 || !inv.simState.empty()))
        throw CliFailure(ExitStatus::Usage, "--sim-latency and --sim-state need a simulated chip "
                                            "(--simulate DEVICE or VANDREL1_SIMULATOR)");
    switch (inv.command) {
    case Command::Devices: return RunDevicesCommand(inv, ctx);
    case Command::Ports: return RunPortsCommand(inv, ctx);
    case Command::Program:
    case Command::Verify:
    case Command::Erase: return RunProgramCommand(inv, ctx);
    case Command::Read: return RunReadCommand(inv, ctx);
    case Command::Dump: return RunDumpCommand(inv, ctx);
    case Command::Detect: return RunDetectCommand(inv, ctx);
    }
    return ExitStatus::Usage;
}

} // namespace

int RunCli(const std::vector<std::string>& args, CliContext& ctx) {
    const ParseOutcome parsed = ParseCommandLine(args, ctx.getEnv, ctx.out, ctx.err);
    if (!parsed.invocation)
        return static_cast<int>(parsed.status);

    std::optional<InterruptGuard> interrupt;
    if (ctx.catchInterrupt)
        interrupt.emplace();
    ExitStatus status = ExitStatus::Trouble;
    try {
        status = Dispatch(*parsed.invocation, ctx);
    } catch (const CliFailure& failure) {
        ctx.out.flush();
        ctx.err << failure.what() << std::endl;
        status = failure.Status();
    } catch (const std::exception& error) {
        // Whatever else goes wrong is said in words, never as a trace.
        ctx.out.flush();
        ctx.err << error.what() << std::endl;
        status = ExitStatus::Trouble;
    }
    ctx.out.flush();
    if (status == ExitStatus::Interrupted && interrupt)
        return InterruptedStatus();
    return static_cast<int>(status);
}

} // namespace vandrel::cli
