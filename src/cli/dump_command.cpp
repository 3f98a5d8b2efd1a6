// dump and detect: the window's dump, and the chip's name from its device ID.
#include <algorithm>
#include <map>
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

// The factory words of the configuration space (Calibration.Words), read and
// named: "calibration words 2008 22BE, 2009 3FF8: the chip's own, never written".
void NameCalibrationWords(ChipSession& session, CliContext& ctx, Console& console, const device::TPicDevice& device) {
    const std::vector<std::int32_t>& words = device.Algorithm.Calibration.Words;
    if (words.empty())
        return;
    const auto [low, high] = std::minmax_element(words.begin(), words.end());
    ConsoleHost host(ctx.clock);
    const std::map<std::int32_t, std::int32_t> read =
        QuietDump(session, ctx, device, DumpRequest(*low, *high - *low + 1), host);
    std::string text = words.size() == 1 ? "calibration word" : "calibration words";
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto found = read.find(words[i]);
        text += (i == 0 ? " " : ", ") + Hex4(words[i]) + " " +
                (found == read.end() ? std::string("unread") : Hex4(found->second));
    }
    console.Note(text + ": the chip's own, never written");
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
    // Nothing the chip answers at 2006 names a device without an ID.
    if (device && !programmer::HasDeviceId(*device)) {
        const std::string message = session.Describe() + ": " + programmer::CannotIdentify(*device);
        if (!inv.force)
            throw CliFailure(ExitStatus::Trouble, message + " (--force takes it as the " + device->Name + ")");
        console.Error(message + " (taken as the " + device->Name + ": --force)");
        console.Result(device->Name + " (no device ID; taken as given)");
        return ExitStatus::Success;
    }

    const ChipCheck check = ReadDeviceId(session, ctx, ProbeDevice(device ? &*device : nullptr), file);
    const programmer::ChipIdentity& chip = check.identity;
    const bool other = device && chip.kind == programmer::ChipIdentity::Kind::Known &&
                       !programmer::IdMatches(chip.id, *device);
    if (inv.json)
        return DetectJson(console, session.Describe(), chip, device ? &*device : nullptr, file.label);
    switch (chip.kind) {
    case programmer::ChipIdentity::Kind::NoChip:
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": " + DescribeChip(chip, file.label) +
                                                  ": no chip, no power, or a wrong adapter or port" +
                                                  (device ? LockOutHint(*device) : std::string()));
    case programmer::ChipIdentity::Kind::Unknown:
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": " + DescribeChip(chip, file.label));
    case programmer::ChipIdentity::Kind::Known: break;
    }
    console.Result(DescribeChip(chip, file.label));
    NameCalibrationWords(session, ctx, console, RequireDevice(file, chip.deviceName));
    if (!other)
        return ExitStatus::Success;
    console.Error("not the " + device->Name + " given");
    return ExitStatus::WordErrors;
}

} // namespace vandrel::cli
