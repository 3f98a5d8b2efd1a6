// The simulated adapter as the program offers it to users without hardware.
// Kept apart from the chip model so that code using only SimChip does not
// pull in the device file reader or the sim driver.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "simulator/sim_programmer.h"

namespace vandrel::simulator {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

std::optional<device::TPicDevice> SimulatorDeviceFromEnvironment() {
    const char* value = std::getenv("VANDREL1_SIMULATOR");
    if (value == nullptr || *value == '\0')
        return std::nullopt;
    const std::string name = value;
    // A name that matches no section would give a record of -1 ranges; only
    // devices the file really lists are simulated.
    std::vector<std::string> devices;
    device::GetDeviceList(devices);
    if (std::none_of(devices.begin(), devices.end(), [&](const std::string& d) { return EqualNoCase(d, name); }))
        return std::nullopt;
    device::TPicDevice spec = device::GetDeviceSpec(name);
    if (spec.Name.empty())
        return std::nullopt;
    return spec;
}

SimulatorSetup MakeUserSimulator(const device::TPicDevice& device, Clock& clock) {
    SimulatorSetup setup;
    setup.chip = std::make_shared<SimChip>(device, clock);
    setup.port = std::make_shared<serial::SimPort>();
    // A programming run is hundreds of thousands of line calls; the user's
    // port keeps none of them.
    setup.port->SetRecording(false);
    setup.port->SetClock(clock);
    setup.port->SetPeer(setup.chip);
    return setup;
}

serial::PortDriverFactory MakeSimulatorFactory(std::shared_ptr<serial::SimPort> port,
                                               serial::PortDriverFactory fallback) {
    return [port = std::move(port), fallback = std::move(fallback)](
               const std::string& deviceName) -> std::unique_ptr<serial::PortDriver> {
        if (EqualNoCase(deviceName, kSimulatorDeviceName))
            return std::make_unique<serial::SimPortDriver>(port);
        if (fallback)
            return fallback(deviceName);
        return nullptr;
    };
}

} // namespace vandrel::simulator
