#pragma once
// The Linux port list behind EnumerateComPorts, with its roots as parameters
// so that it can be run on a made-up tree. It only looks; it opens no device.
#include <string>
#include <vector>

#include "serial/com_name_map.h"
#include "serial/com_ports.h"

namespace vandrel::serial {

// The ports under `sysClassTty` (normally /sys/class/tty) that are really there:
// a "device" entry, and for ttyS* a UART type other than unknown (0), so the
// kernel's placeholder ttyS ports stay out. Their devices are named under
// `devDir`. Overrides whose device exists join the list; a mapped port that an
// override also names (the same file after symlinks) is listed once, under the
// override's number. Sorted by COM number.
std::vector<ComPortInfo> ListComPorts(const std::string& sysClassTty, const std::string& devDir,
                                      const std::vector<ComOverride>& overrides);

// The overrides of the user's override file (none when it is absent).
std::vector<ComOverride> LoadComOverrides();

} // namespace vandrel::serial
