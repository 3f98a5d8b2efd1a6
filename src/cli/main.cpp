// vandrel1-cli: the command-line program beside the window, on the same core.
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "device/pic_device.h"

int main(int argc, char** argv) {
    using namespace vandrel;
    const cli::Utf8Console console;
    const std::unique_ptr<cli::OsSystem> system = cli::MakeOsSystem();
    cli::CliContext ctx{
        .out = std::cout,
        .err = std::cerr,
        .getEnv = [](const char* name) { return std::getenv(name); },
        .clock = RealClock::Instance(),
        .system = *system,
        .errIsTerminal = cli::StandardErrorIsTerminal(),
        .defaultSpecPath = device::DeviceSpecPath(),
        .catchInterrupt = true,
        .onSimulator = {},
        .in = &std::cin,
    };
    return cli::RunCli(std::vector<std::string>(argv, argv + argc), ctx);
}
