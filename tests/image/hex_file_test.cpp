#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "image/hex_file.h"
#include "image/image_source.h"

namespace vandrel::image {
namespace {

namespace fs = std::filesystem;
using device::TMemoryRange;

// An image whose hooks record what the loader reported.
class HexFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() / ("vandrel_image_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir_);
        image_.SetChecksumErrorHook([this](int line) { checksumLines_.push_back(line); });
        image_.SetProcessEventsHook([this] { ++eventRounds_; });
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string WriteFile(const std::string& text, const std::string& name = "image.hex")
    {
        const auto path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Loads through a buffer of exactly the text's size, so that any read
    // past its end shows under the address sanitizer.
    bool LoadExact(const std::string& text)
    {
        auto buffer = std::make_unique<char[]>(text.size());
        std::memcpy(buffer.get(), text.data(), text.size());
        return image_.LoadFromText(std::string_view(buffer.get(), text.size()));
    }
    std::int32_t CountAll() const { return image_.CountWords(TMemoryRange{0, 0x4000}); }

    fs::path dir_;
    THexFile image_;
    std::vector<int> checksumLines_;
    int eventRounds_ = 0;
};

TEST_F(HexFileTest, NewImageIsEmptyAndBoundsAnswerMinusTwo)
{
    EXPECT_EQ(image_.GetWord(0), -1);
    EXPECT_EQ(image_.GetWord(0x3FFF), -1);
    EXPECT_EQ(image_.GetWord(-1), -2);
    EXPECT_EQ(image_.GetWord(0x4000), -2);
    EXPECT_EQ(image_.GetWord(INT32_MIN), -2);
    image_.SetWord(0x4000, 5); // no place for it
    image_.SetWord(-1, 5);
    EXPECT_EQ(CountAll(), 0);
}

TEST_F(HexFileTest, DataRecordsStoreLowByteFirst)
{
    const std::vector<std::pair<std::string, std::vector<std::pair<int, int>>>> cases = {
        {":040000008312003037", {{0, 0x1283}, {1, 0x3000}}},
        {":02400E00723FFF", {{0x2007, 0x3F72}}},
        {":02420000AB0011", {{0x2100, 0x00AB}}},
        {":03000200010203F5", {{1, 0x0201}, {2, -1}}},  // odd last byte ignored
        {":0200030078562D", {{1, 0x5678}, {2, -1}}},    // odd address: low bit dropped
        {":02000000ffff00", {{0, -1}}},                 // lower case; FFFF is empty
        {":020000000080 7E", {}},                       // a blank inside: no record
        {":020000000080\t7E", {}},
    };
    for (const auto& [line, words] : cases) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(image_.LoadFromText(line + "\r\n"));
        for (const auto& [address, value] : words) EXPECT_EQ(image_.GetWord(address), value);
        EXPECT_EQ(CountAll(), static_cast<int>(std::count_if(words.begin(), words.end(),
                                                             [](auto& w) { return w.second >= 0; })));
    }
    EXPECT_TRUE(checksumLines_.empty());

    EXPECT_TRUE(image_.LoadFromText(":020000000080" "7E\n"));
    EXPECT_LT(image_.GetWord(0), 0); // top bit set: present in the file, empty to every reader
    EXPECT_EQ(CountAll(), 0);
}

TEST_F(HexFileTest, OtherRecordTypesStoreNothingAndDoNotEndTheLoad)
{
    EXPECT_TRUE(image_.LoadFromText(":020000040001F9\n"
                                    ":020000040000FA\n"
                                    ":00000001FF\n"
                                    ":0400000300001234B3\n"
                                    ":02000200AB0051\n"));
    EXPECT_TRUE(checksumLines_.empty());
    EXPECT_EQ(image_.GetWord(0), -1);
    EXPECT_EQ(image_.GetWord(1), 0x00AB); // after the end-of-file record, no upper address applied
    EXPECT_EQ(CountAll(), 1);
}

TEST_F(HexFileTest, ChecksumErrorIsReportedWithZeroBasedLineAndRecordStillUsed)
{
    EXPECT_TRUE(image_.LoadFromText("; header\r\n\r\n:040000008312003038\r\n:00000001FF\r\n"));
    EXPECT_EQ(checksumLines_, std::vector<int>{2});
    EXPECT_EQ(image_.GetWord(0), 0x1283);
    EXPECT_EQ(image_.GetWord(1), 0x3000);
    EXPECT_EQ(ChecksumErrorText(2), "HexFile CHKSUM Error at Line:2");
    EXPECT_EQ(ChecksumErrorText(0), "HexFile CHKSUM Error at Line:0");
}

TEST_F(HexFileTest, LinesEndAtCrLfOrCrLfAndNulEndsTheText)
{
    // Lines: 0 bad (CRLF), 1 bad (CR), 2 empty (CRLF), 3 bad (LF), 4 bad (no end).
    const std::string bad = ":0100000000FE";
    EXPECT_TRUE(image_.LoadFromText(bad + "\r\n" + bad + "\r\r\n" + bad + "\n" + bad));
    EXPECT_EQ(checksumLines_, (std::vector<int>{0, 1, 3, 4}));
    EXPECT_EQ(eventRounds_, 5); // once per line

    checksumLines_.clear();
    eventRounds_ = 0;
    EXPECT_TRUE(image_.LoadFromText(std::string(":020000003412B8\n") + '\0' + bad + "\n"));
    EXPECT_EQ(image_.GetWord(0), 0x1234);
    EXPECT_TRUE(checksumLines_.empty());
    EXPECT_EQ(eventRounds_, 1);

    EXPECT_FALSE(image_.LoadFromText(std::string("\0:020000003412B8\n", 17)));
    EXPECT_EQ(CountAll(), 0);
}

TEST_F(HexFileTest, RecordCountTellsAHexFileFromOtherText)
{
    // Any whole record counts, an end-of-file record or a bad checksum too;
    // text with no record at all loads as an empty image with a count of 0.
    const std::pair<const char*, int> cases[] = {
        {"hello\nworld\n", 0}, {"\n\n", 0}, {":00000001FF\n", 1},
        {":020000003412B8\n:020000003412FF\n:00000001FF\n", 3}, {"; :020000003412B8\n", 0}};
    for (const auto& [text, records] : cases) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(image_.LoadFromText(text));
        EXPECT_EQ(image_.RecordCount(), records);
    }
    EXPECT_FALSE(image_.LoadFromText(""));
    EXPECT_EQ(image_.RecordCount(), 0);
}

TEST_F(HexFileTest, EventsRunBeforeEachLine)
{
    std::vector<std::int16_t> seen;
    image_.SetProcessEventsHook([&] { seen.push_back(image_.GetWord(0)); });
    EXPECT_TRUE(image_.LoadFromText(":020000003412B8\n:020000007856 30\n"));
    EXPECT_EQ(seen, (std::vector<std::int16_t>{-1, 0x1234}));
}

TEST_F(HexFileTest, ShortRecordLinesAreRejectedWithoutReadingPastThem)
{
    for (const std::string text : {":", ":0", ":10", ":1000000", ":100000000", ":0400000083120030",
                                   ":FF000000" "0102", ":020000003412B8\n:10000000"}) {
        SCOPED_TRACE(text);
        checksumLines_.clear();
        EXPECT_TRUE(LoadExact(text));
        EXPECT_TRUE(checksumLines_.empty());
        EXPECT_EQ(image_.GetWord(0), text.starts_with(":020000003412B8\n") ? 0x1234 : -1);
        EXPECT_EQ(image_.GetWord(1), -1);
        EXPECT_EQ(image_.RecordCount(), text.starts_with(":020000003412B8\n") ? 1 : 0);
    }
    // Exactly long enough; what follows the checksum is not read.
    EXPECT_TRUE(LoadExact(":020000003412B8"));
    EXPECT_EQ(image_.GetWord(0), 0x1234);
    EXPECT_TRUE(LoadExact(":020000003412B8AB0"));
    EXPECT_EQ(image_.GetWord(0), 0x1234);
    EXPECT_TRUE(checksumLines_.empty());
}

TEST_F(HexFileTest, WordsBeyondTheImageAreDropped)
{
    // Byte address 0x7FFE: word 0x3FFF fits, the next word would be 0x4000.
    EXPECT_TRUE(image_.LoadFromText(":04FFFE0011223344__\n"));  // not a record
    EXPECT_TRUE(image_.LoadFromText(":047FFE0011223344D5\n"));
    EXPECT_TRUE(checksumLines_.empty());
    EXPECT_EQ(image_.GetWord(0x3FFF), 0x2211);
    EXPECT_EQ(CountAll(), 1);

    // At 0x8000 and up, and running past 0xFFFF: nothing lands anywhere.
    EXPECT_TRUE(image_.LoadFromText(":0280000001027B\n:04FFFE001122334455\n"));
    EXPECT_TRUE(checksumLines_.empty());
    EXPECT_EQ(CountAll(), 0);
}

TEST_F(HexFileTest, RangesStayInsideTheImage)
{
    for (int a = 0; a < 0x4000; ++a) image_.SetWord(a, static_cast<std::int16_t>(a & 0x3FFF));
    EXPECT_EQ(image_.CountWords(TMemoryRange{0x3FF0, 0x20}), 16);
    EXPECT_EQ(image_.CountWords(TMemoryRange{-10, 20}), 10);
    EXPECT_EQ(image_.CountWords(TMemoryRange{0x2100, 0}), 0);
    EXPECT_EQ(image_.CountWords(TMemoryRange{0x2100, -5}), 0);
    EXPECT_EQ(image_.CountWords(TMemoryRange{32767, 32767}), 0);
    EXPECT_EQ(image_.CountWords(TMemoryRange{-32768, -1}), 0);

    image_.ClearRange(TMemoryRange{0x3FF0, 0x7FFF});
    image_.ClearRange(TMemoryRange{-32768, 32767}); // reaches word 0x7FFE - 0x8000 = -2: nothing
    image_.ClearRange(TMemoryRange{-4, 6});          // words 0 and 1
    image_.ClearRange(TMemoryRange{100, 0});
    image_.ClearRange(TMemoryRange{100, -1});
    EXPECT_EQ(image_.GetWord(0), -1);
    EXPECT_EQ(image_.GetWord(1), -1);
    EXPECT_EQ(image_.GetWord(2), 2);
    EXPECT_EQ(image_.GetWord(0x3FEF), 0x3FEF);
    EXPECT_EQ(CountAll(), 0x4000 - 16 - 2);

    image_.Clear();
    EXPECT_EQ(CountAll(), 0);
}

TEST_F(HexFileTest, FileResults)
{
    image_.SetWord(5, 0x55);
    EXPECT_FALSE(image_.LoadFromFile((dir_ / "missing.hex").string()));
    EXPECT_EQ(image_.GetWord(5), 0x55); // kept

    EXPECT_FALSE(image_.LoadFromFile(WriteFile("")));
    EXPECT_EQ(image_.GetWord(5), -1);

    image_.SetWord(5, 0x55);
    EXPECT_TRUE(image_.LoadFromFile(WriteFile("no records here\n\n  :020000003412B8\n")));
    EXPECT_EQ(CountAll(), 0);

    EXPECT_TRUE(image_.LoadFromFile(WriteFile(":040000008312003037\r\n:00000001FF\r\n")));
    EXPECT_EQ(image_.GetWord(0), 0x1283);
    EXPECT_EQ(image_.GetWord(1), 0x3000);
    EXPECT_EQ(eventRounds_, 3 + 2);
}

TEST_F(HexFileTest, UnreadableFileThrowsTheSystemMessageOnAnEmptyImage)
{
    image_.SetWord(5, 0x55);
    const auto path = (dir_ / "folder.hex").string();
    fs::create_directories(path);
    try {
        image_.LoadFromFile(path);
        FAIL() << "no exception";
    } catch (const EHexFileError& e) {
#ifdef _WIN32
        // Windows refuses to open a folder as a file with "Permission denied".
        EXPECT_STREQ(e.what(), std::strerror(EACCES));
#else
        EXPECT_STREQ(e.what(), std::strerror(EISDIR));
#endif
    }
    EXPECT_EQ(image_.GetWord(5), -1);
}

TEST_F(HexFileTest, TheSourceTellsWhenAPathNeedsAReload)
{
    const std::string a = WriteFile(":020000000528D1\n", "a.hex");
    const std::string b = WriteFile(":020000000628D0\n", "b.hex");
    ASSERT_TRUE(image_.LoadFromFile(a));
    const std::optional<TFileStamp> loaded = image_.Source();
    for (const auto& [path, reason] : std::vector<std::pair<std::string, ReloadReason>>{
             {a, ReloadReason::None},
             {(dir_ / "." / "a.hex").string(), ReloadReason::None}, // another spelling of it
             {"", ReloadReason::None},                              // nothing named
             {b, ReloadReason::OtherFile}})
        EXPECT_EQ(ReasonToReload(loaded, path), reason) << path;

    fs::remove(a);
    EXPECT_EQ(ReasonToReload(loaded, a), ReloadReason::Changed);
    EXPECT_EQ(PrepareRunImage(image_, a).Refusal, "Cannot load hexfile.");
    EXPECT_EQ(image_.GetWord(0), 0x2805); // a file that is gone leaves the image

    image_.Clear();
    EXPECT_FALSE(image_.Source());
    EXPECT_EQ(ReasonToReload(image_.Source(), b), ReloadReason::None);
}

} // namespace
} // namespace vandrel::image
