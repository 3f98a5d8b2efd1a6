#pragma once
// The word-addressed memory image of the chip and its Intel HEX loader.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "device/pic_device.h"
#include "image/image_source.h"

namespace vandrel::image {

// Raised by LoadFromFile when a file exists but cannot be read; carries the OS's message.
class EHexFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class THexFile {
public:
    static constexpr std::int32_t kWords = 0x4000;

    // Called once before each line of a load (the window processes its events).
    using ProcessEventsHook = std::function<void()>;
    // Called for a line whose checksum is wrong, with its 0-based line number;
    // the window shows "HexFile CHKSUM Error at Line:" + number and waits for OK.
    using ChecksumErrorHook = std::function<void(int line)>;

    THexFile();
    virtual ~THexFile() = default;

    void SetProcessEventsHook(ProcessEventsHook hook) { processEvents_ = std::move(hook); }
    void SetChecksumErrorHook(ChecksumErrorHook hook) { checksumError_ = std::move(hook); }

    // -2 outside 0..0x3FFF, else the stored word (-1 when empty).
    std::int16_t GetWord(std::int32_t address) const;
    void ClearRange(device::TMemoryRange range);
    // Empties the image; it then comes from no file.
    void Clear();
    // Words of the range holding 0 or more; stops at 0x3FFF.
    std::int32_t CountWords(device::TMemoryRange range) const;
    // Replaces the image by the file's records. False when the file does not
    // exist (image kept) or has no line (image empty). Throws EHexFileError
    // when the file exists but cannot be read.
    bool LoadFromFile(const std::string& path);
    // The same from text already in memory (no file test).
    bool LoadFromText(std::string_view text);
    // Whole Intel HEX records the last load took, whatever their type or
    // checksum: 0 says the file held no HEX record at all.
    std::int32_t RecordCount() const { return recordCount_; }
    // The file the image was last read from, as it was just before the read;
    // none after Clear, LoadFromText, or a file that could not be read.
    const std::optional<TFileStamp>& Source() const { return source_; }

    // Direct access for tests and the simulator's comparisons.
    void SetWord(std::int32_t address, std::int16_t value);

private:
    // Takes one line apart; anything that is not a whole record is passed over.
    void LoadRecord(std::string_view line, int lineNumber);

    std::array<std::int16_t, kWords> words_;
    std::int32_t recordCount_ = 0;
    std::optional<TFileStamp> source_;
    ProcessEventsHook processEvents_;
    ChecksumErrorHook checksumError_;
};

// The text the window shows for a checksum error.
std::string ChecksumErrorText(int line);

} // namespace vandrel::image
