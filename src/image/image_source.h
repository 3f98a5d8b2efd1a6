#pragma once
// Where an image came from, and what a Download does about it before it
// touches the chip: a path that names another file than the one the image was
// read from, or a file rebuilt since it was read, is read again; a file that
// holds no Intel HEX record is refused.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vandrel::image {

class THexFile;

// A file as it was when it was read: its path as given, its size and its
// modification time.
struct TFileStamp {
    std::string Path;
    std::uintmax_t Size = 0;
    std::filesystem::file_time_type Time{};
};

// The stamp of the regular file at `path` now; none when there is none, or it
// cannot be examined.
std::optional<TFileStamp> StampOf(const std::string& path);

// True when the two paths name one file: the same text, or two names of one
// existing file.
bool NamesSameFile(const std::string& a, const std::string& b);

enum class ReloadReason {
    None,      // the image is what the path names, as the file is now
    OtherFile, // the path names another file than the image was read from
    Changed,   // the file's size or modification time changed since it was read
};

// Whether an image read from `loaded` must be read again for `path` (the path
// field's text). Nothing to do for an empty path, or an image read from no file.
ReloadReason ReasonToReload(const std::optional<TFileStamp>& loaded, const std::string& path);

// The log line of a reload.
std::string ReloadLine(const std::string& path, ReloadReason reason);
// The error box of a file that holds no Intel HEX record, for a load and for a Download.
std::string NotHexFileText(const std::string& path);

// What the window does before a Download starts.
struct TRunImageCheck {
    bool Reloaded = false; // the image was read again (or emptied by a failed read): show its counts
    std::string LogLine;   // the reload's line, when there is one
    std::string Refusal;   // an error box: the Download does not start
};

// Brings `image` up to what `path` names, and says whether a Download may
// start with it:
// - read from another file, or a file changed since: read again; a file that
//   is gone or cannot be read refuses the Download ("Cannot load hexfile.");
// - read from a file without any HEX record: refused;
// - read from no file and empty (the run's image check would read `path`):
//   refused when that file holds no HEX record, without touching `image`.
TRunImageCheck PrepareRunImage(THexFile& image, const std::string& path);

} // namespace vandrel::image
