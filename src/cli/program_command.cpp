// program, verify and erase: the window's programming run.
#include "cli/chip_run.h"
#include "cli/commands.h"
#include "cli/json_results.h"
#include "cli/skip_same.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

// The run writes and compares every word of the configuration area, the
// device ID among them, which no chip lets itself be given: a file read from
// a chip of another revision shows as an error there.
void WarnOfAnotherId(const image::THexFile& image, const device::TPicDevice& device, const Invocation& inv,
                     const ChipCheck& check, Console& console) {
    if (inv.command == Command::Erase || !inv.areas.config || !programmer::HasDeviceId(device) ||
        !programmer::ChipAnswers(check.identity.id) ||
        !device::InRange(device.DeviceID.Address, device.ConfigurationMemory))
        return;
    const std::int16_t word = image.GetWord(device.DeviceID.Address);
    if (word >= 0 && (word & 0x3FFF) != check.identity.id)
        console.Note("warning: " + inv.file + " holds device ID " + Hex4(word) + " where the chip has " +
                     Hex4(check.identity.id) + ": the run reports that word as an error");
}

// "kept the chip's calibration: OSCCAL 3454, bandgap bits 1000".
std::string DescribeKept(const programmer::TKeptCalibration& kept) {
    std::string text = "kept the chip's calibration:";
    if (kept.Osccal)
        text += " OSCCAL " + Hex4(*kept.Osccal);
    if (kept.Bandgap)
        text += std::string(kept.Osccal ? "," : "") + " bandgap bits " + Hex4(*kept.Bandgap);
    return text;
}

} // namespace

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
    ChipSession session(ctx, inv, file, port);
    const OperationPlan plan = PlanOperation(device, image, request, session.Link());

    const ChipCheck check = ReadDeviceId(session, ctx, ProbeDevice(&device), file);
    AcceptChip(check, device, file, inv.force, session, console);
    WarnOfAnotherId(image, device, inv, check, console);
    if (inv.skipSame && inv.command == Command::Program)
        if (const std::optional<ExitStatus> done = SkipIfSame(session, ctx, console, image, device, inv, check))
            return *done;
    const RunReport report =
        RunOnConsole(session, ctx, console, image, device, request, plan, check.pace, RunDisplay{});
    if (session.KeptCalibration())
        console.Note(DescribeKept(*session.KeptCalibration()));
    if (inv.command != Command::Verify)
        session.SaveState();
    if (inv.json)
        console.Result(RunJson(inv, device.Name, &report));
    return ExitStatusOf(report.outcome);
}

} // namespace vandrel::cli
