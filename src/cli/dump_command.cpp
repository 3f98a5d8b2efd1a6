// dump and detect: the window's dump, and the chip's name from its device ID.
#include <optional>

#include "cli/chip_run.h"
#include "cli/commands.h"
#include "common/convert.h"
#include "cli/json_results.h"

namespace vandrel::cli {

namespace {

bool Implemented(std::int32_t address, const device::TPicDevice& device) {
    return device::InRange(address, device.ProgramMemory) || device::InRange(address, device.ConfigurationMemory) ||
           device::InRange(address, device.DataMemory);
}

// Where a dump that runs past the device's memory stops, said plainly; "" when it does not.
std::string PastTheEnd(const Invocation& inv, const device::TPicDevice& device) {
    const std::int32_t end = inv.address + inv.count;
    std::int32_t last = -1;
    for (std::int32_t a = inv.address; a < end; ++a)
        if (Implemented(a, device))
            last = a;
    if (last == end - 1)
        return {};
    const std::string range = Hex4(last + 1 > inv.address ? last + 1 : inv.address) + "-" + Hex4(end - 1);
    if (last < 0)
        return "nothing dumped: the " + device.Name + " has no memory at " + range;
    return "the dump stopped after " + Hex4(last) + ": the " + device.Name + " has no memory at " + range;
}

} // namespace

ExitStatus RunDumpCommand(const Invocation& inv, CliContext& ctx) {
    // The words are the command's output: the log goes to standard error.
    Console console(ctx, inv.quiet, true);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::optional<device::TPicDevice> named = NamedDevice(file, inv.device);
    const PortChoice port = ChoosePort(inv, ctx.system);
    ChipSession session(ctx, inv, file, port);
    // A named device is taken at its word, as the window's dump takes it.
    const device::TPicDevice device =
        named ? *named : ChooseChip(session, ctx, named, file, inv.force, console).device;

    std::int32_t words = 0;
    for (std::int32_t a = inv.address; a < inv.address + inv.count; ++a)
        words += Implemented(a, device) ? 1 : 0;
    RunDisplay display;
    display.wordsAreResult = true; // the dump's lines are what the command is for
    display.countLabel = "DUMP";
    display.countTotal = words;
    image::THexFile unused;
    const RunReport report = RunOnConsole(session, ctx, console, unused, device, DumpRequest(inv.address, inv.count),
                                          OperationPlan{}, std::nullopt, display);
    const ExitStatus status = ExitStatusOf(report.outcome);
    if (status == ExitStatus::Success)
        if (const std::string where = PastTheEnd(inv, device); !where.empty())
            console.Note(where);
    return status;
}

ExitStatus RunDetectCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::optional<device::TPicDevice> device = NamedDevice(file, inv.device);
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
