// Feeds arbitrary bytes to the device specification reader as the text of
// picspecs.ini, then reads the listed devices and one name taken from the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device/ini_file.h"
#include "device/pic_device.h"

using namespace vandrel::device;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::vector<std::string> names{"untouched"};
    GetDeviceListFromText(text, names);
    std::size_t bytes = 1;
    for (const auto& n : names) bytes += n.size() + 1;
    if (bytes > TIniFile::kSectionNamesBufferSize) std::abort();

    // Every listed device, plus the input's first line as a name.
    std::vector<std::string> asked(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(names.size(), 16)));
    asked.emplace_back(text.substr(0, std::min(text.find('\n'), std::size_t{64})));
    for (const auto& name : asked) {
        const TPicDevice d = GetDeviceSpecFromText(text, name);
        if (d.Name != name) std::abort();
        (void)InRange(d.ProgramMemory.Address, d.ProgramMemory);
        // The algorithm keys only ever give values the run can send.
        const TAlgorithm& a = d.Algorithm;
        if (a.Calibration.Osccal && !InRange(*a.Calibration.Osccal, d.ProgramMemory)) std::abort();
        for (const TWriteCycle* c : {&a.Program, &a.Configuration, &a.Data})
            if ((c->Begin != 0x08 && c->Begin != 0x18) || (c->Wait && *c->Wait < 0)) std::abort();
        if (a.Erase.ProgramCommand != 0x09 && a.Erase.ProgramCommand != 0x1F) std::abort();
    }

    // A number the rule accepts reads back the same from its decimal form.
    if (auto n = ParseSpecNumber(text.substr(0, std::min<std::size_t>(text.size(), 24))))
        if (ParseSpecNumber(std::to_string(*n)) != n) std::abort();
    return 0;
}
