#pragma once
// The one display of several adapters' runs at once. Each port's output
// comes through streams of its own and goes out a whole line at a time, led
// by "[port] ", so that no line is cut into by another port's. On a terminal
// the ports' progress lines stand under the output, one line per port,
// redrawn at most ten times a second and wiped before any other output.
// Every member may be called from any port's thread.
#include <cstddef>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "common/clock.h"

namespace vandrel::cli {

class GangDisplay {
public:
    // `width`: the terminal's columns (a progress line is cut to fit them).
    GangDisplay(std::ostream& out, std::ostream& err, Clock& clock, bool progress, std::vector<std::string> ports,
                std::size_t width = 80);
    ~GangDisplay();
    GangDisplay(const GangDisplay&) = delete;
    GangDisplay& operator=(const GangDisplay&) = delete;

    // The streams a port's run writes to, standard output's and standard error's.
    std::ostream& Out(std::size_t port);
    std::ostream& Err(std::size_t port);
    // Hands on what is left of a line the port did not end.
    void Flush(std::size_t port);

    // A port's progress text: the run's progress line, or how it ended.
    void Progress(std::size_t port, const std::string& text);
    // Wipes the progress lines for good, before the table.
    void Finish();

    // A whole line of a port's output.
    void Line(std::size_t port, bool toErr, const std::string& text);

private:
    class PortStreams;
    void WipeLocked();
    void DrawLocked();

    std::ostream& out_;
    std::ostream& err_;
    Clock& clock_;
    bool progress_;
    const std::size_t width_;
    std::vector<std::string> ports_;
    std::vector<std::unique_ptr<PortStreams>> streams_;
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::size_t drawnLines_ = 0;
    std::int64_t lastDrawUs_ = 0;
};

} // namespace vandrel::cli
