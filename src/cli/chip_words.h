#pragma once
// Reading chosen memory ranges of a chip word by word, for the commands that
// look at what the chip holds (blank-check, config, program --skip-same):
// one window's dump from the lowest address to the highest, which passes the
// addresses between the ranges without a command.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/chip_run.h"

namespace vandrel::cli {

struct ChipWords {
    std::map<std::int32_t, std::uint16_t> words; // the words of the ranges, as read
    ExitStatus status = ExitStatus::Success;     // of the dump; its failures are already said
};

// Reads the ranges after the chip check, with the check's estimate and a
// progress count under `label`.
ChipWords ReadChipWords(ChipSession& session, CliContext& ctx, Console& console, const device::TPicDevice& device,
                        const std::vector<device::TMemoryRange>& ranges, const ChipCheck& check,
                        const std::string& label);

// An area of the chip as blank-check reports it.
struct ChipArea {
    const char* key;  // in JSON: "program", "userIds", "config", "data"
    const char* name; // "program memory", "user IDs", "configuration", "data EEPROM"
    device::TMemoryRange range;
};
// The areas of the device within the areas chosen (config: the user IDs and
// the configuration words), the empty ones left out.
std::vector<ChipArea> ChosenAreas(const device::TPicDevice& device, const Areas& areas);

// The session, the device ID read and the chip accepted: as `named` (or
// --force), or with no device named the one whose ID the chip answers
// (--device auto). What every command that reads a chip does first.
struct CheckedChip {
    ChipSession session;
    ChipChoice choice;
    CheckedChip(CliContext& ctx, const Invocation& inv, const DeviceFile& file,
                const std::optional<device::TPicDevice>& named, Console& console);
    const device::TPicDevice& Device() const { return choice.device; }
};

} // namespace vandrel::cli
