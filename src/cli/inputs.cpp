#include "cli/inputs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <istream>
#include <iterator>

#include "cli/exit_status.h"
#include "cli/names.h"
#include "serial/com_name_map.h"
#include "serial/com_ports.h"
#include "simulator/sim_ft232r.h"

namespace vandrel::cli {

namespace {

constexpr int kLastPortNumber = 999; // the run control reads three digits after "COM"

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool InAny(std::int32_t address, std::initializer_list<device::TMemoryRange> ranges) {
    return std::any_of(ranges.begin(), ranges.end(), [&](device::TMemoryRange r) { return device::InRange(address, r); });
}

// COM0, or COM0:N: a simulated chip of its own.
PortChoice ChooseSimulatedPort(const Invocation& inv, int number) {
    PortChoice port;
    port.name = serial::kSimulatorPortName;
    if (number > 0)
        port.name.append(":").append(std::to_string(number));
    if (inv.simulate.empty())
        throw CliFailure(ExitStatus::Trouble, port.name + ": no simulated chip (give --simulate DEVICE or set "
                                                          "VANDREL1_SIMULATOR)");
    port.simulated = true;
    port.simulatedNumber = number;
    return port;
}

// An FT232R cable: the simulated one when simulating (no USB is looked at
// then), else one the USB bus lists and this user may open.
PortChoice ChooseCable(const ftdi::FtdiTarget& target, const Invocation& inv, OsSystem& system) {
    using Kind = ftdi::FtdiProblem::Kind;
    PortChoice port;
    port.ftdi = target;
    port.name = ftdi::FtdiPortName(target);
    if (!inv.simulate.empty()) {
        if (!simulator::SimulatedCableInfo().Matches(target))
            throw CliFailure(ExitStatus::Trouble, port.name + ": no such FT232R cable (the simulated one is ftdi:" +
                                                      simulator::kSimFt232rSerial + ")");
        port.simulated = true;
        return port;
    }
    ftdi::FtdiProblem problem;
    const std::vector<ftdi::FtdiDeviceInfo> cables = system.Ft232rBus()->List(problem);
    if (problem)
        throw CliFailure(ExitStatus::Trouble, CableProblemMessage(port.name, "", problem));
    const auto found = std::find_if(cables.begin(), cables.end(),
                                    [&](const ftdi::FtdiDeviceInfo& c) { return c.Matches(target); });
    if (found == cables.end()) {
        // A serial number that cannot be read is one this user may not open.
        const bool unreadable = std::any_of(cables.begin(), cables.end(),
                                            [](const ftdi::FtdiDeviceInfo& c) { return !c.accessible; });
        ftdi::FtdiProblem missing{Kind::NotFound, "no such FT232R cable"};
        if (unreadable && target.kind == ftdi::FtdiTarget::Kind::Serial)
            missing = {Kind::Permission, "the cables' serial numbers cannot be read"};
        throw CliFailure(ExitStatus::Trouble, CableProblemMessage(port.name, "", missing));
    }
    port.devicePath = DescribeCable(*found);
    if (!found->accessible)
        throw CliFailure(ExitStatus::Trouble, CableProblemMessage(port.name, port.devicePath,
                                                                  {Kind::Permission, "permission denied"}));
    return port;
}

// A port by its device path: where its links lead, looked at without opening it.
PortChoice ChoosePath(const std::string& path, OsSystem& system) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(path, ec);
    if (ec)
        throw CliFailure(ExitStatus::Trouble, path + ": no such port" + ExistingPorts(system));
    PortChoice port;
    port.name = path;
    port.devicePath = real.string();
    port.byPath = true;
    const PortProblem problem = system.CheckPortAccess(port.devicePath);
    if (problem.kind != OsErrorKind::None)
        throw CliFailure(ExitStatus::Trouble, PortProblemMessage(path, port.devicePath == path ? "" : port.devicePath,
                                                                 problem));
    return port;
}

} // namespace

std::string DescribeCable(const ftdi::FtdiDeviceInfo& cable) {
    std::string text = cable.description.empty() ? std::string("FT232R") : cable.description;
    if (!cable.serial.empty())
        text += " " + cable.serial;
    return text + ", bus " + std::to_string(cable.bus) + " device " + std::to_string(cable.address);
}

bool ReadTextFile(const std::string& path, std::string& text, std::string& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = std::strerror(errno != 0 ? errno : ENOENT);
        return false;
    }
    text.clear();
    char chunk[16384];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, n);
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        error = std::strerror(readError != 0 ? readError : EIO);
        return false;
    }
    return true;
}

std::optional<device::TPicDevice> DeviceFile::Find(const std::string& name) const {
    auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, name); });
    if (it == names.end())
        it = std::find_if(names.begin(), names.end(),
                          [&](const std::string& n) { return SameName(n, CanonicalDeviceName(name)); });
    if (it == names.end())
        return std::nullopt;
    return device::GetDeviceSpecFromText(text, *it);
}

std::string DeviceFile::NoSuchDevice(const std::string& name) const {
    return name + ": no such device in " + label + DidYouMean(ClosestNames(CanonicalDeviceName(name), names)) +
           " (vandrel1-cli devices lists them all)";
}

std::vector<device::TPicDevice> DeviceFile::Devices() const { return device::GetAllDevicesFromText(text); }

