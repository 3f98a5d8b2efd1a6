#pragma once
// Pulse maxima: an externally timed cycle lasts from its Begin Programming
// until the chip has decoded its End Programming, so the pulse the chip sees
// is the run's wait, what the system adds to that wait, and the End
// Programming frame at this link's pace. A chip with a maximum (the 16F7x)
// is not written over a link that cannot keep to it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/pic_device.h"

namespace vandrel::programmer {

// One area to be written whose cycle has a maximum.
struct PulseArea {
    const char* name;        // "program memory", "configuration memory", "data memory"
    std::int32_t waitMs = 0; // the run's wait between Begin and End Programming
    std::int32_t maxUs = 0;  // ProgramMemory.MaxPulse and its kin
    // Under the fast timing, the wait instead of waitMs: the area's Maximum.*.
    std::optional<std::int32_t> fastUs;
    std::int64_t WaitUs() const { return fastUs ? *fastUs : std::int64_t{waitMs} * 1000; }
};

// The areas among those to be written whose cycle has a maximum.
std::vector<PulseArea> PulseAreas(const device::TPicDevice& device, bool program, bool configuration, bool data,
                                  device::RunTiming timing = device::RunTiming::Described);

// The link as measured on the first frames of the run: how much longer
// than asked a wait took, and how long one command frame took.
struct LinkPulseCost {
    std::int64_t overWaitUs = 0;
    std::int64_t frameUs = 0;
};

std::int64_t PulseUs(const PulseArea& area, const LinkPulseCost& cost);

// The refusal for the first area whose pulse this link would make too long:
// "PIC16F73: this link ends a programming pulse of program memory after
// 15.4 ms, and the chip stands at most 1.5 ms. Use a faster link: an RS-232
// port or the FT232R link." Nothing when every area keeps to its maximum.
std::optional<std::string> PulseRefusal(const std::string& device, const std::vector<PulseArea>& areas,
                                        const LinkPulseCost& cost);

} // namespace vandrel::programmer
