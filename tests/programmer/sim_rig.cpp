#include "programmer/sim_rig.h"
#include "support/test_devices.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vandrel::test {

device::TPicDevice Pic16F628A() {
    return MidrangeDevice({"PIC16F628A", 2048, 128, 0x1060, 8, 8, 10, true});
}

device::TPicDevice ShippedDevice(const std::string& name) {
    device::SetDeviceSpecPathOverride(VANDREL_SOURCE_DIR "/picspecs.ini");
    device::TPicDevice d = device::GetDeviceSpec(name);
    device::SetDeviceSpecPathOverride("");
    return d;
}

std::vector<std::string> DecodeIcsp(const std::vector<serial::SimCall>& calls) {
    using namespace serial::win;
    std::vector<std::string> out;
    bool rts = true, dtr = true, programming = false;
    enum { Command, Data, Read } phase = Command;
    int bits = 0;
    unsigned shift = 0;
    std::string command;
    for (const serial::SimCall& call : calls) {
        if (call.Name == "SetCommBreak") {
            programming = false;
        } else if (call.Name == "ClearCommBreak") {
            programming = rts && dtr;
            phase = Command;
            bits = 0;
            shift = 0;
            if (programming)
                out.push_back("RESET");
        } else if (call.Name == "EscapeCommFunction") {
            if (call.Arg == SETDTR || call.Arg == CLRDTR) {
                dtr = call.Arg == SETDTR;
            } else if (call.Arg == CLRRTS) {
                rts = false;
            } else if (call.Arg == SETRTS && !rts) {
                rts = true;
                if (!programming)
                    continue;
                shift |= (dtr ? 0u : 1u) << bits;
                ++bits;
                if (phase == Command && bits == 6) {
                    char text[8];
                    std::snprintf(text, sizeof text, "%02X", shift);
                    command = text;
                    const bool withData = shift == 0x00 || shift == 0x02 || shift == 0x03;
                    const bool read = shift == 0x04 || shift == 0x05;
                    if (!withData)
                        out.push_back(command);
                    phase = withData ? Data : read ? Read : Command;
                    bits = 0;
                    shift = 0;
                } else if (phase != Command && bits == 16) {
                    if (phase == Data) {
                        char text[16];
                        std::snprintf(text, sizeof text, ":%04X", (shift >> 1) & 0x3FFF);
                        out.push_back(command + text);
                    }
                    phase = Command;
                    bits = 0;
                    shift = 0;
                }
            }
        }
    }
    return out;
}

std::vector<std::string> Times(int count, const std::string& token) {
    return std::vector<std::string>(static_cast<std::size_t>(std::max(count, 0)), token);
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::string ProgramFor(const std::string& device) {
    std::string chip = device;
    std::transform(chip.begin(), chip.end(), chip.begin(), [](unsigned char c) { return std::tolower(c); });
    return VANDREL_SOURCE_DIR "/tests/data/programs/" + chip + ".hex";
}

void SeedOldProgram(simulator::SimChip& chip, const device::TPicDevice& d) {
    for (std::int32_t a = 0; a < d.ProgramMemory.Size; ++a)
        if (chip.ReadWord(a) == 0x3FFF)
            chip.WriteWord(a, 0x0000);
    for (std::int32_t a = d.UserID.Address; a < d.UserID.Address + d.UserID.Size; ++a)
        chip.WriteWord(a, 0x0000);
    for (std::int32_t a = 0; a < d.DataMemory.Size; ++a)
        chip.WriteWord(d.DataMemory.Address + a, 0x00);
}

SimRig::SimRig(device::TPicDevice chosen)
    : device(std::move(chosen)), chip(std::make_shared<simulator::SimChip>(device, clock)) {
    port->SetPeer(chip);
    comm.SetDriverFactory(serial::MakeSimPortFactory(port));
    comm.SetClock(clock);
    host.Port = "COM0";
}

SimRig::~SimRig() { comm.Close(); }

std::vector<std::string> SimRig::LogFrom(const std::string& prefix) const {
    auto it = std::find_if(host.Log.begin(), host.Log.end(),
                           [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    return {it, host.Log.end()};
}

} // namespace vandrel::test
