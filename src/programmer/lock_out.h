#pragma once
// The configuration this adapter may never come back from (TLockOut): MCLR
// an input pin and the internal oscillator. The command line refuses to write
// it unless forced, `config` and the window's Download warn of it, all in
// the same words.
#include <cstdint>
#include <optional>
#include <string>

#include "device/pic_device.h"
#include "image/hex_file.h"

namespace vandrel::programmer {

// The image's (first) configuration word when the device has the guard and
// the word locks the chip out; nothing otherwise.
std::optional<std::uint16_t> LockOutWord(const device::TPicDevice& device, const image::THexFile& image);

// "configuration word 3F50 turns MCLRE off (bit 0020 = 0) with the internal
// oscillator (bits 0013 = 0010): ..." -- what happens, which bits, and the
// word with MCLRE on that keeps the chip reachable.
std::string LockOutText(const device::TPicDevice& device, std::uint16_t word);

} // namespace vandrel::programmer
