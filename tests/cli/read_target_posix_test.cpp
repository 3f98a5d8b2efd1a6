// read into what is not a regular file: through a symbolic link, into a FIFO.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

class ReadTarget : public CliTest {
protected:
    CliResult Read(const std::string& out) {
        return Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "read", out});
    }
    void SetUp() override {
        ASSERT_EQ(Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "program", ExampleHex()}).status, 0);
    }
};

TEST_F(ReadTarget, ASymbolicLinkStaysALinkAndItsTargetGetsTheFile) {
    const std::string target = dir.Write("real.hex", "old");
    const std::string link = dir / "link.hex";
    std::filesystem::create_symlink(target, link);
    const CliResult r = Read(link);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(WordsOf(target).at(0), 0x2805);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 3u) << "the state file, the target and the link: no temporary file left";
}

TEST_F(ReadTarget, AFifoIsWrittenToItsReaderNotReplaced) {
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reader is there first, so that the program's open does not wait.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const CliResult r = Read(fifo);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{reader, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const auto n = ::read(reader, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(Lines(text).front(), ":020000040000FA");
    EXPECT_EQ(Lines(text).back(), ":00000001FF");
}

TEST_F(ReadTarget, TheNameOfAnOpenFileIsAddedToNotReplaced) {
    // As "read /dev/stdout >> log" does: the log keeps what it had.
    const std::string log = dir.Write("log", "first\n");
    const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const CliResult r = Read("/dev/fd/" + std::to_string(fd));
    ::close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(ReadWholeFile(log));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "first");
    EXPECT_EQ(lines[1], ":020000040000FA");
}

} // namespace
} // namespace vandrel::test
