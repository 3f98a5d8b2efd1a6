#include "cli/console.h"

namespace vandrel::cli {

void Console::Log(const std::string& line) {
    if (quiet_)
        return;
    if (ctx_.logToStandardError)
        Error(line);
    else
        Result(line);
}

void Console::Note(const std::string& text) {
    if (!quiet_)
        Error(text);
}

void Console::Error(const std::string& text) {
    progress_.Clear();
    ctx_.out.flush();
    ctx_.err << text << std::endl;
}

void Console::Result(const std::string& text) {
    progress_.Clear();
    ctx_.out << text << '\n';
}

} // namespace vandrel::cli
