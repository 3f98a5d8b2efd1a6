// program, verify and erase: the window's programming run.
#include <algorithm>

#include "cli/chip_run.h"
#include "cli/commands.h"
#include "cli/erase_plan.h"
#include "cli/json_results.h"
#include "cli/run_record.h"
#include "cli/skip_same.h"
#include "common/convert.h"
#include "programmer/fast_timing.h"
#include "programmer/lock_out.h"

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

// "the calibration words 2008, 2009".
std::string CalibrationWordsText(const device::TPicDevice& device) {
    const auto& words = device.Algorithm.Calibration.Words;
    std::string text = words.size() == 1 ? "the calibration word" : "the calibration words";
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? " " : ", ") + Hex4(words[i]);
    return text;
}

// Words of the image outside every area of the device: a file for a larger
// chip, refused unless forced. Nothing for the chosen areas is refused too.
void CheckImage(const image::THexFile& image, const device::TPicDevice& device, const Invocation& inv,
                Console& console) {
    if (inv.command == Command::Erase)
        return;
    const ImageWords words = CountImageWords(image, device, inv.areas);
    if (words.chosen == 0)
        throw CliFailure(ExitStatus::Trouble, inv.file + ": no word for the chosen areas of the " + device.Name);
    if (words.calibration > 0)
        console.Note(inv.file + ": " + CalibrationWordsText(device) +
                     " in the file: the chip's own, left as the chip has them, not written");
    if (words.outside == 0)
        return;
    const std::string message = inv.file + ": " + std::to_string(words.outside) + " words lie outside the " +
                                device.Name + "'s memory, the first at " + Hex4(words.firstOutside) +
                                ": a file for a larger chip?";
    if (!inv.force)
        throw CliFailure(ExitStatus::Trouble, message + " (--force leaves them out and goes on)");
    console.Error("warning: " + message + " (left out: --force)");
}

// A configuration word that would lock the chip out of this adapter is
// refused before the chip is touched; --force writes it, last in the run.
void GuardLockOut(const image::THexFile& image, const device::TPicDevice& device, const Invocation& inv,
                  OperationRequest& request, Console& console) {
    if (inv.command != Command::Program || !inv.areas.config)
        return;
    const std::optional<std::uint16_t> word = programmer::LockOutWord(device, image);
    if (!word)
        return;
    const std::string message = inv.file + ": " + programmer::LockOutText(device, *word);
    if (!inv.force)
        throw CliFailure(ExitStatus::Trouble, message + " (--force writes it anyway)");
    console.Error("warning: " + message + " (written last, after the verify: --force)");
    request.lockOutLast = true;
}

// A fast run of a device whose section lacks the maxima is refused before
// the chip is touched.
void CheckTiming(const device::TPicDevice& device, const Invocation& inv) {
    if (!inv.fastTiming)
        return;
    if (const std::string refusal = programmer::FastTimingRefusal(device); !refusal.empty())
        throw CliFailure(ExitStatus::Trouble, refusal);
}

} // namespace

ExitStatus RunProgramCommand(const Invocation& inv, CliContext& ctx) {
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::optional<device::TPicDevice> named = NamedDevice(file, inv.device);
    image::THexFile image;
    if (inv.command != Command::Erase)
        LoadHexFile(inv.file, image, ctx.in);
    OperationRequest request = ProgramRequest(inv);
    if (named) {
        CheckTiming(*named, inv);
        CheckImage(image, *named, inv, console);
        GuardLockOut(image, *named, inv, request, console);
    }
    const PortChoice port = ChoosePort(inv, ctx.system);
    ChipSession session(ctx, inv, file, port);

    const ChipChoice chip = ChooseChip(session, ctx, named, file, inv.force, console);
    const device::TPicDevice& device = chip.device;
    if (ctx.record)
        ctx.record->device = device.Name;
    if (!named) {
        CheckTiming(device, inv);
        CheckImage(image, device, inv, console);
        GuardLockOut(image, device, inv, request, console);
    }
    WarnOfAnotherId(image, device, inv, chip.check, console);
    if (inv.skipSame && inv.command == Command::Program)
        if (const std::optional<ExitStatus> done = SkipIfSame(session, ctx, console, image, device, inv, chip.check)) {
            if (ctx.record)
                ctx.record->skipped = true;
            return *done;
        }
    for (const std::string& line : DescribeErase(device, inv, request))
        console.Note(line);
    std::int32_t eepromKept = -1;
    if (KeepsEeprom(device, inv, request))
        eepromKept = ReadEepromToKeep(session, ctx, device, image, request);
    const OperationPlan plan = PlanOperation(device, image, request, session.Link());
    const RunReport report =
        RunOnConsole(session, ctx, console, image, device, request, plan, chip.check.pace, RunDisplay{});
    if (session.KeptCalibration())
        console.Note(DescribeKept(*session.KeptCalibration()));
    if (ctx.record) {
        ctx.record->report = report;
        ctx.record->kept = session.KeptCalibration();
    }
    const ExitStatus status = ExitStatusOf(report.outcome);
    const bool writes = std::any_of(request.steps.begin(), request.steps.end(), [](programmer::StepBox box) {
        return box != programmer::StepBox::VerifyProgram && box != programmer::StepBox::VerifyConfigurationMemory &&
               box != programmer::StepBox::VerifyDataMemory;
    });
    if (report.outcome.interrupted && report.started && writes)
        console.Error(std::string("The chip is now partly written: program it again before use") +
                      (eepromKept > 0 ? "; the data EEPROM it held may be lost too." : "."));
    if (eepromKept >= 0 && status == ExitStatus::Success)
        console.Note("kept the data EEPROM: " + std::to_string(eepromKept) + " of " +
                     std::to_string(device.DataMemory.Size) + " bytes held data; written back and verified");
    if (inv.command != Command::Verify)
        session.SaveState();
    if (inv.json)
        console.Result(RunJson(inv, device.Name, &report));
    return status;
}

} // namespace vandrel::cli
