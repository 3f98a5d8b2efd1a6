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

std::vector<PulseArea> PulseAreas(const device::TPicDevice& device, bool program, bool configuration, bool data,
                                  device::RunTiming timing) {
    const device::TAlgorithm& a = device.Algorithm;
    const device::TMaxima& most = device.Maxima;
    struct Candidate {
        bool written;
        const char* name;
        const device::TWriteCycle& cycle;
        std::int32_t defaultWait;
        const std::optional<std::int32_t>& fastUs;
    };
    const Candidate candidates[] = {
        {program, "program memory", a.Program, device.Tprog, most.Program},
        {configuration, "configuration memory", a.Configuration, device.Tprog, most.Configuration},
        {data && device.DataMemory.Size > 0, "data memory", a.Data, device.Tdprog, most.Data}};
    std::vector<PulseArea> areas;
    for (const Candidate& c : candidates)
        if (c.written && c.cycle.End && c.cycle.MaxPulseUs)
            areas.push_back({c.name, std::max(c.cycle.Wait.value_or(c.defaultWait), 0), *c.cycle.MaxPulseUs,
                             timing == device::RunTiming::Fast ? c.fastUs : std::nullopt});
    return areas;
}

std::int64_t PulseUs(const PulseArea& area, const LinkPulseCost& cost) {
    return area.WaitUs() + cost.overWaitUs + cost.frameUs;
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
