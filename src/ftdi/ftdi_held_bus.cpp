#include "ftdi/ftdi_held_bus.h"

#include <mutex>

namespace vandrel::ftdi {

struct HeldFtdiBus::State {
    std::mutex mutex;
    std::shared_ptr<FtdiBus> inner;
    std::unique_ptr<FtdiDevice> device; // the cable, open or kept
    FtdiTarget target;
    bool inUse = false;
    // Given back when its handle closes, not kept: a transfer or a mode
    // change failed, or the bus was released while the handle was out.
    bool giveBackAtClose = false;

    void CloseLocked() {
        if (device)
            device->Close();
        device.reset();
        inUse = false;
        giveBackAtClose = false;
    }
};

namespace {

// What the link holds: the kept cable, whose Close only hands it back to the bus.
class HeldDevice final : public FtdiDevice {
public:
    explicit HeldDevice(std::shared_ptr<HeldFtdiBus::State> state) : state_(std::move(state)) {}
    ~HeldDevice() override { Close(); }

    bool SetSyncBitBang(std::uint8_t outputMask, int bytesPerSecond, int latencyMs, FtdiProblem& problem) override {
        return Note(Device().SetSyncBitBang(outputMask, bytesPerSecond, latencyMs, problem));
    }

    bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                  FtdiProblem& problem) override {
        return Note(Device().Exchange(out, in, problem));
    }

    std::uint64_t Submit(const std::vector<std::uint8_t>& out) override { return Device().Submit(out); }

    bool Collect(std::uint64_t ticket, std::vector<std::uint8_t>& in, FtdiProblem& problem) override {
        return Note(Device().Collect(ticket, in, problem));
    }

    void Close() override {
        if (!state_)
            return;
        const std::lock_guard lock(state_->mutex);
        if (state_->giveBackAtClose)
            state_->CloseLocked();
        state_->inUse = false;
        state_.reset();
    }

private:
    // Only this handle uses the device while it is open, so the calls
    // themselves go without the lock.
    FtdiDevice& Device() { return *state_->device; }

    bool Note(bool ok) {
        if (!ok) {
            const std::lock_guard lock(state_->mutex);
            state_->giveBackAtClose = true;
        }
        return ok;
    }

    std::shared_ptr<HeldFtdiBus::State> state_;
};

} // namespace

HeldFtdiBus::HeldFtdiBus(std::shared_ptr<FtdiBus> inner) : state_(std::make_shared<State>()) {
    state_->inner = std::move(inner);
}

HeldFtdiBus::~HeldFtdiBus() { Release(); }

std::vector<FtdiDeviceInfo> HeldFtdiBus::List(FtdiProblem& problem) {
    if (!state_->inner) {
        problem = {FtdiProblem::Kind::Unavailable, "no USB bus"};
        return {};
    }
    return state_->inner->List(problem);
}

std::unique_ptr<FtdiDevice> HeldFtdiBus::Open(const FtdiTarget& target, FtdiProblem& problem) {
    problem = {};
    const std::lock_guard lock(state_->mutex);
    if (state_->inUse) {
        problem = {FtdiProblem::Kind::Busy, "already open"};
        return nullptr;
    }
    if (state_->device && !(state_->target == target))
        state_->CloseLocked();
    if (!state_->device) {
        if (!state_->inner) {
            problem = {FtdiProblem::Kind::Unavailable, "no USB bus"};
            return nullptr;
        }
        state_->device = state_->inner->Open(target, problem);
        if (!state_->device)
            return nullptr;
        state_->target = target;
    }
    state_->inUse = true;
    return std::make_unique<HeldDevice>(state_);
}

void HeldFtdiBus::Release() {
    const std::lock_guard lock(state_->mutex);
    if (state_->inUse) {
        // A handle still out keeps working until it closes; the kept cable
        // goes then.
        state_->giveBackAtClose = true;
        return;
    }
    state_->CloseLocked();
}

} // namespace vandrel::ftdi
