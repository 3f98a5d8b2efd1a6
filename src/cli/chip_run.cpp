#include "cli/chip_run.h"

#include <cstdio>

#include "cli/interrupt.h"
#include "cli/progress_tracker.h"
#include "cli/run_record.h"
#include "common/convert.h"
#include "common/scope_exit.h"
#include "programmer/run_estimate.h"

namespace vandrel::cli {

namespace {

constexpr const char* kCannotOpen = "Cannot open serial port.";

// An error box as the command line says it: the port's with its reason.
std::string ErrorBoxText(const std::string& box, const ChipSession& session) {
    return box == kCannotOpen ? session.OpenFailure() : box;
}

// How the run ended; a cable whose link failed on the way is a port problem
// of its own, said as the window would say it in an error box.
RunOutcome Outcome(const ConsoleHost& host, bool wantsSummary, const ChipSession& session) {
    RunOutcome outcome = host.Outcome(wantsSummary);
    if (outcome.errorBoxes.empty())
        if (std::optional<std::string> failure = session.LinkFailure())
            outcome.errorBoxes.push_back(std::move(*failure));
    return outcome;
}

std::string Micro(double us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", us);
    return text;
}

std::string Seconds(std::int64_t us);

// -v: the adapter's latency as the device ID read measured it.
void TracePace(ChipSession& session, const std::optional<programmer::Pace>& pace, const OperationSpan& span,
               std::uint64_t calls) {
    if (!pace)
        return;
    session.Trace("trace: adapter: " + Micro(pace->usPerCall) + " per line change, waits " +
                  Micro(pace->usOverWait) + " longer than asked (" + programmer::GroupThousands(calls) + " line changes in " +
                  Seconds(span.Times().elapsedUs) + ")");
}

std::string RefusalTail(bool force) { return force ? " (going on: --force)" : " (--force to go on)"; }

// Run times to the millisecond, for comparing them with the estimate.
std::string Seconds(std::int64_t us) {
    if (us >= 60'000'000)
        return programmer::FormatDuration(us);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(us) / 1e6);
    return text;
}

} // namespace

std::string LockOutHint(const device::TPicDevice& device) {
    return device.Algorithm.LockOut.Any() ? ", or a chip set to MCLRE = 0 with its internal oscillator, which "
                                            "this adapter cannot put into programming mode"
                                          : "";
}

const std::atomic<bool>* InterruptSource(const CliContext& ctx) {
    return ctx.catchInterrupt ? &InterruptFlag() : nullptr;
}


std::map<std::int32_t, std::int32_t> QuietDump(ChipSession& session, CliContext& ctx, const device::TPicDevice& device,
                                               const OperationRequest& request, ConsoleHost& host) {
    image::THexFile noImage;
    host.Interrupt = InterruptSource(ctx);
    session.Run(host, noImage, device, request);
    const RunOutcome outcome = Outcome(host, false, session);
    if (outcome.interrupted)
        throw Interruption();
    if (!outcome.errorBoxes.empty())
        throw CliFailure(ExitStatus::Trouble, ErrorBoxText(outcome.errorBoxes.front(), session));
    std::map<std::int32_t, std::int32_t> words;
    for (const std::string& line : host.Log) {
        std::int32_t at = 0, value = 0;
        if (ParseWordLine(line, at, value))
            words[at] = value;
    }
    return words;
}

ChipCheck ReadDeviceId(ChipSession& session, CliContext& ctx, const device::TPicDevice& probe,
                       const DeviceFile& file) {
    // The configuration area up to the ID: a few more frames to time than the ID alone.
    const std::int32_t address = probe.DeviceID.Address;
    const std::int32_t first = probe.ConfigurationMemory.Address;
    const OperationRequest request = DumpRequest(first, address - first + 1);
    image::THexFile noImage;
    const OperationPlan plan = PlanOperation(probe, noImage, request, session.Link());

    ConsoleHost host(ctx.clock);
    host.RecordPoints = true;
    const std::map<std::int32_t, std::int32_t> words = QuietDump(session, ctx, probe, request, host);
    const auto id = words.find(address);
    if (id == words.end())
        throw CliFailure(ExitStatus::Trouble, session.Describe() + ": the device ID at " + Hex4(address) +
                                                  " could not be read");
    ChipCheck check;
    check.identity = programmer::IdentifyChip(static_cast<std::uint16_t>(id->second), file.Devices());
    if (ctx.record)
        ctx.record->chip = check.identity;
    if (!host.Span.started || !host.Span.ended)
        return check;
    check.pace = programmer::PaceOfRun(plan, host.Span, host.Points, session.Link(), session.UsPerByte());
    if (session.Link() == LinkKind::Ft232r) {
        if (check.pace)
            session.Trace("trace: adapter: " + Micro(check.pace->usPerTransfer) + " per USB transfer and " +
                          Micro(check.pace->usPerByte) + " per byte (" + programmer::GroupThousands(plan.span.Transfers()) +
                          " transfers in " + Seconds(host.Span.Times().elapsedUs) + ")");
        return check;
    }
    TracePace(session, check.pace, host.Span, plan.span.Calls());
    return check;
}


