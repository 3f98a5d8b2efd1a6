#include "common/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

namespace vandrel {

namespace {

std::string ErrnoText(int fallback) { return std::strerror(errno != 0 ? errno : fallback); }

// A name beside the target that no other writer picks.
std::string TemporaryNameFor(const std::string& path) {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx~", static_cast<unsigned long long>(generator()));
    return path + suffix;
}

} // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() { Discard(); }

std::string AtomicFile::Prepare() {
    if (file_ != nullptr || (prepared_ && direct_))
        return {};
    namespace fs = std::filesystem;
    std::error_code ec;
    target_ = path_;
    // /dev/stdout, /dev/fd/1 or /proc/self/fd/1 stand for a file already open,
    // perhaps one a shell appends to: added to, never replaced or cut short.
    appends_ = path_ == "/dev/stdout" || path_ == "/dev/stderr" || path_.rfind("/dev/fd/", 0) == 0 ||
               path_.rfind("/proc/", 0) == 0;
    direct_ = appends_;
    if (!direct_ && fs::is_symlink(fs::symlink_status(path_, ec))) {
        // A link that leads nowhere yet is written through: the file it names appears.
        const fs::path real = fs::canonical(path_, ec);
        if (ec)
            direct_ = true;
        else
            target_ = real.string();
    }
    const fs::file_status status = fs::status(target_, ec);
    // A directory would only be found at the rename, after all the work.
    if (fs::is_directory(status))
        return std::strerror(EISDIR);
    if (fs::exists(status) && !fs::is_regular_file(status))
        direct_ = true;
    prepared_ = true;
    // Opening a FIFO waits for its reader: that waits until the text is there.
    if (direct_)
        return {};
    temp_ = TemporaryNameFor(target_);
    errno = 0;
    file_ = std::fopen(temp_.c_str(), "wb");
    if (file_ == nullptr) {
        const std::string reason = ErrnoText(EIO);
        temp_.clear();
        prepared_ = false;
        return reason;
    }
    return {};
}

std::string AtomicFile::WriteInPlace(std::string_view text) {
    errno = 0;
    std::FILE* file = std::fopen(target_.c_str(), appends_ ? "ab" : "wb");
    if (file == nullptr)
        return ErrnoText(EIO);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    std::string reason = written ? std::string{} : ErrnoText(EIO);
    errno = 0;
    if (std::fclose(file) != 0 && reason.empty())
        reason = ErrnoText(EIO);
    return reason;
}

std::string AtomicFile::Commit(std::string_view text) {
    if (std::string reason = Prepare(); !reason.empty())
        return reason;
    if (direct_)
        return WriteInPlace(text);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
                         std::fflush(file_) == 0 && detail::FlushFileToDisk(file_);
    std::string reason = written ? std::string{} : ErrnoText(EIO);
    errno = 0;
    if (std::fclose(std::exchange(file_, nullptr)) != 0 && reason.empty())
        reason = ErrnoText(EIO);
    if (reason.empty())
        reason = detail::RenameOver(temp_, target_);
    if (!reason.empty()) {
        Discard();
        return reason;
    }
    temp_.clear();
    return {};
}

void AtomicFile::Discard() {
    prepared_ = false;
    if (file_ != nullptr)
        std::fclose(std::exchange(file_, nullptr));
    if (!temp_.empty())
        std::remove(std::exchange(temp_, std::string{}).c_str());
}

std::string WriteFileAtomically(const std::string& path, std::string_view text) {
    AtomicFile file(path);
    return file.Commit(text);
}

} // namespace vandrel
