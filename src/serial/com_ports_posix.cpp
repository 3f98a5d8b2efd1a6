#include "serial/com_ports_posix.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vandrel::serial {

namespace fs = std::filesystem;

namespace {

// The UART type of a ttyS port; true when the kernel knows of a UART there.
bool HasUart(const fs::path& ttyDir) {
    std::ifstream in(ttyDir / "type");
    if (!in)
        return true; // no type to go by: the device entry decides
    int type = 0;
    in >> type;
    return in && type != 0;
}

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? path : real.string();
}

} // namespace

std::vector<ComPortInfo> ListComPorts(const std::string& sysClassTty, const std::string& devDir,
                                      const std::vector<ComOverride>& overrides) {
    struct Port {
        int number;
        ComPortInfo info;
    };
    std::vector<Port> ports;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysClassTty, ec)) {
        const std::string name = entry.path().filename().string();
        const auto number = ComNumberForDevice(name);
        if (!number)
            continue;
        std::error_code exists;
        if (!fs::exists(entry.path() / "device", exists))
            continue;
        if (name.rfind("ttyS", 0) == 0 && !HasUart(entry.path()))
            continue;
        ports.push_back(Port{*number, ComPortInfo{"COM" + std::to_string(*number), devDir + "/" + name}});
    }
    for (const ComOverride& o : overrides) {
        std::error_code exists;
        if (!fs::exists(o.DevicePath, exists))
            continue;
        const std::string real = Canonical(o.DevicePath);
        std::erase_if(ports, [&](const Port& p) {
            return p.number == o.Number || Canonical(p.info.DevicePath) == real;
        });
        ports.push_back(Port{o.Number, ComPortInfo{"COM" + std::to_string(o.Number), o.DevicePath}});
    }
    std::sort(ports.begin(), ports.end(), [](const Port& a, const Port& b) { return a.number < b.number; });
    std::vector<ComPortInfo> result;
    result.reserve(ports.size());
    for (auto& p : ports)
        result.push_back(std::move(p.info));
    return result;
}

std::vector<ComOverride> LoadComOverrides() {
    const std::string path = ComOverrideFilePath([](const char* name) { return std::getenv(name); });
    if (path.empty())
        return {};
    std::ifstream in(path);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseComOverrides(text.str());
}

std::vector<ComPortInfo> EnumerateComPorts() { return ListComPorts("/sys/class/tty", "/dev", LoadComOverrides()); }

std::string ResolveComDevice(const std::string& comName) {
    return ResolveComName(comName, LoadComOverrides());
}

} // namespace vandrel::serial
