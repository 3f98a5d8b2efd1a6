// Files replaced whole or not at all.
#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace vandrel {
namespace {

using test::ReadWholeFile;
using test::TempDir;

std::size_t Entries(const TempDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++n;
    return n;
}

TEST(AtomicFile, ReplacesTheTargetWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.Write("state.hex", "old");
    EXPECT_EQ(WriteFileAtomically(path, "new contents"), "");
    EXPECT_EQ(ReadWholeFile(path), "new contents");
    EXPECT_EQ(Entries(dir), 1u);
}

TEST(AtomicFile, ATargetThatCannotBeWrittenIsFoundBeforeAnyWork) {
    TempDir dir;
    AtomicFile missingFolder(dir / "no/such/folder/out.hex");
    EXPECT_EQ(missingFolder.Prepare(), "No such file or directory");
    AtomicFile folder(dir.Path().string());
    EXPECT_EQ(folder.Prepare(), "Is a directory");
    EXPECT_EQ(Entries(dir), 0u);
}

TEST(AtomicFile, DiscardedOrDroppedTheTargetStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.Write("out.hex", "kept");
    {
        AtomicFile file(path);
        ASSERT_EQ(file.Prepare(), "");
        EXPECT_EQ(Entries(dir), 2u); // the temporary file beside it
    }
    EXPECT_EQ(ReadWholeFile(path), "kept");
    EXPECT_EQ(Entries(dir), 1u);

    AtomicFile file(path);
    ASSERT_EQ(file.Prepare(), "");
    file.Discard();
    EXPECT_EQ(Entries(dir), 1u);
    EXPECT_EQ(file.Commit("later"), ""); // a discarded file can still be written
    EXPECT_EQ(ReadWholeFile(path), "later");
}

} // namespace
} // namespace vandrel
