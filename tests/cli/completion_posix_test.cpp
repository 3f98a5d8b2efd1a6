// The completion scripts the built program makes: bash loads its script and
// completes commands, options, comma lists and device names with it; the
// other texts name every command.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

struct Shell {
    int status = -1;
    std::string out;
};

class Completion : public ::testing::Test {
protected:
    Shell Sh(const std::string& script) {
        const std::string file = dir.Write("script.sh", script), out = dir / "out";
        const std::string command = "bash '" + file + "' >'" + out + "' 2>&1";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(out)};
    }
    std::string Generated(const std::string& shell) {
        const std::string path = dir / ("completion." + shell);
        const Shell made = Sh("'" VANDREL_CLI_BINARY "' completion " + shell + " >'" + path + "'");
        EXPECT_EQ(made.status, 0) << made.out;
        return path;
    }
    TempDir dir{"vandrel_completion"};
};

TEST_F(Completion, BashLoadsTheScriptAndCompletesWithIt) {
    const std::string script = Generated("bash");
    const std::string binDir = std::filesystem::path(VANDREL_CLI_BINARY).parent_path().string();
    const Shell loaded = Sh("source '" + script + "' && complete -p vandrel1-cli");
    EXPECT_EQ(loaded.status, 0);
    EXPECT_EQ(loaded.out, "complete -F _vandrel1_cli vandrel1-cli\n");

    struct Case {
        std::string words; // the command line; the last word is completed
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"vandrel1-cli bl", "blank-check"},
        {"vandrel1-cli -q con", "config"},
        {"vandrel1-cli program --sk", "--skip-same"},
        {"vandrel1-cli blank-check --area program,d", "program,data"},
        {"vandrel1-cli --js", "--json"},
        {"vandrel1-cli -d PIC16F62", "PIC16F627A PIC16F628A PIC16F627 PIC16F628"},
        {"vandrel1-cli --simulate PIC16F877", "PIC16F877A PIC16F877"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words);
        const Shell done = Sh("PATH='" + binDir + "':$PATH; source '" + script + "'\nCOMP_WORDS=(" + c.words +
                              ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_vandrel1_cli\necho \"${COMPREPLY[*]}\"");
        EXPECT_EQ(done.out, c.expected + "\n");
    }
}

TEST_F(Completion, EveryTextNamesEveryCommand) {
    for (const std::string shell : {"zsh", "fish", "h2m"}) {
        SCOPED_TRACE(shell);
        const std::string text = ReadWholeFile(Generated(shell));
        const auto mark = [&](const std::string& command) {
            return shell == "zsh"    ? "'" + command + ":"
                   : shell == "fish" ? " -a " + command + " "
                                     : "\\fB" + std::regex_replace(command, std::regex("-"), "\\-") + "\\fR";
        };
        for (const std::string command : {"devices", "ports", "program", "verify", "erase", "read", "dump", "detect",
                                          "blank-check", "config"})
            EXPECT_NE(text.find(mark(command)), std::string::npos) << command;
        // The hidden command that makes them is offered nowhere.
        EXPECT_EQ(text.find(mark("completion")), std::string::npos);
    }
}

} // namespace
} // namespace vandrel::test
