#include "cli/command_line.h"

#include <algorithm>

#include <CLI/CLI.hpp>

#include "cli/os_system.h"
#include "cli/names.h"
#include "cli/completion.h"
#include "cli/gang_help.h"
#include "common/convert.h"
#include "serial/com_ports.h"

#ifndef VANDREL1_VERSION
#define VANDREL1_VERSION "unknown"
#endif

namespace vandrel::cli {

namespace {

constexpr std::int32_t kImageWords = 0x4000;

const char* const kFooter = R"(Each command takes --help.

Examples:
  vandrel1-cli devices
  vandrel1-cli ports
  vandrel1-cli -d PIC16F628A -p COM100 program blink.hex
  vandrel1-cli -d PIC16F628A -p COM100 verify blink.hex
  vandrel1-cli -d PIC16F628A -p COM100 erase
  vandrel1-cli -d PIC16F628A -p COM100 read backup.hex
  vandrel1-cli -d PIC16F628A -p COM100 dump 2000 8
  vandrel1-cli -p COM100 detect
  vandrel1-cli -p /dev/ttyUSB0 read - > backup.hex
  vandrel1-cli -d PIC16F628A -p COM100 blank-check
  vandrel1-cli -d PIC16F628A -p COM100 config --json
  vandrel1-cli -d PIC16F628A -p COM100 program --skip-same blink.hex
  vandrel1-cli -d PIC16F628A -p ftdi program blink.hex
  vandrel1-cli --simulate PIC16F628A program examples/blink628a.hex
  vandrel1-cli --simulate PIC16F628A -p ftdi program examples/blink628a.hex

Environment:
  VANDREL1_DEVICE     default for --device (else auto: the chip's device ID tells)
  VANDREL1_PORT       default for --port
  VANDREL1_SIMULATOR  a device of the device file: COM0 is then that simulated
                      chip, as with --simulate
)";

// After this system's own variables.
const char* const kExitStatusHelp = R"(
Exit status:
  0    success
  1    words that read back wrong, or verify errors; blank-check: not blank;
       detect: not the --device given
  2    usage: the command line is wrong
  3    a file, device or port problem
  130  interrupted (Ctrl-C, or SIGHUP)
  143  terminated (SIGTERM)
)";

std::string Example(const std::string& line) {
    return "Example:\n  " + line + "\nThe options of every command (--device, --port ...) are in vandrel1-cli --help.\n";
}

const char* NonEmpty(const GetEnv& getEnv, const char* name) {
    const char* value = getEnv ? getEnv(name) : nullptr;
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// The areas of --area (none given: all three).
Areas AreasOf(const std::vector<std::string>& names) {
    if (names.empty())
        return {};
    Areas areas{false, false, false};
    for (const std::string& name : names) {
        areas.program = areas.program || name == "program";
        areas.config = areas.config || name == "config";
        areas.data = areas.data || name == "data";
    }
    return areas;
}

void AddPreserveOption(CLI::App& command, Invocation& inv) {
    command.add_flag("--preserve-eeprom,!--no-preserve-eeprom", inv.preserveEeprom,
                     "keep the data EEPROM when the chip's erase takes it and --area does not name\n"
                     "data: read it first, write it back and verify it (the default)");
}

void AddTimingOption(CLI::App& command, std::string& timing) {
    command
        .add_option("--timing", timing,
                    "each cycle waits its maximum from the chip's programming specification instead of the device "
                    "file's wait; safe at the specification's supply voltage, usually 4.5-5.5 V, and about twice "
                    "as fast")
        ->check(CLI::IsMember({"described", "fast"}))
        ->type_name("described|fast");
}

void AddAreaOption(CLI::App& command, std::vector<std::string>& names) {
    command.add_option("-a,--area", names, "memory areas, comma-separated: program, config, data (default: all)")
        ->delimiter(',')
        ->check(CLI::IsMember({"program", "config", "data"}))
        ->type_name("AREAS");
}

void AddReportOption(CLI::App& command, Invocation& inv) {
    command.add_option("--report", inv.reportPath, kReportHelp)->type_name("FILE");
}

// Defaults: an option given beats --simulate, which beats the environment.
void ApplyDefaults(Invocation& inv, bool simulateGiven, const GetEnv& getEnv) {
    if (inv.simulate.empty())
        if (const char* sim = NonEmpty(getEnv, kSimulatorVariable))
            inv.simulate = sim;
    if (inv.device.empty() && simulateGiven)
        inv.device = inv.simulate;
    if (inv.port.empty() && simulateGiven)
        inv.port = serial::kSimulatorPortName;
    if (inv.device.empty())
        if (const char* device = NonEmpty(getEnv, kDeviceVariable))
            inv.device = device;
    if (inv.port.empty())
        if (const char* port = NonEmpty(getEnv, kPortVariable))
            inv.port = port;
    if (inv.device.empty())
        inv.device = inv.simulate;
    // Nothing names the device: the chip's device ID will.
    if (inv.device.empty())
        inv.device = "auto";
    if (inv.port.empty() && !inv.simulate.empty())
        inv.port = serial::kSimulatorPortName;
}

} // namespace

const char* ProgramVersion() { return VANDREL1_VERSION; }

std::int32_t ParseHexArgument(const std::string& what, const std::string& text) {
    std::string digits = text;
    if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0)
        digits.erase(0, 2);
    else if (digits.rfind('$', 0) == 0)
        digits.erase(0, 1);
    const bool hex = !digits.empty() &&
                     std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigitValue(c) >= 0; });
    if (!hex)
        throw CliFailure(ExitStatus::Usage, what + " '" + text + "' is not a hexadecimal number");
    const auto significant = digits.find_first_not_of('0');
    const std::size_t length = significant == std::string::npos ? 0 : digits.size() - significant;
    if (length > 8 || (length == 8 && HexDigitValue(digits[significant]) >= 8))
        throw CliFailure(ExitStatus::Usage, what + " '" + text + "' is too large: the chip's addresses are 0000-3FFF");
    return StrToInt("$" + digits);
}

ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const GetEnv& getEnv, std::ostream& out,
                              std::ostream& err) {
    Invocation inv;
    std::vector<std::string> areaNames;
    bool noErase = false, noVerify = false;
    std::string timing = "described"; // --timing
    std::string address, count;

    CLI::App app("Programs PIC microcontrollers with 14-bit program words in circuit, through a COM port's\n"
                 "modem-control lines, an FT232R USB serial cable's pins in bit-bang mode, or a simulated\n"
                 "chip on COM0.",
                 "vandrel1-cli");
    // The same options on every system: on Windows too, "/path/blink.hex" is
    // a file, not a "/option".
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("vandrel1-cli ") + ProgramVersion());
    app.require_subcommand(0, 1);
    app.fallthrough();
    // Words no command takes are kept, to be named in the error.
    app.allow_extras();
    app.footer(std::string(kFooter) + ThisSystemWords().environment + kExitStatusHelp);
    app.add_option("-d,--device", inv.device,
                   "the device, a section of the device file in any case, PIC optional (16f628a);\n"
                   "auto: the device whose ID the chip answers (default: $VANDREL1_DEVICE, else auto)")
        ->type_name("NAME");
    app.add_option("-p,--port", inv.ports,
                   "the COM port, e.g. COM100, a device path (/dev/ttyUSB0, /dev/serial/by-id/...),\n"
                   "or an FT232R cable in bit-bang mode: ftdi (the first), ftdi:SERIAL or\n"
                   "ftdi:BUS-ADDRESS (default: $VANDREL1_PORT); " + std::string(kSeveralPortsHelp))
        ->delimiter(',')
        ->allow_extra_args(false)
        ->type_name("PORT");
    app.add_option("--simulate", inv.simulate,
                   "offer COM0 with a simulated chip of this device (as $VANDREL1_SIMULATOR), and\n"
                   "the simulated FT232R cable ftdi with the same chip; --device and --port then\n"
                   "default to it and to COM0 (--device auto reads its ID as on a real port)")
        ->type_name("DEVICE");
    app.add_option("--sim-state", inv.simState,
                   "the file where the simulated chip keeps its memories between runs\n"
                   "(default: " + std::string(ThisSystemWords().stateFile) + ")")
        ->type_name("FILE");
    app.add_option("--sim-latency", inv.simLatencyUs,
                   "microseconds each simulated line change takes on COM0, as over a USB serial\n"
                   "adapter (default: 0), or each USB transfer of the simulated FT232R (default: 1000)")
        ->check(CLI::Range(0, 1000000).description(""))
        ->type_name("MICROSECONDS");
    app.add_option("--spec", inv.specPath, "read the devices from this file instead of picspecs.ini")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", inv.quiet, "print errors only: no log lines, notes or progress");
    app.add_flag("-v,--verbose", inv.verbose,
                 "trace the link on standard error: each ICSP command with its line changes and\n"
                 "their time, and the adapter's latency");
    app.add_flag("-f,--force", inv.force,
                 "go on with a chip whose device ID is not the device given, with an image that\n"
                 "has words outside the device (they are left out), or read a protected chip");
    app.add_flag("--json", inv.json,
                 "print the result as JSON on standard output, the log on standard error (devices, ports,\n"
                 "detect, blank-check, config, program, verify, erase)");

    CLI::App* devices = app.add_subcommand("devices", "list the devices of the device file");
    devices->footer(Example("vandrel1-cli devices"));
    CLI::App* ports = app.add_subcommand(
        "ports", "list the COM ports that exist, with their device paths, and the FT232R cables attached");
    ports->footer(Example("vandrel1-cli ports"));

    CLI::App* program = app.add_subcommand("program", "erase, write and verify the chip from an Intel HEX file");
    program->add_option("FILE", inv.file, "the Intel HEX file (-: standard input)")->required();
    AddAreaOption(*program, areaNames);
    AddReportOption(*program, inv);
    program->add_flag("--no-erase", noErase, "do not bulk-erase first");
    program->add_flag("--no-verify", noVerify, "do not verify after writing");
    AddPreserveOption(*program, inv);
    AddTimingOption(*program, timing);
    program->add_flag("--skip-same", inv.skipSame,
                      "read the chosen areas first; erase, write and verify only when the chip differs");
    program->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 program blink.hex") +
                    "Exits 0 only when the run ends with \"complete.\".\n" + kGangFooter);

    CLI::App* verify = app.add_subcommand("verify", "compare the chip with an Intel HEX file");
    verify->add_option("FILE", inv.file, "the Intel HEX file (-: standard input)")->required();
    AddAreaOption(*verify, areaNames);
    AddReportOption(*verify, inv);
    verify->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 verify blink.hex"));

    CLI::App* erase = app.add_subcommand("erase", "bulk-erase program/configuration memory and data EEPROM");
    AddAreaOption(*erase, areaNames);
    AddReportOption(*erase, inv);
    AddPreserveOption(*erase, inv);
    AddTimingOption(*erase, timing);
    erase->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 erase"));

    CLI::App* read = app.add_subcommand(
        "read", "read program memory, user IDs, device ID, configuration word and EEPROM into an Intel HEX file");
    read->add_option("OUT", inv.file,
                     "the file to write (-: standard output): Intel HEX (INHX32, EEPROM at byte address\n"
                     "0x4200) for .hex, .ihx or no extension; raw binary for .bin; others are refused")
        ->required();
    read->add_flag("--all", inv.all, "keep erased program words (3FFF) in the file");
    read->add_option("--format", inv.format,
                     "hex, or bin: the program words from address 0, two bytes each, low byte\n"
                     "first (no configuration word, no EEPROM)")
        ->check(CLI::IsMember({"hex", "bin"}))
        ->type_name("FORMAT");
    read->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 read backup.hex"));

    CLI::App* dump = app.add_subcommand("dump", "list COUNT words from ADDRESS, one \"AAAA VVVV\" line each");
    dump->add_option("ADDRESS", address, "the first word address, hexadecimal")->required();
    dump->add_option("COUNT", count, "the number of words, hexadecimal")->required();
    dump->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 dump 2000 8"));

    CLI::App* detect = app.add_subcommand("detect", "read the device ID and name the device it belongs to");
    detect->footer(Example("vandrel1-cli -p COM100 detect"));

    CLI::App* blankCheck = app.add_subcommand(
        "blank-check", "read the chip and name the first word of each area that is not erased (exit status 1)");
    AddAreaOption(*blankCheck, areaNames);
    blankCheck->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 blank-check"));
    CLI::App* config = app.add_subcommand(
        "config", "read the configuration word(s) and name each field's setting, as gputils names them");
    config->footer(Example("vandrel1-cli -d PIC16F628A -p COM100 config"));
    std::string shell;
    CLI::App* completion = app.add_subcommand("completion", "print a shell completion script");
    completion->group(""); // not in the help
    completion->add_option("SHELL", shell, "bash, zsh or fish; h2m: the commands' options for help2man")
        ->required()
        ->check(CLI::IsMember(CompletionShells()));

    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        return {std::nullopt, code == 0 ? ExitStatus::Success : ExitStatus::Usage};
    }

    if (completion->parsed()) {
        out << CompletionScript(app, shell);
        return {std::nullopt, ExitStatus::Success};
    }

    const auto usage = [&](const std::string& message) {
        err << message << "\nRun with --help for more information.\n";
        return ParseOutcome{std::nullopt, ExitStatus::Usage};
    };
    const std::vector<std::string> stray = app.remaining(true);
    if (!stray.empty() && stray.front().rfind('-', 0) == 0 && stray.front().size() > 1)
        return usage("'" + stray.front() + "' is not an option");
    if (app.get_subcommands().empty()) {
        if (stray.empty())
            return usage("A command is required");
        std::vector<std::string> names;
        for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
            names.push_back(sub->get_name());
        return usage("'" + stray.front() + "' is not a command" + DidYouMean(ClosestNames(stray.front(), names)));
    }
    if (!stray.empty())
        return usage("'" + stray.front() + "' is not expected here");

    const std::pair<CLI::App*, Command> commands[] = {
        {devices, Command::Devices}, {ports, Command::Ports}, {program, Command::Program},
        {verify, Command::Verify},   {erase, Command::Erase}, {read, Command::Read},
        {dump, Command::Dump},       {detect, Command::Detect},
        {blankCheck, Command::BlankCheck}, {config, Command::Config},
    };
    for (const auto& [sub, command] : commands)
        if (sub->parsed())
            inv.command = command;
    if (!inv.ports.empty())
        inv.port = inv.ports.front();
    inv.areas = AreasOf(areaNames);
    inv.erase = !noErase;
    inv.verify = !noVerify;
    inv.fastTiming = timing == "fast";
    ApplyDefaults(inv, !inv.simulate.empty(), getEnv);
    if (inv.json && (inv.command == Command::Read || inv.command == Command::Dump))
        return usage(std::string("--json: ") + CommandName(inv.command) + " gives no JSON");

    try {
        if (inv.command == Command::Dump) {
            inv.address = ParseHexArgument("ADDRESS", address);
            if (count.size() > 1 && count.front() == '-' && ParseHexArgument("COUNT", count.substr(1)) >= 0)
                throw CliFailure(ExitStatus::Usage, "COUNT must be 1 or more, not " + count);
            inv.count = ParseHexArgument("COUNT", count);
            if (inv.address < 0 || inv.address >= kImageWords)
                throw CliFailure(ExitStatus::Usage, "ADDRESS " + address + " lies outside the chip's addresses 0000-3FFF");
            if (inv.count <= 0)
                throw CliFailure(ExitStatus::Usage, "COUNT must be 1 or more, not " + count);
            if (inv.count > kImageWords - inv.address)
                throw CliFailure(ExitStatus::Usage, "ADDRESS + COUNT runs past the last address 3FFF");
        }
    } catch (const CliFailure& failure) {
        err << failure.what() << "\n";
        return {std::nullopt, failure.Status()};
    }
    return {inv, ExitStatus::Success};
}

} // namespace vandrel::cli
