#pragma once
// Reading a whole chip into an image, as the command line's `read` and the
// window's "Read into HEX file" do: one dump from the lowest address kept to
// the highest, whose "AAAA VVVV" lines become the words of an INHX32 image.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/pic_device.h"
#include "image/hex_file.h"

namespace vandrel::programmer {

inline constexpr std::uint16_t kErasedProgramWord = 0x3FFF;

// A dump's word line, "AAAA VVVV": its address and value.
bool ParseWordLine(const std::string& line, std::int32_t& address, std::int32_t& value);

// What a read keeps: program memory, user IDs, device ID, configuration
// word(s) and the EEPROM; not the rest of the configuration area.
std::vector<device::TMemoryRange> ReadRanges(const device::TPicDevice& device);
bool KeptByRead(std::int32_t address, const device::TPicDevice& device);

// The one dump a read makes: from `first`, `count` addresses; `words` of
// them are kept (0: the device has no memory to read).
struct ReadSpan {
    std::int32_t first = 0;
    std::int32_t count = 0;
    std::int32_t words = 0;
};
ReadSpan ReadSpanOf(const device::TPicDevice& device);

// What the configuration word among the dump's lines keeps from being read:
// "" when nothing, else "the chip is code-protected (configuration word
// 1FFF): its program memory reads as 0000".
std::string ProtectionOf(const std::vector<std::string>& log, const device::TPicDevice& device);

struct ReadCounts {
    std::int32_t read = 0; // word lines of the read's areas
    std::int32_t kept = 0; // put into the image
};

// The words of the dump's lines into `image`: an EEPROM cell as the low byte
// of its word, an erased program word (3FFF) left out unless `all`; the
// calibration words as the chip gives them.
ReadCounts ChipImageFromLog(const std::vector<std::string>& log, const device::TPicDevice& device, bool all,
                            image::THexFile& image);

} // namespace vandrel::programmer
