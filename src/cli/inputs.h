#pragma once
// The checks made before any port opens: the device file and the device, the
// HEX file, the port name. Each failure is a CliFailure naming what failed.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/invocation.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "ftdi/ftdi_bus.h"

namespace vandrel::cli {

// The device file, read once.
struct DeviceFile {
    std::string label; // how messages name it: "picspecs.ini", or the --spec path
    std::string path;  // the file that was read
    std::string text;
    std::vector<std::string> names; // the sections, in file order

    // The named device (letter case ignored, "PIC" optional: "16f628a"),
    // under the file's own spelling.
    std::optional<device::TPicDevice> Find(const std::string& name) const;
    // "PIC16F999: no such device in picspecs.ini; did you mean PIC16F819?
    // (vandrel1-cli devices lists them all)".
    std::string NoSuchDevice(const std::string& name) const;
    std::vector<device::TPicDevice> Devices() const;
};

DeviceFile LoadDeviceFile(const Invocation& inv, const CliContext& ctx);

// --device auto: the device ID picks the device.
inline constexpr const char* kAutoDevice = "auto";
bool IsAutoDevice(const std::string& name);

// The device of --device (or its default): a usage error when none is
// given, "PIC16F999: no such device in picspecs.ini ..." when the file lacks it.
device::TPicDevice RequireDevice(const DeviceFile& file, const std::string& name);
// The same, but nothing for auto: the chip then tells.
std::optional<device::TPicDevice> NamedDevice(const DeviceFile& file, const std::string& name);

// "-" for a file: standard input (or standard output, for read).
inline constexpr const char* kStandardStream = "-";

// Loads an Intel HEX file ("-": standard input), refusing one that does not
// exist, cannot be read, has no line, has no HEX record, or has a line with a
// wrong checksum ("blink.hex line 7: checksum error", lines counted from 1).
void LoadHexFile(const std::string& path, image::THexFile& image, std::istream* standardInput = nullptr);

// The words of the image in the areas chosen, and outside the device's areas.
struct ImageWords {
    std::int32_t chosen = 0;
    std::int32_t outside = 0;
    std::int32_t firstOutside = -1; // the lowest address of those outside
    std::int32_t calibration = 0;   // the chip's calibration words (never written)
};
ImageWords CountImageWords(const image::THexFile& image, const device::TPicDevice& device, const Areas& areas);

struct PortChoice {
    std::string name;       // "COM3", "ftdi:A6008isP"
    std::string devicePath; // "/dev/ttyS2", "FT232R USB UART, bus 1 device 5"; empty when simulated
    bool simulated = false; // COM0, or the simulated FT232R (--simulate with an ftdi port)
    int simulatedNumber = 0; // N of COM0:N, a simulated chip of its own (0: COM0's)
    bool byPath = false;    // given as a device path: name is the path as given, devicePath where it leads
    std::optional<ftdi::FtdiTarget> ftdi; // an FT232R cable in bit-bang mode

    // What the run control opens: it takes ports by their COM number. A
    // cable's driver factory answers any number with the cable; COM0 leads
    // to no real device whatever happens; a port given by its path is opened
    // by its path under any number.
    std::string RunPortText() const {
        return ftdi || simulated ? std::string("COM0") : byPath ? std::string("COM999") : name;
    }
};

// The port of --port (or its default): a usage error for no port or a name
// that is neither COMn, a device path (/dev/ttyUSB0, /dev/serial/by-id/...)
// nor ftdi[:SERIAL|:BUS-ADDRESS]; "COM7: no such port; the ports here are
// ..." when it leads nowhere; the system's reason when the device is there but
// cannot be opened. An FT232R cable must be attached and open to this user
// (or be the simulated one when simulating).
PortChoice ChoosePort(const Invocation& inv, OsSystem& system);

// "FT232R USB UART A6008isP, bus 1 device 5".
std::string DescribeCable(const ftdi::FtdiDeviceInfo& cable);

// The whole text of a file, or the system's reason in `error`.
bool ReadTextFile(const std::string& path, std::string& text, std::string& error);

} // namespace vandrel::cli
