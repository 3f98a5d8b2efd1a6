// Feeds arbitrary bytes to the reader of the configuration bit names as the
// text of picconfig.ini: every section and the input's first line as device
// names, then decodes a word taken from the input with what it read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/config_names.h"
#include "device/ini_file.h"

using namespace vandrel::device;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = TIniFile(text).SectionNames();
    names.emplace_back(text.substr(0, std::min(text.find('\n'), std::size_t{64})));
    const std::uint16_t word = size >= 2 ? static_cast<std::uint16_t>(data[0] << 8 | data[1]) : 0x3FFF;
    for (const std::string& name : names) {
        const ConfigNamesResult result = ReadConfigNames(text, name);
        // An error leaves no words; what was read is as the form says.
        if (!result.error.empty() && !result.words.empty()) std::abort();
        for (const ConfigWordNames& w : result.words) {
            if (w.address < 0 || w.address > 0x3FFF) std::abort();
            for (const DecodedField& f : DecodeConfigWord(w, word)) {
                if (f.field->mask == 0 || (f.bits & ~f.field->mask) != 0) std::abort();
                if (f.value && f.value->bits != f.bits) std::abort();
            }
        }
    }
    return 0;
}
