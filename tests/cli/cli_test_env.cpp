#include "cli/cli_test_env.h"

#include <sstream>

#include "cli/commands.h"
#include "image/hex_writer.h"

namespace vandrel::test {

std::string FakeSystem::ResolvePort(const std::string& comName) {
    const auto it = Devices.find(comName);
    return it == Devices.end() ? std::string{} : it->second;
}

cli::PortProblem FakeSystem::CheckPortAccess(const std::string& devicePath) {
    const auto it = Access.find(devicePath);
    return it == Access.end() ? cli::PortProblem{} : it->second;
}

std::unique_ptr<serial::PortDriver> FakeSystem::MakePortDriver(const std::string&) {
    ++DriversMade;
    return std::make_unique<serial::SimPortDriver>(Port);
}

std::unique_ptr<serial::PortDriver> FakeSystem::MakePathPortDriver(const std::string& devicePath) {
    return PathDriver ? PathDriver(devicePath) : MakePortDriver(devicePath);
}

CliTest::CliTest() {
    env["XDG_STATE_HOME"] = dir / "state";
    system.Port->SetClock(clock);
}

CliResult CliTest::Run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    std::istringstream in(input);
    std::vector<std::string> argv{"vandrel1-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    cli::CliContext ctx{
        .out = out,
        .err = err,
        .getEnv = [this](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        },
        .clock = clock,
        .system = system,
        .errIsTerminal = terminal,
        .defaultSpecPath = device::DeviceSpecPath(),
        .catchInterrupt = true,
        .onSimulator =
            [this](const cli::SimulatedParts& parts) {
                if (onParts)
                    return onParts(parts);
                chip_ = parts.chip;
                simPort_ = parts.port;
                cable_ = parts.cable;
                if (onSimulator)
                    onSimulator(*parts.chip);
                if (onCable && parts.cable)
                    onCable(*parts.cable);
            },
        .in = &in,
    };
    CliResult result;
    result.status = cli::RunCli(argv, ctx);
    result.out = out.str();
    result.err = err.str();
    return result;
}

std::vector<device::TPicDevice> ShippedDevices() { return device::GetAllDevices(); }

device::TPicDevice ShippedDevice(const std::string& name) { return device::GetDeviceSpec(name); }

std::string HexOf(const std::map<std::int32_t, std::uint16_t>& words) {
    image::THexFile image;
    for (const auto& [address, value] : words)
        image.SetWord(address, static_cast<std::int16_t>(value));
    return image::WriteHexText(image);
}

std::map<std::int32_t, std::uint16_t> AcceptanceWords(const device::TPicDevice& d) {
    std::map<std::int32_t, std::uint16_t> words;
    const std::int32_t programLast = d.ProgramMemory.Address + d.ProgramMemory.Size - 1;
    words[d.ProgramMemory.Address] = 0x2805;
    words[d.ProgramMemory.Address + 1] = 0x0000;
    words[d.ProgramMemory.Address + 0x35] = 0x1283;
    words[programLast] = 0x3FFE;
    for (std::int32_t i = 0; i < d.UserID.Size; ++i)
        words[d.UserID.Address + i] = static_cast<std::uint16_t>(i * 3 + 1);
    for (std::int32_t i = 0; i < d.ConfigurationWord.Size; ++i)
        words[d.ConfigurationWord.Address + i] = static_cast<std::uint16_t>(0x3F70 - i);
    if (d.DataMemory.Size > 0) {
        words[d.DataMemory.Address] = 0x00AB;
        words[d.DataMemory.Address + d.DataMemory.Size - 1] = 0x005A;
    }
    return words;
}

std::map<std::int32_t, std::int16_t> WordsOf(const std::string& path) {
    image::THexFile image;
    std::map<std::int32_t, std::int16_t> words;
    try {
        if (!image.LoadFromFile(path))
            return words;
    } catch (const std::exception&) {
        return words;
    }
    for (std::int32_t a = 0; a < image::THexFile::kWords; ++a)
        if (image.GetWord(a) >= 0)
            words[a] = image.GetWord(a);
    return words;
}

void ExpectSameChip(const std::map<std::int32_t, std::int16_t>& original,
                    const std::map<std::int32_t, std::int16_t>& read, const device::TPicDevice& device) {
    const auto osccal = device.Algorithm.Calibration.Osccal;
    for (const auto& [address, word] : original) {
        ASSERT_TRUE(read.count(address)) << std::hex << address;
        if (osccal && address == *osccal) {
            EXPECT_EQ(read.at(address) & 0x3F00, 0x3400) << "a factory RETLW, whatever the file holds";
            continue;
        }
        const std::uint16_t bits = device::ComparedBits(device, address);
        EXPECT_EQ(read.at(address) & bits, word & bits) << std::hex << address;
    }
    for (const auto& [address, word] : read) {
        if (original.count(address) || (osccal && address == *osccal))
            continue;
        if (device.Algorithm.Calibration.IsWord(address)) {
            continue; // the chip's own, whatever it holds
        } else if (device::InRange(address, device.DeviceID)) {
            // A chip without one reads the word erased.
            EXPECT_EQ(word, device.DeviceIDValue >= 0 ? device.DeviceIDValue : 0x3FFF);
        } else if (device::InRange(address, device.DataMemory)) {
            EXPECT_EQ(word, 0xFF) << std::hex << address;
        } else {
            EXPECT_TRUE(device::InRange(address, device.UserID) || device::InRange(address, device.ConfigurationWord))
                << std::hex << address;
            EXPECT_EQ(word, 0x3FFF) << std::hex << address;
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace vandrel::test
