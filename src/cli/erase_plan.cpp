#include "cli/erase_plan.h"

#include "cli/chip_run.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

using programmer::StepBox;

constexpr std::int32_t kErasedCell = 0xFF;

std::vector<std::string> AreaNames(const device::TPicDevice& device, const ErasedAreas& areas) {
    std::vector<std::string> names;
    if (areas.program)
        names.emplace_back("program memory");
    if (areas.config)
        names.emplace_back(device.ConfigurationWord.Size > 1 ? "the configuration words" : "the configuration word");
    if (areas.userIds && device.UserID.Size > 0)
        names.emplace_back("the user IDs");
    if (areas.data && device.DataMemory.Size > 0)
        names.emplace_back("the data EEPROM");
    return names;
}

std::string JoinAnd(const std::vector<std::string>& parts) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return text;
}

bool ChipErase(const device::TPicDevice& device) {
    return device.Algorithm.Erase.ProgramCommand == device::kCodeChipErase;
}

// The areas a program or erase asks to lose: those of its erase steps.
ErasedAreas Asked(const Invocation& inv, const OperationRequest& request) {
    ErasedAreas asked;
    asked.program = request.steps.count(StepBox::EraseProgram) != 0 && inv.areas.program;
    asked.config = request.steps.count(StepBox::EraseProgram) != 0 && inv.areas.config;
    asked.userIds = asked.config;
    asked.data = request.steps.count(StepBox::EraseDataMemory) != 0;
    return asked;
}

} // namespace

ErasedAreas ErasedBy(const device::TPicDevice& device, const OperationRequest& request) {
    ErasedAreas taken;
    if (request.steps.count(StepBox::EraseProgram)) {
        const bool fromConfiguration = device.Algorithm.Erase.LoadConfiguration;
        taken.program = true;
        taken.config = fromConfiguration || ChipErase(device);
        taken.userIds = fromConfiguration;
        taken.data = ChipErase(device);
    }
    taken.data = taken.data || request.steps.count(StepBox::EraseDataMemory) != 0;
    return taken;
}

bool KeepsEeprom(const device::TPicDevice& device, const Invocation& inv, const OperationRequest& request) {
    return inv.preserveEeprom && !inv.areas.data && device.DataMemory.Size > 0 && ErasedBy(device, request).data;
}

std::vector<std::string> DescribeErase(const device::TPicDevice& device, const Invocation& inv,
                                       const OperationRequest& request) {
    const ErasedAreas taken = ErasedBy(device, request);
    if (!taken.Any())
        return {};
    std::vector<std::string> lines;
    const std::string how = ChipErase(device) && taken.program ? "a chip erase" : "a bulk erase";
    lines.push_back("The erase takes " + JoinAnd(AreaNames(device, taken)) + " (" + how + " on the " + device.Name +
                    ").");
    const ErasedAreas asked = Asked(inv, request);
    ErasedAreas beyond{taken.program && !asked.program, taken.config && !asked.config,
                       taken.userIds && !asked.userIds, taken.data && !asked.data};
    const bool keeps = KeepsEeprom(device, inv, request);
    if (keeps)
        beyond.data = false;
    if (beyond.Any())
        lines.push_back("warning: it also takes " + JoinAnd(AreaNames(device, beyond)) + ", which --area does not name.");
    if (inv.command == Command::Erase && asked.config && !taken.config)
        lines.push_back("warning: " + AreaNames(device, {false, true, false, false}).front() + " stays as it is: the " +
                        device.Name + "'s erase does not reach it (a configuration word is erased as it is written).");
    if (keeps)
        lines.push_back("The data EEPROM is read first and written back after (--no-preserve-eeprom lets it go).");
    if (inv.command != Command::Erase)
        return lines;
    // What stays on the chip whatever the erase.
    std::vector<std::string> kept = {"its device ID"};
    const ErasedAreas left{false, !taken.config, !taken.userIds, !taken.data && !keeps};
    for (const std::string& name : AreaNames(device, left))
        kept.push_back(name);
    if (keeps)
        kept.emplace_back("the data EEPROM (written back)");
    const device::TCalibration& calibration = device.Algorithm.Calibration;
    if (taken.program && calibration.Any()) {
        std::vector<std::string> words;
        if (calibration.Osccal)
            words.push_back("OSCCAL at " + Hex4(*calibration.Osccal));
        if (calibration.BandgapMask != 0)
            words.emplace_back("the bandgap bits");
        kept.push_back("its calibration (" + JoinAnd(words) + ", read first and written back)");
    }
    lines.push_back("The chip keeps " + JoinAnd(kept) + ".");
    return lines;
}

std::int32_t ReadEepromToKeep(ChipSession& session, CliContext& ctx, const device::TPicDevice& device,
                              image::THexFile& image, OperationRequest& request) {
    ConsoleHost host(ctx.clock);
    // A data-protected EEPROM reads as zeros: written back, they would replace
    // what the chip held. It cannot be kept, so nothing is erased.
    if (device.Algorithm.Protection.Data != 0) {
        const std::int32_t at = device.ConfigurationWord.Address;
        const auto config = QuietDump(session, ctx, device, DumpRequest(at, 1), host);
        if (const auto word = config.find(at);
            word != config.end() && device.Algorithm.Protection.ProtectsData(static_cast<std::uint16_t>(word->second)))
            throw CliFailure(ExitStatus::Trouble,
                             session.Describe() + ": the data EEPROM is protected (configuration word " +
                                 Hex4(word->second) + "): it reads as zeros and cannot be kept across the erase, "
                                 "so nothing was erased (--no-preserve-eeprom lets it go)");
    }
    const std::map<std::int32_t, std::int32_t> cells =
        QuietDump(session, ctx, device, DumpRequest(device.DataMemory.Address, device.DataMemory.Size), host);
    std::int32_t read = 0;
    for (const auto& cell : cells)
        read += device::InRange(cell.first, device.DataMemory) ? 1 : 0;
    if (read != device.DataMemory.Size)
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": the data EEPROM could not be read whole, "
                                                                   "so nothing was erased");
    image.ClearRange(device.DataMemory);
    std::int32_t written = 0;
    for (const auto& [address, value] : cells) {
        if (!device::InRange(address, device.DataMemory) || (value & 0xFF) == kErasedCell)
            continue;
        image.SetWord(address, static_cast<std::int16_t>(value & 0xFF));
        ++written;
    }
    if (written > 0) {
        request.steps.insert(StepBox::WriteDataMemory);
        request.steps.insert(StepBox::VerifyDataMemory);
    }
    return written;
}

} // namespace vandrel::cli
