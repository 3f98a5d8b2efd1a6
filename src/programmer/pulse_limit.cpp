#include "programmer/pulse_limit.h"

#include <cstdio>

namespace vandrel::programmer {

namespace {

std::string Ms(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(us) / 1000.0);
    return text;
}

} // namespace

std::vector<PulseArea> PulseAreas(const device::TPicDevice& device, bool program, bool configuration, bool data) {
    const device::TAlgorithm& a = device.Algorithm;
    struct Candidate {
        bool written;
        const char* name;
        const device::TWriteCycle& cycle;
        std::int32_t defaultWait;
    };
    const Candidate candidates[] = {{program, "program memory", a.Program, device.Tprog},
                                    {configuration, "configuration memory", a.Configuration, device.Tprog},
                                    {data && device.DataMemory.Size > 0, "data memory", a.Data, device.Tdprog}};
    std::vector<PulseArea> areas;
    for (const Candidate& c : candidates)
        if (c.written && c.cycle.End && c.cycle.MaxPulseUs)
            areas.push_back({c.name, std::max(c.cycle.Wait.value_or(c.defaultWait), 0), *c.cycle.MaxPulseUs});
    return areas;
}

std::int64_t PulseUs(const PulseArea& area, const LinkPulseCost& cost) {
    return std::int64_t{area.waitMs} * 1000 + cost.overWaitUs + cost.frameUs;
}

std::optional<std::string> PulseRefusal(const std::string& device, const std::vector<PulseArea>& areas,
                                        const LinkPulseCost& cost) {
    for (const PulseArea& area : areas) {
        const std::int64_t pulse = PulseUs(area, cost);
        if (pulse > area.maxUs)
            return device + ": this link ends a programming pulse of " + area.name + " after " + Ms(pulse) +
                   ", and the chip stands at most " + Ms(area.maxUs) +
                   ". Use a faster link: an RS-232 port or the FT232R link.";
    }
    return std::nullopt;
}

} // namespace vandrel::programmer
