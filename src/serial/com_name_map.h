#pragma once
// The stable map between COM names and Linux serial device paths, as pure
// functions (no file system access):
//
//   /dev/ttyS<n>   -> COM<1 + n>     n = 0..98    (COM1..COM99)
//   /dev/ttyUSB<n> -> COM<100 + n>   n = 0..99    (COM100..COM199)
//   /dev/ttyACM<n> -> COM<200 + n>   n = 0..99    (COM200..COM299)
//   /dev/ttyAMA<n> -> COM<300 + n>   n = 0..99    (COM300..COM399)
//
// Anything else comes from the user's override file: lines "COMn=/device/path",
// blank lines and lines starting with '#' ignored. An override wins over the
// map for its number. COM0 belongs to the simulated adapter and is never mapped.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::serial {

struct ComOverride {
    int Number = 0;
    std::string DevicePath;
    friend bool operator==(const ComOverride&, const ComOverride&) = default;
};

// "COM12" (any case) -> 12; nullopt for anything else. "COM0" -> 0.
std::optional<int> ParseComName(std::string_view name);

// The simulated adapters: "COM0" -> 0, "COM0:N" (any case, N 1 to 99, one
// simulated chip each) -> N; nullopt for anything else.
inline constexpr int kMaxSimulatedPort = 99;
std::optional<int> ParseSimulatedPortName(std::string_view name);

// The COM number of a device path ("/dev/ttyUSB0") or tty name ("ttyUSB0").
std::optional<int> ComNumberForDevice(std::string_view device);

// The device path of a COM number by the map; empty when it maps to none.
std::string DeviceForComNumber(int number);

// The lines of an override file; malformed lines and COM0 are skipped, a later
// line for the same number replaces an earlier one.
std::vector<ComOverride> ParseComOverrides(std::string_view text);

// Where the override file is: $VANDREL1_PORTS, else
// $XDG_CONFIG_HOME/Ostmerin/vandrel1-ports.conf, else
// $HOME/.config/Ostmerin/vandrel1-ports.conf; empty when none can be formed.
std::string ComOverrideFilePath(const std::function<const char*(const char*)>& getEnv);

// The device for a COM name with the given overrides; empty when none.
std::string ResolveComName(std::string_view comName, const std::vector<ComOverride>& overrides);

} // namespace vandrel::serial
