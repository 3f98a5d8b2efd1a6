#include "image/hex_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "common/convert.h"

namespace vandrel::image {

namespace {

constexpr std::int32_t kLastAddress = THexFile::kWords - 1;

// The byte at character position pos (0-based) of a line known to hold only
// hexadecimal digits there.
int ByteAt(std::string_view line, std::size_t pos)
{
    return HexDigitValue(line[pos]) * 16 + HexDigitValue(line[pos + 1]);
}

bool IsRecordLine(std::string_view line)
{
    if (line.empty() || line.front() != ':') return false;
    for (std::size_t i = 1; i < line.size(); ++i)
        if (HexDigitValue(line[i]) < 0) return false;
    return true;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::string ChecksumErrorText(int line)
{
    return "HexFile CHKSUM Error at Line:" + std::to_string(line);
}

THexFile::THexFile()
{
    words_.fill(-1);
}

std::int16_t THexFile::GetWord(std::int32_t address) const
{
    if (address < 0 || address > kLastAddress) return -2;
    return words_[static_cast<std::size_t>(address)];
}

void THexFile::SetWord(std::int32_t address, std::int16_t value)
{
    if (address < 0 || address > kLastAddress) return;
    words_[static_cast<std::size_t>(address)] = value;
}

void THexFile::ClearRange(device::TMemoryRange range)
{
    const std::int32_t first = std::max<std::int32_t>(range.Address, 0);
    const std::int32_t last = std::min<std::int32_t>(range.Address + range.Size - 1, kLastAddress);
    for (std::int32_t a = first; a <= last; ++a) words_[static_cast<std::size_t>(a)] = -1;
}

void THexFile::Clear()
{
    words_.fill(-1);
    source_.reset();
}

std::int32_t THexFile::CountWords(device::TMemoryRange range) const
{
    const std::int32_t first = std::max<std::int32_t>(range.Address, 0);
    const std::int32_t last = std::min<std::int32_t>(range.Address + range.Size - 1, kLastAddress);
    std::int32_t count = 0;
    for (std::int32_t a = first; a <= last; ++a)
        if (words_[static_cast<std::size_t>(a)] >= 0) ++count;
    return count;
}

bool THexFile::LoadFromFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    Clear();
    recordCount_ = 0;
    // Taken before the read: a file rewritten meanwhile differs from it later.
    // One that cannot be examined gets a size no file has, so it never matches.
    TFileStamp stamp = StampOf(path).value_or(TFileStamp{path, UINTMAX_MAX, {}});

    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw EHexFileError(std::strerror(errno != 0 ? errno : EIO));

    std::string text;
    char chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        text.append(chunk, n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(file.get())) throw EHexFileError(std::strerror(errno != 0 ? errno : EIO));
    file.reset();

    const bool loaded = LoadFromText(text);
    source_ = std::move(stamp);
    return loaded;
}

bool THexFile::LoadFromText(std::string_view text)
{
    Clear();
    recordCount_ = 0;
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    if (text.empty()) return false;

    int lineNumber = 0;
    while (!text.empty()) {
        // A line ends at CR, at LF, or at CR followed by LF.
        const auto eol = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, eol);
        if (eol == std::string_view::npos)
            text = {};
        else
            text.remove_prefix(eol + ((text[eol] == '\r' && eol + 1 < text.size() && text[eol + 1] == '\n') ? 2 : 1));

        if (processEvents_) processEvents_();
        LoadRecord(line, lineNumber);
        ++lineNumber;
    }
    return true;
}

void THexFile::LoadRecord(std::string_view line, int lineNumber)
{
    // Positions are 0-based here: LL at 1-2, AAAA at 3-6, TT at 7-8, data from 9, then CC.
    if (!IsRecordLine(line) || line.size() < 11) return;
    const int count = ByteAt(line, 1);
    // A line too short for its own byte count is no record.
    if (line.size() < 11 + 2 * static_cast<std::size_t>(count)) return;
    ++recordCount_;

    const int addressHigh = ByteAt(line, 3);
    const int addressLow = ByteAt(line, 5);
    const int type = ByteAt(line, 7);
    unsigned sum = static_cast<unsigned>(count + addressHigh + addressLow + type);
    for (int k = 0; k < count; ++k) sum += static_cast<unsigned>(ByteAt(line, 9 + 2 * static_cast<std::size_t>(k)));
    sum += static_cast<unsigned>(ByteAt(line, 9 + 2 * static_cast<std::size_t>(count)));
    if ((sum & 0xFFu) != 0 && checksumError_) checksumError_(lineNumber);

    if (type != 0x00) return;
    const std::int32_t firstWord = (addressHigh * 256 + addressLow) / 2;
    for (int k = 0; k < count / 2; ++k) {
        const std::int32_t address = firstWord + k;
        // Words beyond the image have no place in it.
        if (address > kLastAddress) break;
        const std::size_t pos = 9 + 4 * static_cast<std::size_t>(k);
        const int low = ByteAt(line, pos);
        const int high = ByteAt(line, pos + 2);
        words_[static_cast<std::size_t>(address)] =
            static_cast<std::int16_t>(static_cast<std::uint16_t>(low + 256 * high));
    }
}

} // namespace vandrel::image
