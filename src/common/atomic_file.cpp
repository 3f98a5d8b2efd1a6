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
    if (file_ != nullptr)
        return {};
    // A directory would only be found at the rename, after all the work.
    std::error_code ec;
    if (std::filesystem::is_directory(path_, ec))
        return std::strerror(EISDIR);
    temp_ = TemporaryNameFor(path_);
    errno = 0;
    file_ = std::fopen(temp_.c_str(), "wb");
    if (file_ == nullptr) {
        const std::string reason = ErrnoText(EIO);
        temp_.clear();
        return reason;
    }
    return {};
}

std::string AtomicFile::Commit(std::string_view text) {
    if (std::string reason = Prepare(); !reason.empty())
        return reason;
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
                         std::fflush(file_) == 0 && detail::FlushFileToDisk(file_);
    std::string reason = written ? std::string{} : ErrnoText(EIO);
    errno = 0;
    if (std::fclose(std::exchange(file_, nullptr)) != 0 && reason.empty())
        reason = ErrnoText(EIO);
    if (reason.empty())
        reason = detail::RenameOver(temp_, path_);
    if (!reason.empty()) {
        Discard();
        return reason;
    }
    temp_.clear();
    return {};
}

void AtomicFile::Discard() {
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
