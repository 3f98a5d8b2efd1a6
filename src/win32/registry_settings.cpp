#include "win32/registry_settings.h"

#include <stdexcept>
#include <vector>

#include "common/windows_api.h"
#include "win32/win32_text.h"

namespace vandrel::win32 {

namespace {

// A registry key closed when it goes.
class Key {
public:
    ~Key() {
        if (key_)
            ::RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

std::string SystemMessage(LSTATUS status) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : L"";
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
    return Narrow(message) + " (" + std::to_string(status) + ")";
}

} // namespace

void RegistrySettings::WriteSetting(const std::string& name, const std::string& value) {
    Key key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE, nullptr, key.Out(), nullptr) != ERROR_SUCCESS)
        return; // not writable: skipped
    const std::wstring data = Widen(value);
    const LSTATUS status = ::RegSetValueExW(
        key.Get(), Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("Failed to write registry value '" + name + "': " +
                                 SystemMessage(status));
}

std::string RegistrySettings::ReadSetting(const std::string& name) const {
    Key key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_QUERY_VALUE, key.Out()) !=
        ERROR_SUCCESS)
        return {};
    const std::wstring valueName = Widen(name);
    DWORD type = 0;
    DWORD bytes = 0;
    LSTATUS status =
        ::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &bytes);
    if (status == ERROR_FILE_NOT_FOUND)
        return {};
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("Failed to read registry value '" + name + "': " +
                                 SystemMessage(status));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw std::runtime_error("Invalid data type for '" + name + "'");
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &bytes);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("Failed to read registry value '" + name + "': " +
                                 SystemMessage(status));
    data.back() = L'\0'; // a value stored without its terminator
    return Narrow(data.data());
}

} // namespace vandrel::win32
