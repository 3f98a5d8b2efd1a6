#include "ftdi/ftdi_bus.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vandrel::ftdi {

namespace {

constexpr std::string_view kPrefix = "ftdi";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// Decimal digits only, at most three of them (USB buses and addresses are below 256).
std::optional<int> SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

class UnavailableBus final : public FtdiBus {
public:
    explicit UnavailableBus(std::string why) : why_(std::move(why)) {}
    std::vector<FtdiDeviceInfo> List(FtdiProblem& problem) override {
        problem = {FtdiProblem::Kind::Unavailable, why_};
        return {};
    }
    std::unique_ptr<FtdiDevice> Open(const FtdiTarget&, FtdiProblem& problem) override {
        problem = {FtdiProblem::Kind::Unavailable, why_};
        return nullptr;
    }

private:
    std::string why_;
};

} // namespace

std::optional<FtdiTarget> ParseFtdiPortName(std::string_view name) {
    if (!StartsWithNoCase(name, kPrefix))
        return std::nullopt;
    const std::string_view rest = name.substr(kPrefix.size());
    FtdiTarget target;
    if (rest.empty())
        return target;
    if (rest.front() != ':' || rest.size() == 1)
        return std::nullopt;
    const std::string_view which = rest.substr(1);
    const auto dash = which.find('-');
    if (dash != std::string_view::npos) {
        const auto bus = SmallNumber(which.substr(0, dash));
        const auto address = SmallNumber(which.substr(dash + 1));
        if (bus && address) {
            target.kind = FtdiTarget::Kind::BusAddress;
            target.bus = *bus;
            target.address = *address;
            return target;
        }
    }
    target.kind = FtdiTarget::Kind::Serial;
    target.serial = std::string(which);
    return target;
}

std::string FtdiPortName(const FtdiTarget& target) {
    switch (target.kind) {
    case FtdiTarget::Kind::First: return std::string(kPrefix);
    case FtdiTarget::Kind::Serial: return std::string(kPrefix) + ":" + target.serial;
    case FtdiTarget::Kind::BusAddress:
        return std::string(kPrefix) + ":" + std::to_string(target.bus) + "-" + std::to_string(target.address);
    }
    return std::string(kPrefix);
}

bool FtdiDeviceInfo::Matches(const FtdiTarget& target) const {
    switch (target.kind) {
    case FtdiTarget::Kind::First: return true;
    case FtdiTarget::Kind::Serial: return !serial.empty() && serial == target.serial;
    case FtdiTarget::Kind::BusAddress: return bus == target.bus && address == target.address;
    }
    return false;
}

std::uint64_t FtdiDevice::Submit(const std::vector<std::uint8_t>& out) {
    const std::uint64_t ticket = nextTicket_++;
    Done& done = done_[ticket];
    done.ok = Exchange(out, done.in, done.problem);
    return ticket;
}

bool FtdiDevice::Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem) {
    const auto it = done_.find(ticket);
    if (it == done_.end()) {
        in.clear();
        problem = {FtdiProblem::Kind::Other, "no such transfer in flight"};
        return false;
    }
    in = std::move(it->second.in);
    problem = std::move(it->second.problem);
    const bool ok = it->second.ok;
    done_.erase(it);
    return ok;
}

std::shared_ptr<FtdiBus> MakeUnavailableFtdiBus(std::string why) {
    return std::make_shared<UnavailableBus>(std::move(why));
}

#ifndef VANDREL_HAVE_LIBFTDI
std::shared_ptr<FtdiBus> MakeSystemFtdiBus() {
    return MakeUnavailableFtdiBus("this build of the program has no libftdi, so it cannot drive an FT232R");
}
#endif

} // namespace vandrel::ftdi
