#include "cli/chip_words.h"

#include <algorithm>

namespace vandrel::cli {

ChipWords ReadChipWords(ChipSession& session, CliContext& ctx, Console& console, const device::TPicDevice& device,
                        const std::vector<device::TMemoryRange>& ranges, const ChipCheck& check,
                        const std::string& label) {
    const auto inRanges = [&](std::int32_t address) {
        return std::any_of(ranges.begin(), ranges.end(),
                           [&](device::TMemoryRange r) { return device::InRange(address, r); });
    };
    std::int32_t first = image::THexFile::kWords, end = 0, count = 0;
    for (device::TMemoryRange r : ranges) {
        if (r.Size <= 0)
            continue;
        first = std::min<std::int32_t>(first, std::max<std::int32_t>(r.Address, 0));
        end = std::max<std::int32_t>(end, std::min<std::int32_t>(r.Address + r.Size, image::THexFile::kWords));
    }
    for (std::int32_t a = first; a < end; ++a)
        count += inRanges(a) ? 1 : 0;
    ChipWords result;
    if (count == 0)
        return result;

    // The dump reads every address of the device's areas on its way: each
    // area ends here at the last address wanted of it, so that the rest is
    // passed without a command.
    device::TPicDevice reading = device;
    for (device::TMemoryRange* area : {&reading.ProgramMemory, &reading.ConfigurationMemory, &reading.DataMemory}) {
        const std::int32_t areaLast = area->Address + area->Size - 1;
        std::int32_t last = area->Address - 1;
        for (device::TMemoryRange r : ranges)
            if (r.Size > 0 && r.Address <= areaLast && r.Address + r.Size - 1 >= area->Address)
                last = std::max<std::int32_t>(last, std::min<std::int32_t>(r.Address + r.Size - 1, areaLast));
        area->Size = static_cast<std::int16_t>(std::max<std::int32_t>(last - area->Address + 1, 0));
    }
    const OperationRequest request = DumpRequest(first, end - first);
    const image::THexFile noImage;
    const OperationPlan plan = PlanOperation(reading, noImage, request, session.Link());
    RunDisplay display;
    display.wordLines = false;
    display.countLabel = label;
    display.countTotal = count;
    image::THexFile unused;
    const RunReport report = RunOnConsole(session, ctx, console, unused, reading, request, plan, check.pace, display);
    result.status = ExitStatusOf(report.outcome);
    for (const std::string& line : report.log) {
        std::int32_t address = 0, value = 0;
        if (ParseWordLine(line, address, value) && inRanges(address))
            result.words[address] = static_cast<std::uint16_t>(value);
    }
    return result;
}

std::vector<ChipArea> ChosenAreas(const device::TPicDevice& device, const Areas& areas) {
    std::vector<ChipArea> chosen;
    const auto add = [&](bool when, ChipArea area) {
        if (when && area.range.Size > 0)
            chosen.push_back(area);
    };
    add(areas.program, {"program", "program memory", device.ProgramMemory});
    add(areas.config, {"userIds", "user IDs", device.UserID});
    add(areas.config, {"config", "configuration", device.ConfigurationWord});
    add(areas.data, {"data", "data EEPROM", device.DataMemory});
    return chosen;
}

CheckedChip::CheckedChip(CliContext& ctx, const Invocation& inv, const DeviceFile& file,
                         const std::optional<device::TPicDevice>& named, Console& console)
    : session(ctx, inv, file, ChoosePort(inv, ctx.system)),
      choice(ChooseChip(session, ctx, named, file, inv.force, console)) {}

} // namespace vandrel::cli
