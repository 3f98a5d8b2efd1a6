// program, verify and erase: the window's programming run.
#include "cli/chip_run.h"
#include "cli/commands.h"

namespace vandrel::cli {

ExitStatus RunProgramCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const device::TPicDevice device = RequireDevice(file, inv.device);
    image::THexFile image;
    if (inv.command != Command::Erase) {
        LoadHexFile(inv.file, image);
        const ImageWords words = CountImageWords(image, device, inv.areas);
        if (words.chosen == 0)
            throw CliFailure(ExitStatus::Trouble, inv.file + ": no word for the chosen areas of the " + device.Name);
        if (words.outside > 0)
            console.Note("warning: " + inv.file + ": " + std::to_string(words.outside) + " words lie outside the " +
                         device.Name + "'s memory and are left out");
    }
    const PortChoice port = ChoosePort(inv, ctx.system);
    const OperationRequest request = ProgramRequest(inv);
    const OperationPlan plan = PlanOperation(device, image, request);

    ChipSession session(ctx, inv, file, port);
    const ChipCheck check = ReadDeviceId(session, ctx, ProbeDevice(&device), file);
    AcceptChip(check, device, file, inv.force, session, console);
    const RunReport report =
        RunOnConsole(session, ctx, console, image, device, request, plan, check.pace, RunDisplay{});
    if (inv.command != Command::Verify)
        session.SaveState();
    return ExitStatusOf(report.outcome);
}

} // namespace vandrel::cli
