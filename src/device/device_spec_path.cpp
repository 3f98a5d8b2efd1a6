#include "device/device_spec_path_p.h"

#include <filesystem>
#include <system_error>

namespace vandrel::device {

namespace fs = std::filesystem;

std::string DeviceSpecPathIn(const std::string& executableDirectory)
{
    std::string beside = executableDirectory + "picspecs.ini";
    if (executableDirectory.empty()) return beside;
    std::error_code ec;
    if (fs::exists(fs::path(beside), ec)) return beside;
    // Lexical "..": the directory comes from the OS with its links resolved.
    const fs::path installed =
        (fs::path(executableDirectory) / ".." / "share" / "vandrel1" / "picspecs.ini").lexically_normal();
    if (fs::exists(installed, ec)) return installed.string();
    return beside;
}

} // namespace vandrel::device
