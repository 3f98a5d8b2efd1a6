#pragma once
// The one OS-specific piece of the device module.
#include <string>

namespace vandrel::device {

// The directory of the running executable with its trailing path separator;
// empty when the OS cannot tell (the file is then looked for in the current
// directory).
std::string ExecutableDirectory();

} // namespace vandrel::device
