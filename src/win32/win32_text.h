#pragma once
// Text between the core (UTF-8) and the Win32 API (UTF-16).
#include <string>

namespace vandrel::win32 {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

} // namespace vandrel::win32
