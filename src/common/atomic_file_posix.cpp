#include "common/atomic_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vandrel::detail {

bool FlushFileToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

std::string RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return std::strerror(errno);
    return {};
}

} // namespace vandrel::detail
