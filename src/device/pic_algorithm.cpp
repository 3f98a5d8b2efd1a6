// The algorithm keys of a device section.
#include "device/pic_algorithm.h"

#include <algorithm>
#include <initializer_list>

#include "device/pic_device.h"

namespace vandrel::device {

namespace {

bool OneOf(std::int32_t value, std::initializer_list<int> allowed) {
    for (int a : allowed)
        if (value == a)
            return true;
    return false;
}

// A command key (as area and field): kept only when it names one of `allowed`.
std::optional<int> CommandKey(const std::vector<std::string>& section, std::string_view area, std::string_view field,
                              std::initializer_list<int> allowed) {
    const std::int32_t value = ReadSpecValue(section, area, field);
    return OneOf(value, allowed) ? std::optional<int>(value) : std::nullopt;
}

// A flag key: true exactly when the value reads as the number 1 (as LVP).
bool FlagKey(const std::vector<std::string>& section, std::string_view key) {
    return ReadSpecValue(section, key) == 1;
}

// A bit mask of a 14-bit word; 0 (none) when missing or outside 1..0x3FFF.
std::uint16_t BitsKey(const std::vector<std::string>& section, std::string_view key) {
    const std::int32_t value = ReadSpecValue(section, key);
    return value > 0 && value <= 0x3FFF ? static_cast<std::uint16_t>(value) : 0;
}

TWriteCycle ReadWriteCycle(const std::vector<std::string>& section, std::string_view area) {
    TWriteCycle cycle;
    cycle.Begin = CommandKey(section, area, ".Begin", {kCodeBeginProgramming, kCodeBeginProgrammingOnly})
                      .value_or(kCodeBeginProgramming);
    cycle.End =
        CommandKey(section, area, ".End", {kCodeEndProgramming, kCodeEndProgrammingShort, kCodeEndProgrammingOld});
    // Any wait from 0 ms up; a negative or unreadable one leaves the record's.
    if (const std::int32_t wait = ReadSpecValue(section, area, ".Wait"); wait >= 0)
        cycle.Wait = wait;
    // A maximum only means something for a cycle its End Programming ends.
    if (const std::int32_t most = ReadSpecValue(section, area, ".MaxPulse"); most > 0 && cycle.End)
        cycle.MaxPulseUs = most;
    return cycle;
}

// "0x3FFF,0x0003": a comma-separated list of numbers from 0 to `most`. Any
// entry that is not such a number drops the whole list.
std::vector<std::int32_t> ReadList(const std::vector<std::string>& section, std::string_view key, std::int32_t most) {
    const auto text = ReadSpecText(section, key);
    if (!text)
        return {};
    std::vector<std::int32_t> list;
    std::string_view rest = *text;
    while (true) {
        const auto comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        const auto value = ParseSpecNumber(item);
        if (!value || *value < 0 || *value > most)
            return {};
        list.push_back(*value);
        if (comma == std::string_view::npos)
            return list;
        rest.remove_prefix(comma + 1);
    }
}

// One mask per configuration word; a bad list leaves every bit compared.
std::vector<std::uint16_t> ReadMasks(const std::vector<std::string>& section) {
    const std::vector<std::int32_t> list = ReadList(section, "ConfigurationWord.Mask", 0xFFFF);
    return {list.begin(), list.end()};
}

} // namespace

TAlgorithm ReadAlgorithm(const std::vector<std::string>& section, TMemoryRange programMemory,
                         TMemoryRange configurationWord) {
    TAlgorithm a;
    a.Erase.ProgramCommand = CommandKey(section, "Erase", ".Program", {kCodeBulkEraseProgram, kCodeChipErase})
                                 .value_or(kCodeBulkEraseProgram);
    a.Erase.LoadConfiguration = FlagKey(section, "Erase.LoadConfiguration");
    // 1: before both bulk erases; 0x09: before the program erase only.
    const std::int32_t preload = ReadSpecValue(section, "Erase.Preload");
    a.Erase.PreloadProgram = preload == 1 || preload == kCodeBulkEraseProgram;
    a.Erase.PreloadData = preload == 1;
    a.Erase.Setup = FlagKey(section, "Erase.Setup");
    a.Erase.Unprotect = FlagKey(section, "Erase.Unprotect");
    a.Erase.Trigger = CommandKey(section, "Erase", ".Trigger", {kCodeBeginProgramming, kCodeBeginProgrammingOnly});
    a.Erase.End =
        CommandKey(section, "Erase", ".End", {kCodeEndProgramming, kCodeEndProgrammingShort, kCodeEndProgrammingOld});

    a.Program = ReadWriteCycle(section, "ProgramMemory");
    a.Configuration = ReadWriteCycle(section, "ConfigurationMemory");
    a.Data = ReadWriteCycle(section, "DataMemory");

    // A calibration word outside the program memory, or bandgap bits without
    // a configuration word, would send the run to an address the chip does
    // not have: such keys count as missing.
    // (A missing key reads as -1, which a range read from missing keys holds.)
    if (const std::int32_t osccal = ReadSpecValue(section, "Calibration.OSCCAL");
        osccal >= 0 && InRange(osccal, programMemory))
        a.Calibration.Osccal = osccal;
    if (const std::int32_t bg = ReadSpecValue(section, "Calibration.BG");
        bg > 0 && bg <= 0x3FFF && configurationWord.Address >= 0 && configurationWord.Size > 0)
        a.Calibration.BandgapMask = static_cast<std::uint16_t>(bg);

    // Calibration words live in the configuration space, never on a
    // configuration word; a list with any other address counts as missing.
    const std::vector<std::int32_t> words = ReadList(section, "Calibration.Words", 0x3FFF);
    if (std::all_of(words.begin(), words.end(),
                    [&](std::int32_t w) { return w >= 0x2000 && !InRange(w, configurationWord); }))
        a.Calibration.Words = words;

    // Protection bits need a configuration word to sit in.
    if (configurationWord.Address >= 0 && configurationWord.Size > 0) {
        a.Protection.Code = BitsKey(section, "Protection.CP");
        a.Protection.Data = BitsKey(section, "Protection.CPD");
        if (a.Protection.Any())
            a.Protection.Active = ReadSpecValue(section, "Protection.Active") == 1 ? 1 : 0;
    }

    // The lock-out keys go together: values that are not bits of the
    // oscillator mask, or a key missing, leave the device without a guard.
    if (configurationWord.Address >= 0 && configurationWord.Size > 0) {
        TLockOut lock;
        lock.Mclre = BitsKey(section, "LockOut.MCLRE");
        lock.Oscillator = BitsKey(section, "LockOut.Oscillator");
        for (const std::int32_t v : ReadList(section, "LockOut.Internal", 0x3FFF))
            lock.Internal.push_back(static_cast<std::uint16_t>(v));
        const bool fits = std::all_of(lock.Internal.begin(), lock.Internal.end(),
                                      [&](std::uint16_t v) { return (v & ~lock.Oscillator) == 0; });
        if (lock.Any() && fits && (lock.Mclre & lock.Oscillator) == 0)
            a.LockOut = lock;
    }

    a.ConfigurationMasks = ReadMasks(section);
    return a;
}

std::uint16_t ComparedBits(const TPicDevice& device, std::int32_t address) {
    const TMemoryRange words = device.ConfigurationWord;
    if (!InRange(address, words))
        return 0xFFFF;
    const auto& masks = device.Algorithm.ConfigurationMasks;
    std::uint16_t mask = 0xFFFF;
    if (!masks.empty())
        mask = masks[std::min<std::size_t>(static_cast<std::size_t>(address - words.Address), masks.size() - 1)];
    if (address == words.Address)
        mask = static_cast<std::uint16_t>(mask & ~device.Algorithm.Calibration.BandgapMask);
    return mask;
}

} // namespace vandrel::device
