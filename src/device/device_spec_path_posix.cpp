#include "device/executable_directory.h"

#include <unistd.h>

#include <vector>

namespace vandrel::device {

std::string ExecutableDirectory()
{
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(n));
            auto slash = path.rfind('/');
            return slash == std::string::npos ? std::string{} : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2); // the link may have been cut short
    }
}

} // namespace vandrel::device
