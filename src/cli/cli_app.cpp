// The program's one entry: arguments to a command, its outcome to an exit status.
#include <optional>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/gang_command.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"

namespace vandrel::cli {

namespace {

ExitStatus Dispatch(const Invocation& inv, CliContext& ctx) {
    if (inv.simulate.empty() && (inv.simLatencyUs >= 0 || !inv.simState.empty()))
        throw CliFailure(ExitStatus::Usage, "--sim-latency and --sim-state need a simulated chip "
                                            "(--simulate DEVICE or VANDREL1_SIMULATOR)");
    if (RunsOnSeveralPorts(inv))
        return RunGangCommand(inv, ctx);
    switch (inv.command) {
    case Command::Devices: return RunDevicesCommand(inv, ctx);
    case Command::Ports: return RunPortsCommand(inv, ctx);
    case Command::Program:
    case Command::Verify:
    case Command::Erase: return RunProgramCommand(inv, ctx);
    case Command::Read: return RunReadCommand(inv, ctx);
    case Command::Dump: return RunDumpCommand(inv, ctx);
    case Command::Detect: return RunDetectCommand(inv, ctx);
    case Command::BlankCheck: return RunBlankCheckCommand(inv, ctx);
    case Command::Config: return RunConfigCommand(inv, ctx);
    }
    return ExitStatus::Usage;
}

} // namespace

int RunCli(const std::vector<std::string>& args, CliContext& ctx) {
    const ParseOutcome parsed = ParseCommandLine(args, ctx.getEnv, ctx.out, ctx.err);
    if (!parsed.invocation)
        return static_cast<int>(parsed.status);

    const bool json = parsed.invocation->json;
    ctx.logToStandardError = ctx.logToStandardError || json;
    // With --json, standard output always carries one JSON document.
    const auto say = [&](const std::string& message, ExitStatus failed) {
        ctx.out.flush();
        ctx.err << message << std::endl;
        if (json)
            ctx.out << JsonWriter().BeginObject().Member("error", message).Member("status", static_cast<int>(failed))
                           .EndObject().Text() << '\n';
        return failed;
    };

    std::optional<InterruptGuard> interrupt;
    if (ctx.catchInterrupt)
        interrupt.emplace();
    ExitStatus status = ExitStatus::Trouble;
    try {
        status = Dispatch(*parsed.invocation, ctx);
    } catch (const CliFailure& failure) {
        status = say(failure.what(), failure.Status());
    } catch (const std::exception& error) {
        // Whatever else goes wrong is said in words, never as a trace.
        status = say(error.what(), ExitStatus::Trouble);
    }
    ctx.out.flush();
    if (status == ExitStatus::Interrupted && interrupt)
        return InterruptedStatus();
    return static_cast<int>(status);
}

} // namespace vandrel::cli
