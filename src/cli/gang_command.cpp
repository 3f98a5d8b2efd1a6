#include "cli/gang_command.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iterator>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "cli/gang_display.h"
#include "cli/gang_report.h"
#include "cli/inputs.h"
#include "cli/interrupt.h"
#include "common/atomic_file.h"
#include "common/scope_exit.h"
#include "common/thread_name.h"

namespace vandrel::cli {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The ports as given, each checked before any opens: a usage error for a
// name that is none, one given twice, or two that share a simulated chip's
// state file. A port that is there in name but not on this machine is left
// to its own run, which fails alone.
std::vector<std::string> CheckPorts(const Invocation& inv, OsSystem& system) {
    const std::vector<std::string> ports = inv.ports.empty() ? std::vector<std::string>{inv.port} : inv.ports;
    std::vector<PortChoice> chosen;
    for (const std::string& name : ports) {
        Invocation one = inv;
        one.port = name;
        if (name.empty())
            throw CliFailure(ExitStatus::Usage, "--port: an empty name among the ports");
        try {
            chosen.push_back(ChoosePort(one, system));
        } catch (const CliFailure& failure) {
            if (failure.Status() == ExitStatus::Usage)
                throw;
            PortChoice unknown;
            unknown.name = name;
            chosen.push_back(unknown);
        }
    }
    for (std::size_t i = 0; i < chosen.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            const PortChoice& a = chosen[i];
            const PortChoice& b = chosen[j];
            if (Upper(a.name) == Upper(b.name))
                throw CliFailure(ExitStatus::Usage, "--port: " + b.name + " is given twice");
            if (!a.devicePath.empty() && a.devicePath == b.devicePath)
                throw CliFailure(ExitStatus::Usage, "--port: " + b.name + " and " + a.name + " are the same adapter, " +
                                                        a.devicePath);
            if (a.simulated && b.simulated && a.simulatedNumber == 0 && b.simulatedNumber == 0)
                throw CliFailure(ExitStatus::Usage, "--port: " + b.name + " and " + a.name +
                                                        " would share one simulated chip; give COM0:1, COM0:2 ...");
        }
    return ports;
}

// "2026-12-08T18:42:44Z".
std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    // Called before the ports' threads start: gmtime's one buffer is this thread's alone.
    const std::tm* utc = std::gmtime(&now);
    char text[32];
    return utc != nullptr && std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) > 0 ? text : "";
}

std::size_t TerminalWidth(const GetEnv& getEnv) {
    const char* columns = getEnv ? getEnv("COLUMNS") : nullptr;
    const long width = columns != nullptr ? std::strtol(columns, nullptr, 10) : 0;
    return width > 0 && width < 1000 ? static_cast<std::size_t>(width) : 80;
}

// One port's whole command, on its own thread, as it would run alone.
void RunOnePort(const Invocation& inv, CliContext& ctx, GangDisplay& display, std::size_t index,
                const std::string& standardInput, PortResult& result) {
    NameThisThread(("run " + result.port).c_str());
    Invocation one = inv;
    one.port = result.port;
    one.ports.clear();
    one.reportPath.clear();
    one.json = false;
    std::istringstream in(standardInput);
    std::function<void(const std::string&)> sink;
    if (ctx.errIsTerminal && !inv.quiet)
        sink = [&display, index](const std::string& text) { display.Progress(index, text); };
    CliContext portCtx{
        .out = display.Out(index),
        .err = display.Err(index),
        .getEnv = ctx.getEnv,
        .clock = ctx.clock,
        .system = ctx.system,
        .errIsTerminal = false,
        .defaultSpecPath = ctx.defaultSpecPath,
        .catchInterrupt = ctx.catchInterrupt,
        .onSimulator = ctx.onSimulator,
        .in = &in,
        .logToStandardError = ctx.logToStandardError,
        .progressSink = std::move(sink),
        .record = &result.record,
    };
    const std::int64_t start = ctx.clock.NowUs();
    const auto fail = [&](ExitStatus status, const std::string& message) {
        result.status = status;
        result.failure = message;
        portCtx.err << message << '\n';
    };
    try {
        result.status = RunProgramCommand(one, portCtx);
    } catch (const CliFailure& failure) {
        fail(failure.Status(), failure.what());
    } catch (const std::exception& error) {
        fail(ExitStatus::Trouble, error.what());
    } catch (...) {
        fail(ExitStatus::Trouble, "the run failed");
    }
    result.us = ctx.clock.NowUs() - start;
    display.Flush(index);
    display.Progress(index, ResultText(result));
}

} // namespace

bool RunsOnSeveralPorts(const Invocation& inv) { return inv.ports.size() > 1 || !inv.reportPath.empty(); }

ExitStatus RunGangCommand(const Invocation& inv, CliContext& ctx) {
    if (inv.command != Command::Program && inv.command != Command::Verify && inv.command != Command::Erase)
        throw CliFailure(ExitStatus::Usage, std::string("several ports: ") + CommandName(inv.command) +
                                                " runs on one; program, verify and erase run on several at once");
    const std::vector<std::string> ports = CheckPorts(inv, ctx.system);
    // Standard input is read once; each port reads its own copy.
    std::string standardInput;
    if (inv.file == kStandardStream && ctx.in != nullptr)
        standardInput.assign(std::istreambuf_iterator<char>(*ctx.in), std::istreambuf_iterator<char>());
    std::optional<AtomicFile> report;
    if (!inv.reportPath.empty()) {
        report.emplace(inv.reportPath);
        if (const std::string error = report->Prepare(); !error.empty())
            throw CliFailure(ExitStatus::Trouble, inv.reportPath + ": " + error);
    }
    const std::string started = UtcNow();

    std::vector<PortResult> results(ports.size());
    {
        GangDisplay display(ctx.out, ctx.err, ctx.clock, ctx.errIsTerminal && !inv.quiet, ports,
                            TerminalWidth(ctx.getEnv));
        std::vector<std::thread> threads;
        const ScopeExit joinAll([&threads] {
            for (std::thread& thread : threads)
                thread.join();
        });
        for (std::size_t i = 0; i < ports.size(); ++i) {
            results[i].port = ports[i];
            threads.emplace_back(RunOnePort, std::cref(inv), std::ref(ctx), std::ref(display), i,
                                 std::cref(standardInput), std::ref(results[i]));
        }
    }

    ExitStatus status = std::all_of(results.begin(), results.end(),
                                    [](const PortResult& r) { return r.status == ExitStatus::Success; })
                            ? ExitStatus::Success
                            : ExitStatus::WordErrors;
    if (std::any_of(results.begin(), results.end(),
                    [](const PortResult& r) { return r.status == ExitStatus::Interrupted; }))
        status = ExitStatus::Interrupted;
    const std::string json = GangReportJson(inv, results, started);
    (inv.json ? ctx.err : ctx.out) << GangTable(results);
    if (inv.json)
        ctx.out << json << '\n';
    ctx.out.flush();
    if (report)
        if (const std::string error = report->Commit(json + "\n"); !error.empty()) {
            ctx.err << inv.reportPath << ": " << error << std::endl;
            if (status != ExitStatus::Interrupted)
                status = ExitStatus::Trouble;
        }
    return status;
}

} // namespace vandrel::cli
