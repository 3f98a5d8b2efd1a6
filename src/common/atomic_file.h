#pragma once
// Files written whole or not at all: the text goes to a temporary file beside
// the target, which then takes the target's place in one rename. A reader
// (or a program killed half-way) sees the old contents or the new ones,
// never a mix.
//
// Only a regular file, or a path where there is nothing yet, is replaced
// that way. A symbolic link is followed: the file it leads to is replaced,
// the link stays a link. Anything else (a FIFO, a terminal, a device such as
// /dev/stdout) is opened and written straight, as a shell's redirection
// writes it. A name of a file already open (/dev/stdout, /dev/fd/N,
// /proc/...) is added to, never replaced or cut short: it may lead to a
// regular file that a shell has open for appending.
#include <cstdio>
#include <string>
#include <string_view>

namespace vandrel {

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, so that a target that cannot be written is
    // found before any work is done. "" on success, else the system's reason.
    std::string Prepare();
    // Writes the text and puts the file in place (Prepare first if not done).
    // "" on success, else the system's reason; the target is then untouched.
    std::string Commit(std::string_view text);
    // Drops the temporary file; the target stays as it was.
    void Discard();

    const std::string& Path() const { return path_; }
    // True once Prepare found a target that is written straight, not replaced.
    bool WritesInPlace() const { return direct_; }

private:
    std::string WriteInPlace(std::string_view text);

    std::string path_;
    std::string target_; // path_, or where its symbolic links lead
    bool prepared_ = false;
    bool direct_ = false;
    bool appends_ = false;
    std::string temp_;
    std::FILE* file_ = nullptr;
};

// Prepare and Commit in one: "" on success, else the system's reason.
std::string WriteFileAtomically(const std::string& path, std::string_view text);

// OS halves (atomic_file_posix.cpp, atomic_file_win32.cpp).
namespace detail {
// Forces the written data of an open file to the disk; false on failure (errno set).
bool FlushFileToDisk(std::FILE* file);
// Renames `from` over `to`, replacing it; "" or the system's reason.
std::string RenameOver(const std::string& from, const std::string& to);
} // namespace detail

} // namespace vandrel
