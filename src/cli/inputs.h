#pragma once
// The checks made before any port opens: the device file and the device, the
// HEX file, the port name. Each failure is a CliFailure naming what failed.
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/invocation.h"
#include "device/pic_device.h"
#include "image/hex_file.h"

namespace vandrel::cli {

// The device file, read once.
struct DeviceFile {
    std::string label; // how messages name it: "picspecs.ini", or the --spec path
    std::string path;  // the file that was read
    std::string text;
    std::vector<std::string> names; // the sections, in file order

    // The named device (letter case ignored), under the file's own spelling.
    std::optional<device::TPicDevice> Find(const std::string& name) const;
    std::vector<device::TPicDevice> Devices() const;
};

DeviceFile LoadDeviceFile(const Invocation& inv, const CliContext& ctx);

// The device of --device (or its default): a usage error when none is
// given, "PIC16F999: no such device in picspecs.ini" when the file lacks it.
device::TPicDevice RequireDevice(const DeviceFile& file, const std::string& name);

// Loads an Intel HEX file, refusing one that does not exist, cannot be read,
// has no line, or has a line with a wrong checksum ("blink.hex line 7:
// checksum error", lines counted from 1).
void LoadHexFile(const std::string& path, image::THexFile& image);

// The words of the image in the areas chosen, and outside the device's areas.
struct ImageWords {
    std::int32_t chosen = 0;
    std::int32_t outside = 0;
};
ImageWords CountImageWords(const image::THexFile& image, const device::TPicDevice& device, const Areas& areas);

struct PortChoice {
    std::string name;       // "COM3"
    std::string devicePath; // "/dev/ttyS2"; empty for the simulated adapter
    bool simulated = false; // COM0
};

// The port of --port (or its default): a usage error for no port or a name
// that is not COMn; "COM7: no such port" when it leads nowhere; the system's
// reason when the device is there but cannot be opened.
PortChoice ChoosePort(const Invocation& inv, OsSystem& system);

// The whole text of a file, or the system's reason in `error`.
bool ReadTextFile(const std::string& path, std::string& text, std::string& error);

} // namespace vandrel::cli
