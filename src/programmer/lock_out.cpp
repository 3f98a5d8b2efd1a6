#include "programmer/lock_out.h"

#include "common/convert.h"

namespace vandrel::programmer {

std::optional<std::uint16_t> LockOutWord(const device::TPicDevice& device, const image::THexFile& image) {
    const device::TLockOut& lock = device.Algorithm.LockOut;
    if (!lock.Any() || device.ConfigurationWord.Size <= 0)
        return std::nullopt;
    const std::int16_t word = image.GetWord(device.ConfigurationWord.Address);
    if (word < 0 || !lock.LocksOut(static_cast<std::uint16_t>(word)))
        return std::nullopt;
    return static_cast<std::uint16_t>(word);
}

std::string LockOutText(const device::TPicDevice& device, std::uint16_t word) {
    const device::TLockOut& lock = device.Algorithm.LockOut;
    const auto reachable = static_cast<std::uint16_t>((word | lock.Mclre) & 0x3FFF);
    return "configuration word " + Hex4(word) + " turns MCLRE off (bit " + Hex4(lock.Mclre) +
           " = 0) with the internal oscillator (bits " + Hex4(lock.Oscillator) + " = " +
           Hex4(word & lock.Oscillator) +
           "): the chip then runs its program whenever it has power, and this adapter, which keeps Vdd on, may "
           "never put it into programming mode again; keep MCLRE = 1 while developing (" + Hex4(reachable) + ")";
}

} // namespace vandrel::programmer
