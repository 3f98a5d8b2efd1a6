#include "device/pic_device.h"

#include <cstdio>
#include <filesystem>
#include <mutex>

#include "device/device_spec_path_p.h"
#include "device/executable_directory.h"
#include "device/ini_file.h"

namespace vandrel::device {

TPicDevice CurrentDevice;

namespace {

std::mutex overrideMutex;
std::string pathOverride;

// The whole file, or nothing when it does not exist. A file that exists but
// cannot be read comes back as an empty text: a file without sections.
std::optional<std::string> ReadSpecFile()
{
    const std::string path = DeviceSpecPath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return std::nullopt;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::string{};
    std::string text;
    char chunk[16384];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::string{};
    return text;
}

// The low 16 bits of a value, as a signed number.
std::int16_t Low16(std::int32_t value)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

TMemoryRange ReadRange(const std::vector<std::string>& section, std::string_view prefix)
{
    TMemoryRange range;
    range.Address = Low16(ReadSpecValue(section, prefix, ".Address"));
    range.Size = Low16(ReadSpecValue(section, prefix, ".Size"));
    return range;
}

// A Maximum.* key: microseconds from 1 to kMostMaximumUs; anything else counts as missing.
std::optional<std::int32_t> MaximumKey(const std::vector<std::string>& section, std::string_view field)
{
    const std::int32_t us = ReadSpecValue(section, "Maximum.", field);
    return us >= 1 && us <= kMostMaximumUs ? std::optional<std::int32_t>(us) : std::nullopt;
}

TMaxima ReadMaxima(const std::vector<std::string>& section)
{
    TMaxima m;
    m.Program = MaximumKey(section, "Program");
    m.Configuration = MaximumKey(section, "Configuration");
    m.Data = MaximumKey(section, "Data");
    m.Erase = MaximumKey(section, "Erase");
    m.ChipErase = MaximumKey(section, "ChipErase");
    m.Unprotect = MaximumKey(section, "Unprotect");
    return m;
}

} // namespace

std::vector<TMaximumUse> MaximaInUse(const TPicDevice& device)
{
    const TMaxima& m = device.Maxima;
    const TEraseAlgorithm& erase = device.Algorithm.Erase;
    const bool data = device.DataMemory.Size > 0;
    const bool chipErase = erase.ProgramCommand == kCodeChipErase;
    std::vector<TMaximumUse> uses;
    const auto use = [&](bool needed, const char* key, const char* cycle, std::optional<std::int32_t> us) {
        if (needed)
            uses.push_back({key, cycle, us});
    };
    use(erase.Unprotect, "Maximum.Unprotect", "code-protect disable", m.Unprotect);
    use(chipErase, "Maximum.ChipErase", "chip erase", m.ChipErase);
    use(data || !chipErase, "Maximum.Erase", "erase", m.Erase);
    use(device.ProgramMemory.Size > 0, "Maximum.Program", "program memory", m.Program);
    use(device.ConfigurationMemory.Size > 0, "Maximum.Configuration", "configuration", m.Configuration);
    use(data, "Maximum.Data", "data EEPROM", m.Data);
    return uses;
}

std::optional<TMaximumUse> MissingMaximum(const TPicDevice& device)
{
    for (const TMaximumUse& use : MaximaInUse(device))
        if (!use.Us)
            return use;
    return std::nullopt;
}

bool InRange(std::int32_t address, TMemoryRange range)
{
    const std::int32_t first = range.Address;
    const std::int32_t last = first + static_cast<std::int32_t>(range.Size) - 1;
    return first <= address && address <= last;
}

std::string DeviceSpecPath()
{
    {
        std::lock_guard lock(overrideMutex);
        if (!pathOverride.empty()) return pathOverride;
    }
    return DeviceSpecPathIn(ExecutableDirectory());
}

void SetDeviceSpecPathOverride(const std::string& path)
{
    std::lock_guard lock(overrideMutex);
    pathOverride = path;
}

std::optional<std::string_view> ReadSpecText(const std::vector<std::string>& section, std::string_view area,
                                             std::string_view field)
{
    for (const std::string& line : section) {
        const std::string_view entry(line);
        const auto eq = entry.find('=');
        if (eq != area.size() + field.size() || !SameTextIgnoringCase(entry.substr(0, area.size()), area)
            || !SameTextIgnoringCase(entry.substr(area.size(), field.size()), field))
            continue;
        return entry.substr(eq + 1);
    }
    return std::nullopt;
}

std::optional<std::string_view> ReadSpecText(const std::vector<std::string>& section, std::string_view Key)
{
    return ReadSpecText(section, Key, {});
}

std::int32_t ReadSpecValue(const std::vector<std::string>& section, std::string_view area, std::string_view field)
{
    const auto text = ReadSpecText(section, area, field);
    return text ? ParseSpecNumber(*text).value_or(-1) : -1;
}

std::int32_t ReadSpecValue(const std::vector<std::string>& section, std::string_view Key)
{
    return ReadSpecValue(section, Key, {});
}

void GetDeviceListFromText(std::string_view iniText, std::vector<std::string>& Strings)
{
    Strings = TIniFile(iniText).SectionNames();
}

namespace {

TPicDevice DeviceFromSection(const std::vector<std::string>& section, const std::string& DeviceName)
{
    TPicDevice device;
    device.Name = DeviceName;
    device.ProgramMemory = ReadRange(section, "ProgramMemory");
    device.DataMemory = ReadRange(section, "DataMemory");
    device.ConfigurationMemory = ReadRange(section, "ConfigurationMemory");
    device.UserID = ReadRange(section, "UserID");
    device.DeviceID = ReadRange(section, "DeviceID");
    device.DeviceIDValue = Low16(ReadSpecValue(section, "DeviceID.Value"));
    device.ConfigurationWord = ReadRange(section, "ConfigurationWord");
    device.LVP = ReadSpecValue(section, "LVP") == 1;
    device.Tprog = ReadSpecValue(section, "Timing.Tprog");
    device.Tdprog = ReadSpecValue(section, "Timing.Tdprog");
    device.Tera = ReadSpecValue(section, "Timing.Tera");
    device.Algorithm = ReadAlgorithm(section, device.ProgramMemory, device.ConfigurationWord);
    device.Maxima = ReadMaxima(section);
    return device;
}

} // namespace

TPicDevice GetDeviceSpecFromText(std::string_view iniText, const std::string& DeviceName)
{
    return DeviceFromSection(TIniFile(iniText).ReadSection(DeviceName), DeviceName);
}

std::vector<TPicDevice> GetAllDevicesFromText(std::string_view iniText)
{
    const TIniFile ini(iniText);
    std::vector<TPicDevice> devices;
    for (const std::string& name : ini.SectionNames())
        devices.push_back(DeviceFromSection(ini.ReadSection(name), name));
    return devices;
}

void GetDeviceList(std::vector<std::string>& Strings)
{
    if (auto text = ReadSpecFile()) GetDeviceListFromText(*text, Strings);
}

TPicDevice GetDeviceSpec(const std::string& DeviceName)
{
    auto text = ReadSpecFile();
    // No file: no device, and numbers that describe no memory (as at start-up).
    if (!text) return TPicDevice{};
    return GetDeviceSpecFromText(*text, DeviceName);
}

std::vector<TPicDevice> GetAllDevices() {
    auto text = ReadSpecFile();
    return text ? GetAllDevicesFromText(*text) : std::vector<TPicDevice>{};
}

} // namespace vandrel::device