void AcceptChip(const ChipCheck& check, const device::TPicDevice& device, const DeviceFile& file, bool force,
                const ChipSession& session, Console& console) {
    using Kind = programmer::ChipIdentity::Kind;
    const programmer::ChipIdentity& chip = check.identity;
    const std::string where = session.Describe() + ": ";
    // Whatever the chip answers at 2006, it says nothing of a device without an ID.
    if (!programmer::HasDeviceId(device)) {
        const std::string message = where + programmer::CannotIdentify(device) + RefusalTail(force);
        if (!force)
            throw CliFailure(ExitStatus::Trouble, message);
        console.Error(message);
        return;
    }
    if (chip.kind == Kind::NoChip) {
        const std::string message = where + DescribeChip(chip, file.label) +
                                    ": no chip, no power, or a wrong adapter or port" + LockOutHint(device) +
                                    RefusalTail(force);
        if (!force)
            throw CliFailure(ExitStatus::Trouble, message);
        console.Error(message);
        return;
    }
    if (programmer::IdMatches(chip.id, device)) {
        console.Note(where + DescribeChip(chip, file.label));
        return;
    }
    const std::string message = where + "the chip is " + DescribeChip(chip, file.label) + ", not the " +
                                device.Name + " given" + RefusalTail(force);
    if (!force)
        throw CliFailure(ExitStatus::Trouble, message);
    console.Error(message);
}

ChipChoice ChooseChip(ChipSession& session, CliContext& ctx, const std::optional<device::TPicDevice>& named,
                      const DeviceFile& file, bool force, Console& console) {
    using Kind = programmer::ChipIdentity::Kind;
    ChipChoice choice;
    choice.check = ReadDeviceId(session, ctx, ProbeDevice(named ? &*named : nullptr), file);
    if (named) {
        AcceptChip(choice.check, *named, file, force, session, console);
        choice.device = *named;
        return choice;
    }
    const programmer::ChipIdentity& chip = choice.check.identity;
    const std::string where = session.Describe() + ": ";
    const std::string ask = ": give --device NAME (vandrel1-cli devices lists them)";
    if (chip.kind == Kind::NoChip)
        throw CliFailure(ExitStatus::Trouble, where + DescribeChip(chip, file.label) +
                                                  ": no chip, no power, a wrong adapter or port, or a chip "
                                                  "without a device ID" + ask);
    std::vector<device::TPicDevice> matches;
    for (const device::TPicDevice& d : file.Devices())
        if (programmer::IdMatches(chip.id, d))
            matches.push_back(d);
    if (matches.empty())
        throw CliFailure(ExitStatus::Trouble, where + DescribeChip(chip, file.label) + ask);
    if (matches.size() > 1) {
        std::string names;
        for (std::size_t i = 0; i < matches.size(); ++i)
            names += (i == 0 ? "" : i + 1 == matches.size() ? " and " : ", ") + matches[i].Name;
        throw CliFailure(ExitStatus::Trouble, where + "device ID " + Hex4(chip.id) + " is that of " + names + ask);
    }
    choice.device = matches.front();
    console.Note(where + DescribeChip(chip, file.label) + ", taken for --device auto");
    return choice;
}

RunReport RunOnConsole(ChipSession& session, CliContext& ctx, Console& console, image::THexFile& image,
                       const device::TPicDevice& device, const OperationRequest& request,
                       const OperationPlan& plan, std::optional<programmer::Pace> pace, const RunDisplay& display) {
    std::optional<programmer::RunEstimate> estimate;
    if (pace) {
        estimate = EstimateOf(plan, *pace);
        console.Note(programmer::DescribeEstimate(*estimate));
    }

    ProgressTracker progress(console.Progress(), ctx.clock);
    if (pace)
        progress.SetPlan(plan.points, plan.end, *pace);
    if (!display.countLabel.empty())
        progress.CountWords(display.countLabel, display.countTotal);

    ConsoleHost host(ctx.clock);
    host.Interrupt = InterruptSource(ctx);
    host.Progress = &progress;
    session.SetTraceSink([&console](const std::string& line) { console.Error(line); });
    const ScopeExit untraced([&session] { session.SetTraceSink(nullptr); });
    host.OnLog = [&](const std::string& line) {
        std::int32_t address = 0, value = 0;
        const bool word = ParseWordLine(line, address, value);
        if (word && display.wordsAreResult)
            console.Result(line);
        else if (display.wordLines || !word)
            console.Log(line);
    };
    session.Run(host, image, device, request);
    console.Progress().Clear();

    RunReport report;
    report.outcome = Outcome(host, request.WantsSummary(), session);
    report.log = host.Log;
    report.started = host.Span.started;
    if (host.Span.started && host.Span.ended)
        report.runUs = host.Span.Times().elapsedUs;
    if (estimate)
        report.estimatedUs = estimate->TotalUs();
    for (const std::string& box : report.outcome.errorBoxes)
        console.Error(ErrorBoxText(box, session));
    if (report.outcome.interrupted) {
        console.Error("Terminated by user.");
        return report;
    }
    console.Note(host.LastStatus);
    if (host.Span.started && host.Span.ended) {
        std::string took = "The run took " + Seconds(host.Span.Times().elapsedUs);
        if (estimate)
            took += " (estimated " + Seconds(estimate->TotalUs()) + ")";
        console.Note(took + ".");
    }
    return report;
}

} // namespace vandrel::cli
