#pragma once
// The operations wired to a simulated PIC behind a simulated port, all on
// virtual time, plus a decoder that turns the recorded line calls back into
// ICSP commands.
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"
#include "serial/comm_x.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_programmer.h"
#include "support/scripted_host.h"

namespace vandrel::test {

device::TPicDevice Pic16F628A();
// A section of the shipped picspecs.ini, as the program reads it.
device::TPicDevice ShippedDevice(const std::string& name);

// Commands as the chip would decode them from the line calls: "RESET" for a
// break off that enters programming mode, "06" for a command, "02:3FFF" for a
// command with its data word. Read frames are skipped.
std::vector<std::string> DecodeIcsp(const std::vector<serial::SimCall>& calls);

// `count` copies of `token`, for runs of increments in expected sequences.
std::vector<std::string> Times(int count, const std::string& token);
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts);

// The test program assembled for the device (tests/data/programs/<device>.hex).
std::string ProgramFor(const std::string& device);
// Words left from an earlier program wherever the chip holds erased words,
// so that only a working erase gives a clean chip (factory words stay).
void SeedOldProgram(simulator::SimChip& chip, const device::TPicDevice& d);

struct SimRig {
    explicit SimRig(device::TPicDevice chosen = Pic16F628A());
    ~SimRig();

    std::vector<std::string> Commands() const { return DecodeIcsp(port->Calls()); }
    // Every log line from the first that starts with `prefix` on.
    std::vector<std::string> LogFrom(const std::string& prefix) const;

    VirtualClock clock;
    device::TPicDevice device;
    std::shared_ptr<serial::SimPort> port = std::make_shared<serial::SimPort>();
    std::shared_ptr<simulator::SimChip> chip;
    image::THexFile image;
    ScriptedHost host{clock};
    serial::TCommX comm;
    programmer::TFarmOperations ops{host, comm, image, device};
};

} // namespace vandrel::test
