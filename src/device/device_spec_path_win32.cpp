#include "device/executable_directory.h"

#include "common/windows_api.h"

#include <vector>

namespace vandrel::device {

std::string ExecutableDirectory()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // A full buffer means the path was cut short (and may lack its terminator).
        if (n < buffer.size()) {
            std::string path(buffer.data(), n);
            const auto separator = path.find_last_of("\\/");
            return separator == std::string::npos ? std::string{} : path.substr(0, separator + 1);
        }
        if (buffer.size() >= 32768) return {}; // longer than any Win32 path
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace vandrel::device
