// The built program end to end on COM0, on the real clock: program, verify,
// read, detect and dump of the example, as a user types them.
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <regex>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

struct Exit {
    int status = -1;
    std::string out, err;
};

class Binary : public ::testing::Test {
protected:
    // Runs the program with a clean environment of its own.
    Exit Cli(const std::string& args) {
        const std::string out = dir / "stdout", err = dir / "stderr";
        const std::string command = "env -i XDG_STATE_HOME='" + dir / "state" + "' VANDREL1_PORTS='" + dir / "ports" +
                                    "' '" VANDREL_CLI_BINARY "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        Exit e;
        e.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        e.out = ReadWholeFile(out);
        e.err = ReadWholeFile(err);
        return e;
    }

    TempDir dir{"vandrel_cli_binary"};
    const std::string blink = ExampleHex();
};

TEST_F(Binary, ProgramVerifyReadDetectAndDumpOnTheSimulatedChip) {
    const Exit program = Cli("--simulate PIC16F628A program '" + blink + "'");
    EXPECT_EQ(program.status, 0) << program.err;
    EXPECT_EQ(Lines(program.out).back(), "complete.");
    EXPECT_TRUE(std::filesystem::exists(dir / "state/vandrel1/PIC16F628A.hex"));

    const Exit verify = Cli("--simulate PIC16F628A verify '" + blink + "'");
    EXPECT_EQ(verify.status, 0) << verify.err;

    const Exit read = Cli("--simulate PIC16F628A read '" + dir / "back.hex" + "'");
    EXPECT_EQ(read.status, 0) << read.err;
    const auto original = WordsOf(blink), back = WordsOf(dir / "back.hex");
    for (const auto& [address, word] : original)
        EXPECT_EQ(back.count(address) ? back.at(address) : -1, word) << std::hex << address;

    const Exit detect = Cli("--simulate PIC16F628A detect");
    EXPECT_EQ(detect.status, 0);
    EXPECT_EQ(detect.out, "PIC16F628A revision 0 (device ID 1060)\n");

    const Exit dump = Cli("--simulate PIC16F628A dump 0 2");
    EXPECT_EQ(dump.status, 0);
    EXPECT_EQ(dump.out, "0000 2805\n0001 3FFF\n");

    const Exit version = Cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("vandrel1-cli ", 0), 0u);
}

TEST_F(Binary, TheEstimateHoldsWithinTenPercentOnTheRealClock) {
    // The state file is a HEX file: the example itself is a programmed chip.
    std::filesystem::create_directories(dir / "state/vandrel1");
    std::filesystem::copy_file(blink, dir / "state/vandrel1/PIC16F628A.hex");
    // Mostly line calls: a verify of the example at a slow USB adapter's pace.
    // Real time on a shared machine: a run that another process slowed down
    // gets one more try.
    const std::regex pattern(R"(The run took ([0-9.]+) s \(estimated ([0-9.]+) s\)\.)");
    double took = 0, estimated = 0;
    std::string err;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Exit verify = Cli("--simulate PIC16F628A --sim-latency 200 verify '" + blink + "'");
        ASSERT_EQ(verify.status, 0) << verify.err;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(verify.err, m, pattern)) << verify.err;
        took = std::stod(m[1]);
        estimated = std::stod(m[2]);
        err = verify.err;
        if (std::abs(estimated - took) <= took * 0.10)
            break;
    }
    EXPECT_NEAR(estimated, took, took * 0.10) << err;
    EXPECT_GT(took, 3000 * 200e-6); // the latency really was spent
}

TEST_F(Binary, ErrorsAreSaidInWordsWithTheirStatus) {
    const Exit unknown = Cli("--simulate PIC16F8199 erase");
    EXPECT_EQ(unknown.status, 3);
    EXPECT_EQ(unknown.err, "PIC16F8199: no such device in picspecs.ini; did you mean PIC16F819? "
                           "(vandrel1-cli devices lists them all)\n");
    EXPECT_EQ(Cli("").status, 2);
    EXPECT_EQ(Cli("--simulate PIC16F628A dump 0 0").status, 2);
}

} // namespace
} // namespace vandrel::test
