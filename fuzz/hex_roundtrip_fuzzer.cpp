// Whatever image the loader makes of arbitrary bytes, the writer writes a
// file that loads to the same image, with no line the loader complains of,
// and that writes again to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "image/hex_file.h"
#include "image/hex_writer.h"

using vandrel::image::THexFile;
using vandrel::image::WriteHexText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static THexFile image;
    static THexFile back;
    image.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));

    const std::string text = WriteHexText(image);
    int badLines = 0;
    back.SetChecksumErrorHook([&](int) { ++badLines; });
    if (!back.LoadFromText(text) || badLines != 0) std::abort();
    for (std::int32_t address = 0; address < THexFile::kWords; ++address)
        if (back.GetWord(address) != image.GetWord(address)) std::abort();
    if (WriteHexText(back) != text) std::abort();
    return 0;
}
