#include "programmer/fast_timing.h"

#include <cstdio>

namespace vandrel::programmer {

std::string MsText(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%g ms", static_cast<double>(us) / 1000.0);
    return text;
}

std::string FastTimingRefusal(const device::TPicDevice& device) {
    const std::optional<device::TMaximumUse> missing = device::MissingMaximum(device);
    if (!missing)
        return {};
    return device.Name + ": the device file gives no " + missing->Key + " (the " + missing->Cycle +
           "'s maximum from the chip's programming specification, in microseconds from 1 to " +
           std::to_string(device::kMostMaximumUs) + "): use the described timing.";
}

std::string FastTimingLine(const device::TPicDevice& device) {
    std::string line = "Fast timing, the maxima of the chip's programming specification:";
    const char* separator = " ";
    for (const device::TMaximumUse& use : device::MaximaInUse(device)) {
        line += separator + std::string(use.Cycle) + " " + MsText(use.Us.value_or(0));
        separator = ", ";
    }
    return line + ".";
}

} // namespace vandrel::programmer
