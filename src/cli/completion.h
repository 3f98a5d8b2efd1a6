#pragma once
// Texts made from the command line's own definitions, so that they never
// fall behind it: shell completion scripts for bash, zsh and fish, and the
// list of every command's options for the manual page (a help2man include
// section). `vandrel1-cli completion SHELL` prints them; the build installs them.
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vandrel::cli {

// "bash", "zsh", "fish", "h2m".
std::vector<std::string> CompletionShells();

// The script (or include section) for `shell`, one of CompletionShells().
std::string CompletionScript(const CLI::App& app, const std::string& shell);

} // namespace vandrel::cli
