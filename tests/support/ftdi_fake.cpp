#include "support/ftdi_fake.h"

#include <algorithm>

namespace vandrel::test {

using ftdi::FtdiProblem;

bool FakeFtdiDevice::SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs,
                                    FtdiProblem& problem) {
    if (state_->bitBangFails) {
        problem = {FtdiProblem::Kind::Other, "ftdi_set_bitmode: failed"};
        return false;
    }
    state_->mask = outputMask;
    state_->bytesPerSecond = bytesPerSecond;
    state_->latencyMs = latencyMs;
    return true;
}

bool FakeFtdiDevice::Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                              FtdiProblem& problem) {
    FakeFtdiState& s = *state_;
    s.transfers.push_back(out);
    const int number = static_cast<int>(s.transfers.size());
    in.clear();
    if (closed_ || (s.failTransfer != 0 && number >= s.failTransfer)) {
        problem = {FtdiProblem::Kind::Transfer, "LIBUSB_ERROR_NO_DEVICE"};
        return false;
    }
    for (const std::uint8_t byte : out) {
        in.push_back(ftdi::WithLine(s.pins, ftdi::AdapterLine::Cts, s.cts(s.streamed++)));
        s.pins = static_cast<std::uint8_t>((byte & s.mask) | (s.pins & ~s.mask));
    }
    if (number == s.shortTransfer && !in.empty())
        in.pop_back();
    return true;
}

void FakeFtdiDevice::Close() {
    if (closed_)
        return;
    closed_ = true;
    state_->open = false;
    ++state_->closes;
}

std::vector<ftdi::FtdiDeviceInfo> FakeFtdiBus::List(FtdiProblem& problem) {
    problem = listProblem;
    return listProblem ? std::vector<ftdi::FtdiDeviceInfo>{} : cables;
}

std::unique_ptr<ftdi::FtdiDevice> FakeFtdiBus::Open(const ftdi::FtdiTarget& target, FtdiProblem& problem) {
    problem = openProblem;
    if (openProblem)
        return nullptr;
    if (std::none_of(cables.begin(), cables.end(), [&](const auto& c) { return c.Matches(target); })) {
        problem = {FtdiProblem::Kind::NotFound, "device not found"};
        return nullptr;
    }
    state->open = true;
    ++state->opens;
    return std::make_unique<FakeFtdiDevice>(state);
}

} // namespace vandrel::test