DeviceFile LoadDeviceFile(const Invocation& inv, const CliContext& ctx) {
    DeviceFile file;
    file.path = inv.specPath.empty() ? ctx.defaultSpecPath : inv.specPath;
    const std::string& path = file.path;
    file.label = inv.specPath.empty() ? std::string("picspecs.ini") : inv.specPath;
    std::string error;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        error = std::strerror(EISDIR);
    if (!error.empty() || !ReadTextFile(path, file.text, error))
        throw CliFailure(ExitStatus::Trouble, path + ": " + error);
    device::GetDeviceListFromText(file.text, file.names);
    return file;
}

bool IsAutoDevice(const std::string& name) { return name.empty() || SameName(name, kAutoDevice); }

device::TPicDevice RequireDevice(const DeviceFile& file, const std::string& name) {
    if (name.empty())
        throw CliFailure(ExitStatus::Usage, "no device: give --device NAME or set VANDREL1_DEVICE "
                                            "(vandrel1-cli devices lists them)");
    if (auto device = file.Find(name))
        return *device;
    throw CliFailure(ExitStatus::Trouble, file.NoSuchDevice(name));
}

std::optional<device::TPicDevice> NamedDevice(const DeviceFile& file, const std::string& name) {
    if (IsAutoDevice(name))
        return std::nullopt;
    return RequireDevice(file, name);
}

void LoadHexFile(const std::string& path, image::THexFile& image, std::istream* standardInput) {
    const bool piped = path == kStandardStream;
    const std::string name = piped ? std::string("standard input") : path;
    std::string text;
    if (piped) {
        if (standardInput == nullptr)
            throw CliFailure(ExitStatus::Trouble, name + ": " + std::strerror(EBADF));
        text.assign(std::istreambuf_iterator<char>(*standardInput), std::istreambuf_iterator<char>());
        if (standardInput->bad())
            throw CliFailure(ExitStatus::Trouble, name + ": " + std::strerror(EIO));
    } else {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            throw CliFailure(ExitStatus::Trouble, path + ": " + std::strerror(ENOENT));
        if (std::filesystem::is_directory(path, ec))
            throw CliFailure(ExitStatus::Trouble, path + ": " + std::strerror(EISDIR));
    }
    std::optional<int> badLine;
    image.SetChecksumErrorHook([&](int line) {
        if (!badLine)
            badLine = line;
    });
    bool loaded = false;
    try {
        loaded = piped ? image.LoadFromText(text) : image.LoadFromFile(path);
    } catch (const image::EHexFileError& error) {
        image.SetChecksumErrorHook(nullptr);
        throw CliFailure(ExitStatus::Trouble, path + ": " + error.what());
    }
    image.SetChecksumErrorHook(nullptr);
    if (badLine)
        throw CliFailure(ExitStatus::Trouble, name + " line " + std::to_string(*badLine + 1) + ": checksum error");
    if (!loaded)
        throw CliFailure(ExitStatus::Trouble, name + ": empty file");
    if (image.RecordCount() == 0)
        throw CliFailure(ExitStatus::Trouble, name + ": holds no Intel HEX records (lines \":LLAAAATT...\")");
}

ImageWords CountImageWords(const image::THexFile& image, const device::TPicDevice& device, const Areas& areas) {
    ImageWords words;
    for (std::int32_t address = 0; address < image::THexFile::kWords; ++address) {
        if (image.GetWord(address) < 0)
            continue;
        if ((areas.program && device::InRange(address, device.ProgramMemory)) ||
            (areas.config && device::InRange(address, device.ConfigurationMemory)) ||
            (areas.data && device::InRange(address, device.DataMemory)))
            ++words.chosen;
        // The chip's own calibration words, as a read puts them in the file:
        // never written, and no sign of a file for another chip.
        if (device.Algorithm.Calibration.IsWord(address)) {
            ++words.calibration;
            continue;
        }
        if (!InAny(address, {device.ProgramMemory, device.ConfigurationMemory, device.DataMemory}) &&
            words.outside++ == 0)
            words.firstOutside = address;
    }
    return words;
}

PortChoice ChoosePort(const Invocation& inv, OsSystem& system) {
    if (inv.port.empty())
        throw CliFailure(ExitStatus::Usage, "no port: give --port COMn or set VANDREL1_PORT "
                                            "(vandrel1-cli ports lists them)");
    if (const std::optional<ftdi::FtdiTarget> cable = ftdi::ParseFtdiPortName(inv.port))
        return ChooseCable(*cable, inv, system);
    if (inv.port.find('/') != std::string::npos)
        return ChoosePath(inv.port, system);
    const std::optional<int> simulated = serial::ParseSimulatedPortName(inv.port);
    if (simulated && *simulated > 0)
        return ChooseSimulatedPort(inv, *simulated);
    const std::optional<int> number = serial::ParseComName(inv.port);
    if (!number || *number > kLastPortNumber)
        throw CliFailure(ExitStatus::Usage, "'" + inv.port + "' is not a port name (COM0 to COM999, or a device "
                                            "path such as /dev/ttyUSB0); an FT232R cable is ftdi, ftdi:SERIAL or "
                                            "ftdi:BUS-ADDRESS");
    if (*number == 0)
        return ChooseSimulatedPort(inv, 0);
    PortChoice port;
    port.name = "COM" + std::to_string(*number);
    port.devicePath = system.ResolvePort(port.name);
    if (port.devicePath.empty())
        throw CliFailure(ExitStatus::Trouble, port.name + ": no such port" + ExistingPorts(system));
    const PortProblem problem = system.CheckPortAccess(port.devicePath);
    if (problem.kind != OsErrorKind::None)
        throw CliFailure(ExitStatus::Trouble, PortProblemMessage(port.name, port.devicePath, problem));
    return port;
}

} // namespace vandrel::cli
