// The memory dump: walks the chip's address counter forward to each address
// asked for and logs the word read there.
#include <cstdint>
#include <string>

#include "common/convert.h"
#include "programmer/farm_operations.h"

namespace vandrel::programmer {

namespace {

// A dump field read as hexadecimal: signed 32-bit, "$" put in front.
std::int32_t HexField(const std::string& text) {
    std::string prefixed;
    prefixed.reserve(text.size() + 1);
    prefixed += '$';
    prefixed += text;
    return StrToInt(prefixed);
}

} // namespace

void TFarmOperations::FarmDump() {
    TFarmLink link = MakeLink();
    // The words are read streaming and logged in order once they are there;
    // every one is logged before anything else is, and before the dump ends.
    struct Settled {
        TFarmLink& link;
        ~Settled() { link.Settle(true); }
    } settled{link};
    host_.TickLvp();
    ResetChip(link);
    std::int32_t counter = 0; // the chip's address after a reset

    const std::int32_t start = HexField(host_.DumpAddressText());
    const std::int32_t count = HexField(host_.DumpSizeText());
    // Last wraps in 32 bits, so a count of 0 or less (or one running past the
    // top) ends the walk before it starts.
    const auto last = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) +
                                                static_cast<std::uint32_t>(count) - 1u);
    if (last < start)
        return;

    // 64-bit so that a walk ending at the largest address still terminates.
    for (std::int64_t wide = start; wide <= last; ++wide) {
        const auto i = static_cast<std::int32_t>(wide);
        Pump();
        if (Stopped())
            return;
        // The ranges are read afresh at every address: a device chosen while
        // the dump pumps its messages applies to the addresses still to come.
        const device::TPicDevice& device = device_;

        // The factory calibration words past the configuration area
        // (Calibration.Words) are read as part of it.
        const auto configurationSpace = [&device](std::int32_t a) {
            return device::InRange(a, device.ConfigurationMemory) || device.Algorithm.Calibration.IsWord(a);
        };
        if (configurationSpace(i) && !configurationSpace(counter)) {
            link.Settle(true);
            ResetChip(link);
            link.FarmWrite(kLoadConfiguration, 0);
            counter = device.ConfigurationMemory.Address;
        }
        if (device::InRange(i, device.DataMemory) && !device::InRange(counter, device.DataMemory)) {
            link.Settle(true);
            ResetChip(link);
            counter = device.DataMemory.Address;
        }

        if (device::InRange(i, device.ProgramMemory)) {
            host_.ShowStatus("In Program Area:" + Hex4(i));
        } else if (configurationSpace(i)) {
            host_.ShowStatus("In Configuration Area:" + Hex4(i));
        } else if (device::InRange(i, device.DataMemory)) {
            host_.ShowStatus("In Data Area:" + Hex4(i));
        } else {
            host_.ShowStatus("Skip " + Hex4(i));
            continue;
        }

        while (counter < i) {
            if (Stopped())
                return;
            Pump();
            link.FarmWrite(kIncrementAddress, -1);
            ++counter;
            host_.ShowStatus("Increment PC " + Hex4(counter));
        }

        link.FarmReadLater(device::InRange(counter, device.DataMemory) ? kReadDataFromDataMemory
                                                                        : kReadDataFromProgramMemory,
                           [this, i](std::uint16_t value) { host_.AppendLog(Hex4(i) + " " + Hex4(value)); });
        link.Settle(false);
    }
}

} // namespace vandrel::programmer
