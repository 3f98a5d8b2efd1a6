// blank-check: is every word of the chosen areas as an erase leaves it?
#include <optional>

#include "cli/chip_words.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "common/convert.h"

namespace vandrel::cli {

namespace {

struct AreaCheck {
    ChipArea area{};
    std::int32_t notBlank = 0;
    std::optional<std::int32_t> first; // the first word that is not blank
    std::uint16_t value = 0, erased = 0; // what it reads, and what it would read erased
};

// The bits of a word that tell blank from not blank, and their erased value.
// The chip's own calibration is not among them: the OSCCAL word (left out by
// the caller) and the bandgap bits of the configuration word.
std::uint16_t BlankBits(const device::TPicDevice& device, const ChipArea& area, std::int32_t address) {
    if (area.range == device.DataMemory)
        return 0xFF;
    if (area.range == device.ConfigurationWord)
        return static_cast<std::uint16_t>(device::ComparedBits(device, address) & 0x3FFF);
    return 0x3FFF;
}

AreaCheck CheckArea(const device::TPicDevice& device, const ChipArea& area, const ChipWords& read) {
    AreaCheck check;
    check.area = area;
    const std::optional<std::int32_t> osccal = device.Algorithm.Calibration.Osccal;
    for (std::int32_t a = area.range.Address; a < area.range.Address + area.range.Size; ++a) {
        const auto word = read.words.find(a);
        if (word == read.words.end() || (osccal && a == *osccal && area.range == device.ProgramMemory))
            continue;
        const std::uint16_t bits = BlankBits(device, area, a);
        if ((word->second & bits) == bits)
            continue;
        if (check.notBlank++ == 0) {
            check.first = a;
            check.value = word->second;
            check.erased = bits;
        }
    }
    return check;
}

std::string RangeText(device::TMemoryRange r) {
    return r.Size == 1 ? Hex4(r.Address) : Hex4(r.Address) + "-" + Hex4(r.Address + r.Size - 1);
}

// "OSCCAL (03FF) and the bandgap bits 3000 of 2007".
std::string CalibrationText(const device::TPicDevice& device, const Areas& areas) {
    const device::TCalibration& c = device.Algorithm.Calibration;
    std::string text;
    if (areas.program && c.Osccal)
        text = "OSCCAL (" + Hex4(*c.Osccal) + ")";
    if (areas.config && c.BandgapMask != 0)
        text += (text.empty() ? "" : " and ") + std::string("the bandgap bits ") + Hex4(c.BandgapMask) + " of " +
                Hex4(device.ConfigurationWord.Address);
    return text;
}

} // namespace

ExitStatus RunBlankCheckCommand(const Invocation& inv, CliContext& ctx) {
    ctx.logToStandardError = true; // standard output carries the result
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    const std::optional<device::TPicDevice> named = NamedDevice(file, inv.device);
    const auto areasOf = [&](const device::TPicDevice& device) {
        std::vector<ChipArea> areas = ChosenAreas(device, inv.areas);
        if (areas.empty())
            throw CliFailure(ExitStatus::Trouble, device.Name + ": " + file.label + " gives it none of the areas chosen");
        return areas;
    };
    if (named)
        areasOf(*named); // refused before the port opens
    CheckedChip chip(ctx, inv, file, named, console);
    const device::TPicDevice& device = chip.Device();
    const std::vector<ChipArea> areas = areasOf(device);
    std::vector<device::TMemoryRange> ranges;
    for (const ChipArea& area : areas)
        ranges.push_back(area.range);
    const ChipWords read = ReadChipWords(chip.session, ctx, console, device, ranges, chip.choice.check, "READ");
    if (read.status != ExitStatus::Success)
        return read.status;

    std::vector<AreaCheck> checks;
    bool blank = true;
    for (const ChipArea& area : areas) {
        checks.push_back(CheckArea(device, area, read));
        blank = blank && checks.back().notBlank == 0;
    }
    const std::string calibration = CalibrationText(device, inv.areas);
    if (inv.json) {
        JsonWriter json;
        json.BeginObject().Member("device", device.Name).Member("blank", blank).Key("areas").BeginArray();
        for (const AreaCheck& c : checks) {
            json.BeginObject()
                .Member("area", c.area.key)
                .Member("first", c.area.range.Address)
                .Member("last", c.area.range.Address + c.area.range.Size - 1)
                .Member("blank", c.notBlank == 0)
                .Member("notBlankWords", c.notBlank);
            if (c.first)
                json.Key("firstNotBlank")
                    .BeginObject()
                    .Member("address", *c.first)
                    .Member("value", c.value)
                    .Member("erased", c.erased)
                    .EndObject();
            json.EndObject();
        }
        json.EndArray();
        if (!calibration.empty())
            json.Member("calibrationNotCounted", calibration);
        json.EndObject();
        console.Result(json.Text());
    } else {
        for (const AreaCheck& c : checks) {
            std::string row = c.area.name;
            row.resize(16, ' ');
            std::string range = RangeText(c.area.range);
            range.resize(11, ' ');
            row += range;
            if (c.notBlank == 0)
                row += "blank";
            else
                row += "not blank: " + Hex4(*c.first) + " reads " + Hex4(c.value) + ", erased " + Hex4(c.erased) +
                       " (" + std::to_string(c.notBlank) + (c.notBlank == 1 ? " word" : " words") + " not blank)";
            console.Result(row);
        }
        if (!calibration.empty())
            console.Note(calibration + ": the chip's own calibration, not counted");
        console.Result(blank ? "The chip is blank." : "The chip is not blank.");
    }
    return blank ? ExitStatus::Success : ExitStatus::WordErrors;
}

} // namespace vandrel::cli
