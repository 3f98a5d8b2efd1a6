// Files replaced whole or not at all, and the microsecond side of the clocks.
#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include "common/clock.h"
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

TEST(Clock, MicrosecondWaitsAdvanceVirtualTimeWithoutCountingAsWaits) {
    VirtualClock clock(5);
    clock.WaitUs(1500);
    EXPECT_EQ(clock.NowUs(), 6500);
    EXPECT_EQ(clock.NowMs(), 6);
    EXPECT_EQ(clock.WaitCount(), 0);
    clock.WaitMs(2);
    EXPECT_EQ(clock.NowUs(), 8500);
    EXPECT_EQ(clock.TotalWaitedMs(), 2);
}

TEST(Clock, AMillisecondClockWaitsWholeMillisecondsForMicroseconds) {
    struct MsClock final : Clock {
        std::int64_t now = 0;
        std::int64_t NowMs() const override { return now; }
        void WaitMs(std::int64_t ms) override { now += ms; }
    } clock;
    clock.WaitUs(1);
    EXPECT_EQ(clock.now, 1);
    clock.WaitUs(2000);
    EXPECT_EQ(clock.NowUs(), 3000);
    clock.WaitUs(0);
    EXPECT_EQ(clock.now, 3);
}

} // namespace
} // namespace vandrel
