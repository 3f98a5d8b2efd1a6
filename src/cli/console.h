#pragma once
// The command's output: results on standard output; notes, progress and
// errors on standard error; the run's log lines on standard output, or on
// standard error when standard output carries data (dump, read -, --json).
// --quiet keeps only errors (and the results that are a command's whole
// point: lists, dumped words, the chip's name).
#include <string>

#include "cli/cli_context.h"
#include "cli/progress_line.h"

namespace vandrel::cli {

class Console {
public:
    // dataOnStdout: standard output carries the command's data, so the log
    // lines go to standard error (the context's one switch for it).
    Console(CliContext& ctx, bool quiet, bool dataOnStdout = false)
        : ctx_(ctx), quiet_(quiet),
          progress_(ctx.err, (ctx.errIsTerminal || ctx.progressSink) && !quiet, ctx.clock, ctx.progressSink) {
        ctx.logToStandardError = ctx.logToStandardError || dataOnStdout;
    }

    bool Quiet() const { return quiet_; }
    ProgressLine& Progress() { return progress_; }

    void Log(const std::string& line);    // stdout (stderr when it carries data), unless quiet
    void Note(const std::string& text);   // stderr, unless quiet
    void Error(const std::string& text);  // stderr
    void Result(const std::string& text); // stdout

private:
    CliContext& ctx_;
    const bool quiet_;
    ProgressLine progress_;
};

} // namespace vandrel::cli
