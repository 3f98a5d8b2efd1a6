#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/ini_file.h"

namespace vandrel::device {
namespace {

using Lines = std::vector<std::string>;

TEST(IniFileTest, SectionsAndKeysIgnoreCaseAndBlanks)
{
    const TIniFile ini("; leading comment\n"
                       "orphan=1\n"
                       "  [ Dev A ]  \r\n"
                       "  Key.One  =  $10  \r\n"
                       "; Key.Two=5\r\n"
                       "no equals sign\r\n"
                       "Key.Two=a=b\r\n"
                       "[dev b]\n");
    EXPECT_EQ(ini.SectionNames(), (Lines{"Dev A", "dev b"}));
    EXPECT_EQ(ini.ReadSection("DEV a"), (Lines{"Key.One=$10", "no equals sign", "Key.Two=a=b"}));
    EXPECT_TRUE(ini.ReadSection("Dev B").empty());
    EXPECT_TRUE(ini.ReadSection("Dev C").empty());
    EXPECT_TRUE(ini.ReadSection("").empty());
}

TEST(IniFileTest, RepeatedSectionIsListedOnceAndTheFirstIsRead)
{
    const TIniFile ini("[A]\nk=1\n[B]\n[a]\nk=2\nj=3\n");
    EXPECT_EQ(ini.SectionNames(), (Lines{"A", "B"}));
    EXPECT_EQ(ini.ReadSection("A"), (Lines{"k=1"}));
}

TEST(IniFileTest, NulEndsTheTextAndOddBytesAreHarmless)
{
    const std::string text = std::string("[A]\nk=\xff\x01\n[\x80]\n", 14) + std::string(1, '\0') + "[Hidden]\n";
    const TIniFile ini(text);
    EXPECT_EQ(ini.SectionNames(), (Lines{"A", "\x80"}));
    EXPECT_EQ(ini.ReadSection("a"), (Lines{"k=\xff\x01"}));
    EXPECT_TRUE(TIniFile("[unclosed\nk=1").ReadSection("unclosed").size() == 1);
}

TEST(IniFileTest, SectionNamesStopWhenTheBufferIsFull)
{
    // 1023 names of 15 characters take 16 bytes each; with the list's closing
    // byte that leaves room for one more name of at most 14 characters.
    std::string text;
    for (int i = 0; i < 1023; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "[Device%09d]\n", i);
        text += name;
    }
    const auto fits = TIniFile(text + "[" + std::string(14, 'F') + "]\n[Z]\n").SectionNames();
    ASSERT_EQ(fits.size(), 1024u);
    EXPECT_EQ(fits[1022], "Device000001022");
    EXPECT_EQ(fits.back(), std::string(14, 'F'));

    const auto full = TIniFile(text + "[" + std::string(15, 'F') + "]\n[Z]\n").SectionNames();
    EXPECT_EQ(full.size(), 1023u);
}

} // namespace
} // namespace vandrel::device
