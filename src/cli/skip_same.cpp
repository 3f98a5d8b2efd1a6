#include "cli/skip_same.h"

#include "cli/json_results.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

constexpr std::uint16_t kErasedWord = 0x3FFF;
constexpr std::uint16_t kErasedCell = 0xFF;

// From the first word of the image in `area` to its last: what --skip-same
// reads (a whole area is a long read for a short program).
device::TMemoryRange ImageExtent(const image::THexFile& image, device::TMemoryRange area) {
    std::int32_t first = -1, last = -1;
    for (std::int32_t a = area.Address; a < area.Address + area.Size; ++a)
        if (image.GetWord(a) >= 0) {
            first = first < 0 ? a : first;
            last = a;
        }
    if (first < 0)
        return {};
    return {static_cast<std::int16_t>(first), static_cast<std::int16_t>(last - first + 1)};
}

} // namespace

std::optional<std::int32_t> FirstDifference(const image::THexFile& image, const device::TPicDevice& device,
                                            const Invocation& inv, const std::map<std::int32_t, std::uint16_t>& words) {
    const std::optional<std::int32_t> osccal = device.Algorithm.Calibration.Osccal;
    struct Area {
        bool chosen;
        device::TMemoryRange range;
        bool erased; // the run erases it first
        std::uint16_t erasedValue;
    };
    const Area areas[] = {
        {inv.areas.program, ImageExtent(image, device.ProgramMemory), inv.erase, kErasedWord},
        {inv.areas.config, ImageExtent(image, device.ConfigurationMemory), false, kErasedWord},
        {inv.areas.data, ImageExtent(image, device.DataMemory), inv.erase, kErasedCell},
    };
    for (const Area& area : areas) {
        if (!area.chosen)
            continue;
        for (std::int32_t a = area.range.Address; a < area.range.Address + area.range.Size; ++a) {
            if ((osccal && a == *osccal) || device::InRange(a, device.DeviceID))
                continue;
            const auto read = words.find(a);
            const std::int16_t wanted = image.GetWord(a);
            if (wanted >= 0) {
                const std::uint16_t bits = device::ComparedBits(device, a); // 16 bits outside the configuration words
                if (read == words.end() || (read->second & bits) != (static_cast<std::uint16_t>(wanted) & bits))
                    return a;
            } else if (area.erased) {
                if (read == words.end() || (read->second & area.erasedValue) != area.erasedValue)
                    return a;
            }
        }
    }
    return std::nullopt;
}

std::optional<ExitStatus> SkipIfSame(ChipSession& session, CliContext& ctx, Console& console,
                                     const image::THexFile& image, const device::TPicDevice& device,
                                     const Invocation& inv, const ChipCheck& check) {
    std::vector<device::TMemoryRange> ranges;
    if (inv.areas.program)
        ranges.push_back(ImageExtent(image, device.ProgramMemory));
    if (inv.areas.config)
        ranges.push_back(ImageExtent(image, device.ConfigurationMemory));
    if (inv.areas.data)
        ranges.push_back(ImageExtent(image, device.DataMemory));
    const ChipWords read = ReadChipWords(session, ctx, console, device, ranges, check, "COMPARE");
    if (read.status != ExitStatus::Success)
        return read.status;
    if (const std::optional<std::int32_t> at = FirstDifference(image, device, inv, read.words)) {
        console.Note("The chip differs from " + inv.file + " from " + Hex4(*at) + " on: programming it.");
        return std::nullopt;
    }
    console.Note("The chip already holds " + inv.file + ": nothing written (--skip-same).");
    if (inv.json)
        console.Result(RunJson(inv, device.Name, nullptr));
    return ExitStatus::Success;
}

} // namespace vandrel::cli
