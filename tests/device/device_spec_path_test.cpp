#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device/device_spec_path_p.h"
#include "support/temp_dir.h"

namespace vandrel::device {
namespace {

using test::TempDir;

namespace fs = std::filesystem;

// A program's folder tree in a temporary directory: <root>/bin holds the
// program, <root>/share/vandrel1 the installed device file.
class DeviceSpecLookupTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(root_ / "bin"); }
    // The program's directory as the OS half gives it: with its separator.
    std::string BinDir() const { return (root_ / "bin").string() + static_cast<char>(fs::path::preferred_separator); }
    std::string Beside() const { return BinDir() + "picspecs.ini"; }
    fs::path Installed() const { return root_ / "share" / "vandrel1" / "picspecs.ini"; }
    void Touch(const fs::path& file) const
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << "[PIC16F84A]\n";
    }

    TempDir tree_{"vandrel_lookup"};
    const fs::path& root_ = tree_.Path();
};

TEST_F(DeviceSpecLookupTest, TheFileBesideTheProgramWinsAndIsNamedWhenThereIsNone)
{
    EXPECT_EQ(DeviceSpecPathIn(BinDir()), Beside());
    Touch(Installed());
    Touch(Beside());
    EXPECT_EQ(DeviceSpecPathIn(BinDir()), Beside());
}

TEST_F(DeviceSpecLookupTest, AnInstalledProgramFindsTheSharedCopyByAPlainPath)
{
    Touch(Installed());
    const std::string found = DeviceSpecPathIn(BinDir());
    EXPECT_TRUE(fs::equivalent(found, Installed())) << found;
    // The path is shown to users (the CLI's device list): no "bin/..".
    EXPECT_EQ(found.find(".."), std::string::npos) << found;
    EXPECT_EQ(fs::path(found), Installed().lexically_normal());
}

TEST_F(DeviceSpecLookupTest, OnlyTheOneInstalledPlaceIsTried)
{
    // Near misses: none of these is the installed copy.
    Touch(root_ / "picspecs.ini");
    Touch(root_ / "share" / "picspecs.ini");
    Touch(root_ / "vandrel1" / "picspecs.ini");
    Touch(root_ / "bin" / "share" / "vandrel1" / "picspecs.ini");
    Touch(root_ / "share" / "Vandrel1" / "picspecs.ini.bak");
    EXPECT_EQ(DeviceSpecPathIn(BinDir()), Beside());
}

TEST(DeviceSpecLookupUnknownDirTest, AnUnknownProgramDirectoryMeansTheCurrentDirectoryOnly)
{
    EXPECT_EQ(DeviceSpecPathIn(""), "picspecs.ini");
}

} // namespace
} // namespace vandrel::device
