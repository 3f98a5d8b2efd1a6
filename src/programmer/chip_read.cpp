#include "programmer/chip_read.h"

#include <algorithm>
#include <vector>

#include "common/convert.h"

namespace vandrel::programmer {

bool ParseWordLine(const std::string& line, std::int32_t& address, std::int32_t& value) {
    if (line.size() != 9 || line[4] != ' ')
        return false;
    std::int32_t parts[2] = {0, 0};
    for (int part = 0; part < 2; ++part) {
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(line[static_cast<std::size_t>(part * 5 + i)]);
            if (digit < 0)
                return false;
            parts[part] = parts[part] * 16 + digit;
        }
    }
    address = parts[0];
    value = parts[1];
    return true;
}

// What a read keeps: program memory, user IDs, device ID, configuration
// word(s), the calibration words of the configuration space and the EEPROM;
// not the rest of the configuration area.
std::vector<device::TMemoryRange> ReadRanges(const device::TPicDevice& d) {
    std::vector<device::TMemoryRange> ranges{d.ProgramMemory, d.UserID, d.DeviceID, d.ConfigurationWord, d.DataMemory};
    for (const std::int32_t w : d.Algorithm.Calibration.Words)
        ranges.push_back({static_cast<std::int16_t>(w), 1});
    return ranges;
}

bool KeptByRead(std::int32_t address, const device::TPicDevice& device) {
    const auto ranges = ReadRanges(device);
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](device::TMemoryRange r) { return device::InRange(address, r); });
}

ReadSpan ReadSpanOf(const device::TPicDevice& device) {
    std::int32_t first = image::THexFile::kWords, end = 0;
    for (device::TMemoryRange r : ReadRanges(device)) {
        if (r.Size <= 0)
            continue;
        first = std::min<std::int32_t>(first, std::max<std::int32_t>(r.Address, 0));
        end = std::max<std::int32_t>(end, std::min<std::int32_t>(r.Address + r.Size, image::THexFile::kWords));
    }
    ReadSpan span;
    if (end <= first)
        return span;
    span.first = first;
    span.count = end - first;
    for (std::int32_t a = first; a < end; ++a)
        span.words += KeptByRead(a, device) ? 1 : 0;
    return span;
}

std::string ProtectionOf(const std::vector<std::string>& log, const device::TPicDevice& device) {
    const device::TProtection& protection = device.Algorithm.Protection;
    for (const std::string& line : log) {
        std::int32_t address = 0, value = 0;
        if (!ParseWordLine(line, address, value) || address != device.ConfigurationWord.Address)
            continue;
        const auto word = static_cast<std::uint16_t>(value);
        const bool code = protection.ProtectsCode(word), data = protection.ProtectsData(word);
        if (!code && !data)
            return "";
        const std::string what = code && data ? "its program memory and EEPROM read"
                                 : code       ? "its program memory reads"
                                              : "its EEPROM reads";
        return std::string("the chip is ") + (code ? "code" : "data") + "-protected (configuration word " +
               Hex4(value) + "): " + what + " as 0000";
    }
    return "";
}

ReadCounts ChipImageFromLog(const std::vector<std::string>& log, const device::TPicDevice& device, bool all,
                            image::THexFile& image) {
    ReadCounts counts;
    for (const std::string& line : log) {
        std::int32_t address = 0, value = 0;
        if (!ParseWordLine(line, address, value) || !KeptByRead(address, device))
            continue;
        ++counts.read;
        if (device::InRange(address, device.DataMemory))
            value &= 0xFF; // an EEPROM cell is the low byte of its word
        else if (!all && device::InRange(address, device.ProgramMemory) && value == kErasedProgramWord)
            continue;
        image.SetWord(address, static_cast<std::int16_t>(value));
        ++counts.kept;
    }
    return counts;
}

} // namespace vandrel::programmer
