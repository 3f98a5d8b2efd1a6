#include "serial/com_name_map.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vandrel::serial {

namespace {

struct Block {
    std::string_view prefix; // tty name prefix
    int first;               // COM number of index 0
    int count;               // indices mapped
};

constexpr std::array<Block, 4> kBlocks = {{
    {"ttyS", 1, 99},
    {"ttyUSB", 100, 100},
    {"ttyACM", 200, 100},
    {"ttyAMA", 300, 100},
}};

constexpr int kMaxComNumber = 99999999; // longest number a device name can carry

// Digits only, no leading zeros (except "0" itself), within `max`.
std::optional<int> ParseIndex(std::string_view digits, int max) {
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    if (digits.size() > 1 && digits[0] == '0')
        return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > max)
        return std::nullopt;
    return value;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<int> ParseComName(std::string_view name) {
    if (name.size() < 4)
        return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return std::nullopt;
    return ParseIndex(name.substr(3), kMaxComNumber);
}

std::optional<int> ParseSimulatedPortName(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (ParseComName(name.substr(0, colon)) != 0)
        return std::nullopt;
    if (colon == std::string_view::npos)
        return 0;
    const std::optional<int> index = ParseIndex(name.substr(colon + 1), kMaxSimulatedPort);
    return index && *index > 0 ? index : std::nullopt;
}

std::optional<int> ComNumberForDevice(std::string_view device) {
    constexpr std::string_view dev = "/dev/";
    if (device.substr(0, dev.size()) == dev)
        device.remove_prefix(dev.size());
    for (const Block& block : kBlocks) {
        if (device.substr(0, block.prefix.size()) != block.prefix)
            continue;
        const auto index = ParseIndex(device.substr(block.prefix.size()), block.count - 1);
        if (!index)
            return std::nullopt;
        return block.first + *index;
    }
    return std::nullopt;
}

std::string DeviceForComNumber(int number) {
    for (const Block& block : kBlocks)
        if (number >= block.first && number < block.first + block.count)
            return "/dev/" + std::string(block.prefix) + std::to_string(number - block.first);
    return {};
}

std::vector<ComOverride> ParseComOverrides(std::string_view text) {
    std::vector<ComOverride> result;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const auto number = ParseComName(Trim(line.substr(0, eq)));
        const std::string_view path = Trim(line.substr(eq + 1));
        if (!number || *number == 0 || path.empty() || path.front() != '/')
            continue;
        auto same = std::find_if(result.begin(), result.end(),
                                 [&](const ComOverride& o) { return o.Number == *number; });
        if (same != result.end())
            same->DevicePath = std::string(path);
        else
            result.push_back(ComOverride{*number, std::string(path)});
    }
    return result;
}

std::string ComOverrideFilePath(const std::function<const char*(const char*)>& getEnv) {
    const auto nonEmpty = [&](const char* name) -> std::string {
        const char* value = getEnv(name);
        return value ? std::string(value) : std::string();
    };
    if (auto explicitFile = nonEmpty("VANDREL1_PORTS"); !explicitFile.empty())
        return explicitFile;
    if (auto config = nonEmpty("XDG_CONFIG_HOME"); !config.empty() && config.front() == '/')
        return config + "/Ostmerin/vandrel1-ports.conf";
    if (auto home = nonEmpty("HOME"); !home.empty())
        return home + "/.config/Ostmerin/vandrel1-ports.conf";
    return {};
}

std::string ResolveComName(std::string_view comName, const std::vector<ComOverride>& overrides) {
    const auto number = ParseComName(comName);
    if (!number || *number == 0)
        return {};
    for (const ComOverride& o : overrides)
        if (o.Number == *number)
            return o.DevicePath;
    return DeviceForComNumber(*number);
}

} // namespace vandrel::serial
