// Feeds arbitrary bytes to the device specification reader as the text of
// picspecs.ini: every device the text lists, read in one pass, then one name
// taken from the input's first line. The text is read three times in all
// (the devices, the list, the one name), never once per device, so that a
// run stays cheap however many sections the input has.
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

namespace {

// What any device read from any text holds to: the algorithm keys only ever
// give values the run can send, the calibration bits are never compared, and
// the maxima are times a run can wait.
void CheckDevice(const TPicDevice& d)
{
    (void)InRange(d.ProgramMemory.Address, d.ProgramMemory);
    const TAlgorithm& a = d.Algorithm;
    if (a.Calibration.Osccal && !InRange(*a.Calibration.Osccal, d.ProgramMemory)) std::abort();
    for (const TWriteCycle* c : {&a.Program, &a.Configuration, &a.Data})
        if ((c->Begin != 0x08 && c->Begin != 0x18) || (c->Wait && *c->Wait < 0)) std::abort();
    if (a.Erase.ProgramCommand != 0x09 && a.Erase.ProgramCommand != 0x1F) std::abort();
    const std::int32_t word = d.ConfigurationWord.Address;
    if (InRange(word, d.ConfigurationWord) && (ComparedBits(d, word) & a.Calibration.BandgapMask) != 0) std::abort();
    (void)ComparedBits(d, word + 1);
    // A maximum is a wait a fast run makes: from 1 us to 10 s, never more.
    for (const auto& m : {d.Maxima.Program, d.Maxima.Configuration, d.Maxima.Data, d.Maxima.Erase, d.Maxima.ChipErase,
                          d.Maxima.Unprotect})
        if (m && (*m < 1 || *m > kMostMaximumUs)) std::abort();
    for (const TMaximumUse& use : MaximaInUse(d))
        if (use.Key == nullptr || use.Cycle == nullptr) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // The list and the devices name the same sections, in the same order.
    const std::vector<TPicDevice> devices = GetAllDevicesFromText(text);
    std::vector<std::string> names{"untouched"};
    GetDeviceListFromText(text, names);
    if (names.size() != devices.size()) std::abort();
    std::size_t bytes = 1;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].Name != names[i]) std::abort();
        bytes += names[i].size() + 1;
        CheckDevice(devices[i]);
    }
    if (bytes > TIniFile::kSectionNamesBufferSize) std::abort();

    // The input's first line as a name: the listed device of that name in any
    // letter case, under the name asked; a device of no keys when none is
    // (every section is listed while the text is shorter than the list's buffer).
    const std::string first(text.substr(0, std::min(text.find('\n'), std::size_t{64})));
    TPicDevice expected;
    const auto same = std::find_if(devices.begin(), devices.end(),
                                   [&](const TPicDevice& d) { return SameTextIgnoringCase(d.Name, first); });
    if (same != devices.end()) {
        expected = *same;
    } else {
        static const TPicDevice blank = GetDeviceSpecFromText("", "");
        expected = blank;
    }
    expected.Name = first;
    const TPicDevice asked = GetDeviceSpecFromText(text, first);
    if (size < TIniFile::kSectionNamesBufferSize && asked != expected) std::abort();
    CheckDevice(asked);

    // A number the rule accepts reads back the same from its decimal form.
    if (auto n = ParseSpecNumber(text.substr(0, std::min<std::size_t>(text.size(), 24))))
        if (ParseSpecNumber(std::to_string(*n)) != n) std::abort();
    return 0;
}
