// The HEX writer against the loader: what it writes loads back word for word.
#include "image/hex_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vandrel::image {
namespace {

std::string ExampleText() {
    std::ifstream in(std::string(VANDREL_SOURCE_DIR) + "/examples/blink628a.hex", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string unix;
    for (char c : text.str())
        if (c != '\r')
            unix += c;
    return unix;
}

// Loads `text` and counts the lines whose checksum is wrong.
int Load(THexFile& image, const std::string& text) {
    int bad = 0;
    image.SetChecksumErrorHook([&](int) { ++bad; });
    EXPECT_TRUE(image.LoadFromText(text));
    return bad;
}

void ExpectSameImage(const THexFile& a, const THexFile& b) {
    for (std::int32_t address = 0; address < THexFile::kWords; ++address)
        ASSERT_EQ(a.GetWord(address), b.GetWord(address)) << std::hex << address;
}

TEST(HexWriter, WritesAnAssemblersFileAsTheAssemblerLaidItOut) {
    // gpasm's rows: 16 bytes at most, never across a 16-byte boundary.
    THexFile image;
    ASSERT_EQ(Load(image, ExampleText()), 0);
    EXPECT_EQ(WriteHexText(image), ExampleText());
}

TEST(HexWriter, AnEmptyImageIsTheTwoFramingRecords) {
    EXPECT_EQ(WriteHexText(THexFile{}), ":020000040000FA\n:00000001FF\n");
}

TEST(HexWriter, EveryKindOfWordLoadsBackAsItWas) {
    THexFile image;
    image.SetWord(0x0000, 0x2805);
    image.SetWord(0x0007, 0x0001);      // last word of a 16-byte row ...
    image.SetWord(0x0008, 0x0002);      // ... and the first of the next
    image.SetWord(0x0101, 0x0000);      // a lone word at an odd address
    image.SetWord(0x2007, 0x3F70);      // configuration word: byte address 400E
    image.SetWord(0x2100, 0x00AB);      // EEPROM: byte address 4200
    image.SetWord(0x3FFF, 0x1234);      // the image's last word
    image.SetWord(0x1000, -2);          // negative words other than -1 keep their bits
    image.SetWord(0x1001, static_cast<std::int16_t>(0x8000));
    const std::string text = WriteHexText(image);
    EXPECT_NE(text.find(":02400E00703F01\n"), std::string::npos) << text;
    EXPECT_NE(text.find(":02420000AB0011\n"), std::string::npos) << text;
    EXPECT_NE(text.find(":020000000528D1\n"), std::string::npos) << text;

    THexFile back;
    ASSERT_EQ(Load(back, text), 0);
    ExpectSameImage(image, back);
}

TEST(HexWriter, AFullImageRoundTrips) {
    THexFile image;
    for (std::int32_t address = 0; address < THexFile::kWords; ++address)
        image.SetWord(address, static_cast<std::int16_t>((address * 7919) & 0x3FFF));
    THexFile back;
    ASSERT_EQ(Load(back, WriteHexText(image)), 0);
    ExpectSameImage(image, back);
}

} // namespace
} // namespace vandrel::image
