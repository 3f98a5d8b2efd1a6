#include "common/atomic_file.h"

#include "common/windows_api.h"

#include <io.h>

namespace vandrel::detail {

bool FlushFileToDisk(std::FILE* file) { return ::_commit(::_fileno(file)) == 0; }

std::string RenameOver(const std::string& from, const std::string& to) {
    // rename() of the C library will not replace an existing file on Windows.
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD code = ::GetLastError();
    char text[256] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     text, sizeof text, nullptr);
    std::string reason(text, n);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "Windows error " + std::to_string(code) : reason;
}

} // namespace vandrel::detail
