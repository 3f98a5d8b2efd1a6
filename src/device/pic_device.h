#pragma once
// Device specifications: the range type, the specification record of one
// device, and the reader of the device specification file picspecs.ini.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/pic_algorithm.h"

namespace vandrel::device {

// A range of word addresses; empty when Size is 0 or less.
struct TMemoryRange {
    std::int16_t Address = 0;
    std::int16_t Size = 0;
    friend bool operator==(const TMemoryRange&, const TMemoryRange&) = default;
};

// True exactly when Address <= address <= Address + Size - 1 (32-bit arithmetic).
bool InRange(std::int32_t address, TMemoryRange range);

// The worst-case times of the chip's programming specification, in
// microseconds (the Maximum.* keys): what each cycle needs at the
// specification's supply voltage. A run with the fast timing waits these
// instead of the described waits; none: the section does not give it.
struct TMaxima {
    std::optional<std::int32_t> Program;       // a program memory cycle
    std::optional<std::int32_t> Configuration; // a configuration area cycle (user IDs, configuration words)
    std::optional<std::int32_t> Data;          // a data EEPROM cycle
    std::optional<std::int32_t> Erase;         // a bulk erase (0x09, 0x0B, triggered or not, or the setup cycle)
    std::optional<std::int32_t> ChipErase;     // the Chip Erase (Erase.Program=0x1F)
    std::optional<std::int32_t> Unprotect;     // the setup cycle from the configuration word (Erase.Unprotect)
    friend bool operator==(const TMaxima&, const TMaxima&) = default;
};

// The longest time a Maximum.* key may give: 10 s.
inline constexpr std::int32_t kMostMaximumUs = 10'000'000;

// How a run times its cycles: the device file's waits, or the maxima.
enum class RunTiming { Described, Fast };

struct TPicDevice {
    std::string Name;                  // empty: no device
    TMemoryRange ProgramMemory;
    TMemoryRange DataMemory;
    TMemoryRange ConfigurationMemory;
    TMemoryRange UserID;
    TMemoryRange DeviceID;
    std::int16_t DeviceIDValue = 0;
    TMemoryRange ConfigurationWord;
    bool LVP = false;
    std::int32_t Tprog = 0;            // ms
    std::int32_t Tdprog = 0;           // ms
    std::int32_t Tera = 0;             // ms
    TAlgorithm Algorithm;              // from the optional algorithm keys
    TMaxima Maxima;                    // from the optional Maximum.* keys
    friend bool operator==(const TPicDevice&, const TPicDevice&) = default;
};

// One Maximum.* key a run of the device waits: its name, the cycle it times
// ("erase") and its value (none: missing, or no time from 1 to kMostMaximumUs).
struct TMaximumUse {
    const char* Key;
    const char* Cycle;
    std::optional<std::int32_t> Us;
};
// The Maximum.* keys the device's cycles need, in the order of a run.
std::vector<TMaximumUse> MaximaInUse(const TPicDevice& device);
// The first of them the section lacks; none when it has them all.
std::optional<TMaximumUse> MissingMaximum(const TPicDevice& device);

// The bits of the word at `address` that a run writes from an image and
// compares: all 16, except in a configuration word, where only its implemented
// bits count (ConfigurationWord.Mask) less the factory calibration bits.
std::uint16_t ComparedBits(const TPicDevice& device, std::int32_t address);

// The device selected in the window; empty Name until one is chosen.
extern TPicDevice CurrentDevice;

// Full path of picspecs.ini: the directory of the running executable +
// "picspecs.ini" when that file exists, else ../share/vandrel1/picspecs.ini
// relative to that directory when that one exists (an installed program).
std::string DeviceSpecPath();
// Tests point the reader at another file; an empty path restores the default.
void SetDeviceSpecPathOverride(const std::string& path);

// Replaces Strings with the section names in file order; leaves it untouched
// when the file does not exist.
void GetDeviceList(std::vector<std::string>& Strings);
// Every device of the file, in file order.
std::vector<TPicDevice> GetAllDevices();
// The specification of the named device (see the file's rules); an empty
// Name when the file does not exist.
TPicDevice GetDeviceSpec(const std::string& DeviceName);

// The same two over the text of a specification file already in memory
// (the file's existence is then taken for granted).
void GetDeviceListFromText(std::string_view iniText, std::vector<std::string>& Strings);
TPicDevice GetDeviceSpecFromText(std::string_view iniText, const std::string& DeviceName);
// Every device of that text, in file order: the text is read once, and each
// device is what GetDeviceSpecFromText gives for its listed name.
std::vector<TPicDevice> GetAllDevicesFromText(std::string_view iniText);

// One key of a section read as key=value lines: the value of the first line
// whose name part (before its first "=") equals Key, letter case ignored, read
// by the number rule; -1 when there is no such line or no number.
std::int32_t ReadSpecValue(const std::vector<std::string>& section, std::string_view Key);
// The raw text after the "=" of that line; nullopt when there is none.
std::optional<std::string_view> ReadSpecText(const std::vector<std::string>& section, std::string_view Key);
// The same two for a key in two parts read as one ("ProgramMemory" + ".Size"):
// the readers ask for such keys without putting them together first.
std::int32_t ReadSpecValue(const std::vector<std::string>& section, std::string_view area, std::string_view field);
std::optional<std::string_view> ReadSpecText(const std::vector<std::string>& section, std::string_view area,
                                             std::string_view field);

// The number rule of the file: decimal with optional sign, or $/x/X/0x/0X
// hexadecimal up to FFFFFFFF (two's complement). nullopt: not a number.
std::optional<std::int32_t> ParseSpecNumber(std::string_view text);

} // namespace vandrel::device
