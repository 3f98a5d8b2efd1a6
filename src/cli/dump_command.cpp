// dump and detect: the window's dump, and the chip's name from its device ID.
#include <optional>

#include "cli/chip_run.h"
#include "cli/commands.h"
#include "cli/json_results.h"

namespace vandrel::cli {

ExitStatus RunDumpCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const device::TPicDevice device = RequireDevice(file, inv.device);
    const PortChoice port = ChoosePort(inv, ctx.system);
    ChipSession session(ctx, inv, file, port);

    std::int32_t words = 0;
    for (std::int32_t a = inv.address; a < inv.address + inv.count; ++a)
        words += device::InRange(a, device.ProgramMemory) || device::InRange(a, device.ConfigurationMemory) ||
                         device::InRange(a, device.DataMemory)
                     ? 1
                     : 0;
    RunDisplay display;
    display.logIsResult = true; // the dump's lines are what the command is for
    display.countLabel = "DUMP";
    display.countTotal = words;
    image::THexFile unused;
    const RunReport report = RunOnConsole(session, ctx, console, unused, device, DumpRequest(inv.address, inv.count),
                                          OperationPlan{}, std::nullopt, display);
    return ExitStatusOf(report.outcome);
}

ExitStatus RunDetectCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    std::optional<device::TPicDevice> device;
    if (!inv.device.empty())
        device = RequireDevice(file, inv.device);
    const PortChoice port = ChoosePort(inv, ctx.system);
    ChipSession session(ctx, inv, file, port);

    const ChipCheck check = ReadDeviceId(session, ctx, ProbeDevice(device ? &*device : nullptr), file);
    const programmer::ChipIdentity& chip = check.identity;
    const bool other = device && programmer::HasDeviceId(*device) &&
                       chip.kind == programmer::ChipIdentity::Kind::Known && !programmer::IdMatches(chip.id, *device);
    if (inv.json)
        return DetectJson(console, session.Describe(), chip, device ? &*device : nullptr, file.label);
    switch (chip.kind) {
    case programmer::ChipIdentity::Kind::NoChip:
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": " + DescribeChip(chip, file.label) +
                                                  ": no chip, no power, or a wrong adapter or port");
    case programmer::ChipIdentity::Kind::Unknown:
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": " + DescribeChip(chip, file.label));
    case programmer::ChipIdentity::Kind::Known: break;
    }
    console.Result(DescribeChip(chip, file.label));
    if (!other)
        return ExitStatus::Success;
    console.Error("not the " + device->Name + " given");
    return ExitStatus::WordErrors;
}

} // namespace vandrel::cli
