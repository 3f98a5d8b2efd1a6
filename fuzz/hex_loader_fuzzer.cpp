// Feeds arbitrary bytes to the Intel HEX loader and checks that the image
// keeps to its bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "image/hex_file.h"

using vandrel::image::THexFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static THexFile image;
    int lines = 0;
    int lastChecksumLine = -1;
    image.SetProcessEventsHook([&] { ++lines; });
    image.SetChecksumErrorHook([&](int line) {
        // Reported once per line, in order, for a line already announced.
        if (line <= lastChecksumLine || line >= lines) std::abort();
        lastChecksumLine = line;
    });

    const bool loaded = image.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (loaded != (lines > 0)) std::abort();

    if (image.GetWord(-1) != -2 || image.GetWord(THexFile::kWords) != -2) std::abort();
    std::int32_t present = 0;
    for (std::int32_t a = 0; a < THexFile::kWords; ++a) {
        if (image.GetWord(a) >= 0) ++present;
    }
    if (present != image.CountWords({0, 0x4000})) std::abort();
    // Nothing is stored without a data record line.
    if (present > 0 && lines == 0) std::abort();
    return 0;
}
