#include "image/image_source.h"

#include <system_error>

#include "image/hex_file.h"

namespace vandrel::image {

namespace {

constexpr const char* kCannotLoad = "Cannot load hexfile.";

} // namespace

std::optional<TFileStamp> StampOf(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec)) return std::nullopt;
    TFileStamp stamp{path, fs::file_size(path, ec), {}};
    if (ec) return std::nullopt;
    stamp.Time = fs::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return stamp;
}

bool NamesSameFile(const std::string& a, const std::string& b)
{
    if (a == b) return true;
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

ReloadReason ReasonToReload(const std::optional<TFileStamp>& loaded, const std::string& path)
{
    if (path.empty() || !loaded) return ReloadReason::None;
    if (!NamesSameFile(loaded->Path, path)) return ReloadReason::OtherFile;
    const std::optional<TFileStamp> now = StampOf(path);
    if (!now || now->Size != loaded->Size || now->Time != loaded->Time) return ReloadReason::Changed;
    return ReloadReason::None;
}

std::string ReloadLine(const std::string& path, ReloadReason reason)
{
    switch (reason) {
    case ReloadReason::None: break;
    case ReloadReason::OtherFile: return "Reloaded " + path + ": the path names another file.";
    case ReloadReason::Changed: return "Reloaded " + path + ": the file changed since it was loaded.";
    }
    return {};
}

std::string NotHexFileText(const std::string& path)
{
    return path + " is not an Intel HEX file: it holds no HEX record.";
}

TRunImageCheck PrepareRunImage(THexFile& image, const std::string& path)
{
    TRunImageCheck check;
    const ReloadReason reason = ReasonToReload(image.Source(), path);
    if (reason != ReloadReason::None) {
        // A file that is gone leaves the image as it was, but it is not what
        // the path names any more.
        if (!StampOf(path)) {
            check.Refusal = kCannotLoad;
            return check;
        }
        check.Reloaded = true;
        try {
            image.LoadFromFile(path);
        } catch (const EHexFileError&) {
            check.Refusal = kCannotLoad;
            return check;
        }
        check.LogLine = ReloadLine(path, reason);
    }
    if (image.Source()) {
        if (image.RecordCount() == 0) check.Refusal = NotHexFileText(image.Source()->Path);
        return check;
    }
    // An empty image from no file: the run reads `path` at its image check,
    // after the erase. A file it would find nothing in is refused now.
    if (image.CountWords({0, THexFile::kWords}) != 0 || !StampOf(path)) return check;
    THexFile probe;
    try {
        probe.LoadFromFile(path);
    } catch (const EHexFileError&) {
        check.Refusal = kCannotLoad;
        return check;
    }
    if (probe.RecordCount() == 0) check.Refusal = NotHexFileText(path);
    return check;
}

} // namespace vandrel::image
