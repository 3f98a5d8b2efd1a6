#pragma once
// The steps every chip command shares: reading the device ID (the check made
// before a chip is written or read, which also times this adapter's line
// calls), and a run on the console with its estimate, progress and log.
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/chip_session.h"
#include "cli/console.h"
#include "cli/inputs.h"
#include "cli/operation.h"
#include "programmer/device_id.h"
#include "programmer/run_estimate.h"

namespace vandrel::cli {

// The Ctrl-C flag when the context catches SIGINT, else none.
const std::atomic<bool>* InterruptSource(const CliContext& ctx);

struct ChipCheck {
    programmer::ChipIdentity identity;
    std::optional<programmer::Pace> pace; // this adapter's and machine's, measured on the way
};

// ", or a chip set to MCLRE = 0 with its internal oscillator, ...": what a
// chip that answers nothing may also be, on a device with the lock-out guard.
std::string LockOutHint(const device::TPicDevice& device);

using programmer::ProbeDevice;
using programmer::DescribeChip;

// Reads the device ID with the window's dump of the configuration area up to
// it, and times that. Throws CliFailure when the port does not open, or Interruption()
// on Ctrl-C.
ChipCheck ReadDeviceId(ChipSession& session, CliContext& ctx, const device::TPicDevice& probe,
                       const DeviceFile& file);

// A dump run that shows nothing: the words it read, by address. Throws
// Interruption() on Ctrl-C, CliFailure when the port fails. `host` keeps the
// run's statuses and times.
std::map<std::int32_t, std::int32_t> QuietDump(ChipSession& session, CliContext& ctx, const device::TPicDevice& device,
                                               const OperationRequest& request, ConsoleHost& host);

// The device a chip command works on, and the ID check made on the way.
struct ChipChoice {
    device::TPicDevice device;
    ChipCheck check;
};

// Reads the device ID. With a device named, goes on only with a chip that is
// it (AcceptChip); with auto, takes the one device of the file whose ID the
// chip answers, and asks for --device when none or several have it.
ChipChoice ChooseChip(ChipSession& session, CliContext& ctx, const std::optional<device::TPicDevice>& named,
                      const DeviceFile& file, bool force, Console& console);


// Goes on only with a chip that is `device`, or when forced; notes what was found.
void AcceptChip(const ChipCheck& check, const device::TPicDevice& device, const DeviceFile& file, bool force,
                const ChipSession& session, Console& console);

// How a run's output is shown.
struct RunDisplay {
    bool wordLines = true;       // log the "AAAA VVVV" lines of a dump
    bool wordsAreResult = false; // the "AAAA VVVV" lines are the command's result: on stdout even with --quiet
    std::string countLabel;      // count dumped words under this step name ("" use the run's steps)
    std::int32_t countTotal = 0;
};

struct RunReport {
    RunOutcome outcome;
    bool started = false; // the run reached its first step
    std::vector<std::string> log;
    std::int64_t runUs = -1;       // first step to closing steps, when it got there
    std::int64_t estimatedUs = -1; // the estimate, when the pace was known
};

// Prints the estimate (when the pace is known), runs the operation with its
// progress line and log, then prints how it ended and how long it took.
RunReport RunOnConsole(ChipSession& session, CliContext& ctx, Console& console, image::THexFile& image,
                       const device::TPicDevice& device, const OperationRequest& request,
                       const OperationPlan& plan, std::optional<programmer::Pace> pace, const RunDisplay& display);

} // namespace vandrel::cli
