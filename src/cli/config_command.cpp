// config: the configuration words of the chip, each field named as gputils
// names it (picconfig.ini, beside the device file).
#include <algorithm>
#include <filesystem>

#include "cli/chip_words.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "common/convert.h"
#include "device/config_names.h"
#include "programmer/lock_out.h"

namespace vandrel::cli {

namespace {

// The names of the device's bits: picconfig.ini beside the device file read,
// else beside the default one. A missing or damaged file ends the command
// before any port opens; a file without the device gives no names.
std::vector<device::ConfigWordNames> LoadConfigNames(const DeviceFile& file, const device::TPicDevice& device,
                                                     const CliContext& ctx, Console& console) {
    std::string path = device::ConfigNamesPathBeside(file.path);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ctx.defaultSpecPath.empty())
        path = device::ConfigNamesPathBeside(ctx.defaultSpecPath);
    std::string text, error;
    if (!ReadTextFile(path, text, error))
        throw CliFailure(ExitStatus::Trouble, path + ": " + error +
                                                  " (the names of the configuration bits, made from gputils' "
                                                  "headers when the program is built)");
    device::ConfigNamesResult names = device::ReadConfigNames(text, device.Name);
    if (!names.error.empty())
        throw CliFailure(ExitStatus::Trouble, path + " [" + device.Name + "]: " + names.error);
    if (names.words.empty())
        console.Note(path + " names no configuration bits of the " + device.Name + ": the words follow unnamed");
    return std::move(names.words);
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.resize(width, ' ');
    return text;
}

} // namespace

ExitStatus RunConfigCommand(const Invocation& inv, CliContext& ctx) {
    ctx.logToStandardError = true; // standard output carries the result
    Console console(ctx, inv.quiet);
    const DeviceFile file = LoadDeviceFile(inv, ctx);
    // The device's word names, with words they do not cover shown unnamed.
    const auto namesOf = [&](const device::TPicDevice& device) {
        if (device.ConfigurationWord.Size <= 0)
            throw CliFailure(ExitStatus::Trouble, device.Name + ": " + file.label + " gives it no configuration word");
        std::vector<device::ConfigWordNames> names = LoadConfigNames(file, device, ctx, console);
        for (std::int32_t a = device.ConfigurationWord.Address;
             a < device.ConfigurationWord.Address + device.ConfigurationWord.Size; ++a)
            if (std::none_of(names.begin(), names.end(), [&](const auto& w) { return w.address == a; }))
                names.push_back({"CONFIG" + std::to_string(a - device.ConfigurationWord.Address + 1), a, {}});
        std::sort(names.begin(), names.end(), [](const auto& x, const auto& y) { return x.address < y.address; });
        return names;
    };
    const std::optional<device::TPicDevice> named = NamedDevice(file, inv.device);
    if (named)
        namesOf(*named); // a damaged names file is refused before the port opens
    CheckedChip chip(ctx, inv, file, named, console);
    const device::TPicDevice& device = chip.Device();
    const std::vector<device::ConfigWordNames> names = namesOf(device);
    const ChipWords read =
        ReadChipWords(chip.session, ctx, console, device, {device.ConfigurationWord}, chip.choice.check, "READ");
    if (read.status != ExitStatus::Success)
        return read.status;

    const std::uint16_t bandgap = device.Algorithm.Calibration.BandgapMask;
    JsonWriter json;
    json.BeginObject().Member("device", device.Name).Key("words").BeginArray();
    for (const device::ConfigWordNames& word : names) {
        const auto found = read.words.find(word.address);
        if (found == read.words.end()) {
            console.Note(word.name + " (" + Hex4(word.address) + ") lies outside the " + device.Name +
                         "'s configuration words in " + file.label + ": not read");
            continue;
        }
        const std::uint16_t value = found->second;
        if (word.address == device.ConfigurationWord.Address && device.Algorithm.LockOut.LocksOut(value))
            console.Error("warning: the chip's " + programmer::LockOutText(device, value));
        const std::vector<device::DecodedField> fields = device::DecodeConfigWord(word, value);
        const bool hasBandgap = bandgap != 0 && word.address == device.ConfigurationWord.Address;
        json.BeginObject()
            .Member("name", word.name)
            .Member("address", word.address)
            .Member("value", value)
            .Key("fields")
            .BeginArray();
        std::size_t nameWidth = hasBandgap ? 2 : 0, valueWidth = hasBandgap ? 11 : 1;
        for (const device::DecodedField& f : fields) {
            nameWidth = std::max(nameWidth, f.field->name.size());
            valueWidth = std::max(valueWidth, f.value ? f.value->name.size() : 1);
            json.BeginObject()
                .Member("name", f.field->name)
                .Member("mask", f.field->mask)
                .Member("bits", f.bits)
                .Key("value");
            if (f.value)
                json.String(f.value->name).Member("description", f.value->description);
            else
                json.Null();
            json.EndObject();
        }
        json.EndArray();
        if (hasBandgap)
            json.Key("calibration").BeginObject().Member("mask", bandgap).Member("bits", value & bandgap).EndObject();
        json.EndObject();
        if (inv.json)
            continue;

        console.Result(word.name + " " + Hex4(word.address) + " = " + Hex4(value));
        for (const device::DecodedField& f : fields)
            console.Result("  " + Padded(f.field->name, nameWidth) + " = " +
                           Padded(f.value ? f.value->name : "?", valueWidth) + "  [" + Hex4(f.field->mask) + ": " +
                           Hex4(f.bits) + "]  " +
                           (f.value ? f.value->description : std::string("no name for these bits")));
        if (hasBandgap)
            console.Result("  " + Padded("BG", nameWidth) + " = " + Padded("calibration", valueWidth) + "  [" +
                           Hex4(bandgap) + ": " + Hex4(value & bandgap) +
                           "]  the chip's own bandgap calibration, kept by every run");
    }
    json.EndArray().EndObject();
    if (inv.json)
        console.Result(json.Text());
    return ExitStatus::Success;
}

} // namespace vandrel::cli
