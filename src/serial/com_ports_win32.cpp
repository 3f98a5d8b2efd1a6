#include "serial/com_ports_win32.h"

#include <algorithm>

#include "serial/com_name_map.h"

namespace vandrel::serial {
namespace {

class RegistryKey {
public:
    RegistryKey(HKEY root, const std::string& subKey)
    {
        if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey()
    {
        if (key_) ::RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

std::vector<ComPortInfo> EnumerateComPortsIn(HKEY root, const std::string& subKey)
{
    std::vector<ComPortInfo> ports;
    RegistryKey key(root, subKey);
    if (!key.get()) return ports;

    DWORD maxName = 0, maxData = 0;
    if (::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                           &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return ports;
    std::string name(maxName + 1, '\0');
    std::string data(maxData + 1, '\0');

    for (DWORD index = 0, retries = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LSTATUS status = ::RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data.data()), &dataLength);
        if (status == ERROR_MORE_DATA && retries < 4) {
            // A value grew since the key was measured: make room and read it again.
            ++retries;
            name.resize(name.size() * 2);
            data.resize(std::max<std::size_t>(data.size() * 2, dataLength + 1));
            continue;
        }
        retries = 0;
        ++index;
        if (status == ERROR_MORE_DATA) continue; // keeps growing: not a port name
        if (status != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS, or the key went away
        if (type != REG_SZ) continue;
        // Registry strings need not carry their terminator; stop at the first
        // NUL within the reported length.
        std::string port(data.data(), std::min<std::size_t>(dataLength, data.size()));
        port.resize(port.find('\0') == std::string::npos ? port.size() : port.find('\0'));
        if (port.empty()) continue;
        ports.push_back(ComPortInfo{port, "\\\\.\\" + port});
    }
    return ports;
}

std::vector<ComPortInfo> EnumerateComPorts()
{
    return EnumerateComPortsIn(HKEY_LOCAL_MACHINE, kSerialDeviceMapKey);
}

std::string ResolveComDevice(const std::string& comName)
{
    // The same name rule as everywhere: "COM" in any case, then 1 to 99999999
    // without leading zeros; COM0 is the simulated adapter, never a device.
    const auto number = ParseComName(comName);
    if (!number || *number == 0) return {};
    return "\\\\.\\COM" + std::to_string(*number);
}

} // namespace vandrel::serial
