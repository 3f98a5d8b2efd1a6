#include "programmer/farm_link.h"

namespace vandrel::programmer {

using serial::win::CLRDTR;
using serial::win::CLRRTS;
using serial::win::MS_CTS_ON;
using serial::win::SETDTR;
using serial::win::SETRTS;

namespace {

// What a read frame gives once the link is lost: the same as erased memory,
// or an absent chip behind an idle adapter.
constexpr std::uint16_t kLostWord = 0x3FFF;
// Clock cycles of a read frame: start bit, 14 data bits, stop bit.
constexpr int kReadCycles = 16;

} // namespace

// A line change whose call fails is tried again at once. Setting a line to the
// level it already has makes no edge, so repeating a change is always safe,
// and the frame goes on only once the change has happened: one failed call can
// neither drop a clock edge (which would shift every later frame by a bit) nor
// leave the data line or the reset where the chip does not expect them. When
// every attempt fails the port is gone for good (a cable pulled); the link then
// drives nothing more for the rest of the operation, rather than clock half
// frames into the chip, and its reads give kLostWord.
template <class Call>
bool TFarmLink::Change(Call call) {
    if (lost_)
        return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt)
        if (call())
            return true;
    lost_ = true;
    return false;
}

bool TFarmLink::Escape(std::uint32_t function) {
    return Change([&] { return lines_.EscapeCommFunction(function); });
}

void TFarmLink::FarmReset() {
    if (!Change([&] { return lines_.SetCommBreak(); }) // chip held in reset
        || !Escape(SETRTS)                              // clock low
        || !Escape(SETDTR))                             // data at the 0 level
        return;
    Wait(100);
    Change([&] { return lines_.ClearCommBreak(); });   // programming voltage: chip enters programming mode
}

void TFarmLink::Wait(std::int64_t ms) {
    if (!lost_ && lines_.Pause(clock_, ms))
        return;
    // The lines could not be held (their batch did not go out): the link is
    // lost, and like any lost link it still takes the run's waits.
    lost_ = true;
    clock_.WaitMs(ms);
}

void TFarmLink::WaitUs(std::int64_t us) {
    if (!lost_ && lines_.PauseUs(clock_, us))
        return;
    lost_ = true;
    clock_.WaitUs(us);
}

void TFarmLink::FarmSend(std::int16_t Value, int Count) {
    // Every frame ends with a 0 bit and FarmReset leaves data at 0, so each
    // call may start from an assumed 0 level; a change is only left behind
    // when it succeeded, so the assumption holds.
    int level = 0;
    for (int i = 0; i < Count; ++i) {
        if (!Escape(CLRRTS)) // clock high
            return;
        const int bit = Value & 1;
        if (bit != level) {
            if (!Escape(bit ? CLRDTR : SETDTR))
                return;
            level = bit;
        }
        if (!Escape(SETRTS)) // clock low: the chip takes the bit
            return;
        Value = static_cast<std::int16_t>(Value >> 1);
    }
}

bool TFarmLink::Collect(std::vector<serial::StatusSample>& samples) {
    if (!lines_.CollectSamples(samples))
        lost_ = true;
    return !lost_;
}

int TFarmLink::ClockReadFrame() {
    for (int i = 0; i < kReadCycles; ++i) {
        if (!Escape(CLRRTS) || !Escape(SETRTS))
            return i;
        // CTS after the falling edge: a driver that makes each call at once
        // reads it here, a batching one at the frame's end.
        lines_.SampleModemStatus();
    }
    return kReadCycles;
}

namespace {

std::uint16_t WordOfFrame(const serial::StatusSample* samples) {
    std::uint16_t result = 0;
    for (int i = 1; i <= 14; ++i) {
        // A failed status query reads as status 0: CTS clear, a 1 bit. A word
        // read over a dead status line therefore looks like erased memory
        // (0x3FFF), the same as an absent chip behind an idle adapter.
        const serial::StatusSample& sample = samples[static_cast<std::size_t>(i)];
        const std::uint32_t status = sample.ok ? sample.status : 0;
        if ((status & MS_CTS_ON) == 0)
            result = static_cast<std::uint16_t>(result | (1u << (i - 1)));
    }
    return result;
}

} // namespace

std::uint16_t TFarmLink::FarmRecv() {
    std::vector<serial::StatusSample> samples;
    if (ClockReadFrame() != kReadCycles) {
        Collect(samples); // the frame's samples so far are dropped
        return kLostWord;
    }
    if (!Collect(samples) || samples.size() != kReadCycles) {
        lost_ = true;
        return kLostWord;
    }
    return WordOfFrame(samples.data());
}

void TFarmLink::FarmReadLater(int Command, std::function<void(std::uint16_t)> then) {
    FarmSend(static_cast<std::int16_t>(Command), 6);
    owed_.push_back({ClockReadFrame() == kReadCycles, std::move(then)});
}

void TFarmLink::Settle(bool all) {
    if (owed_.empty())
        return;
    std::vector<serial::StatusSample> samples;
    if (!lines_.TakeSamples(samples, all))
        lost_ = true;
    taken_.insert(taken_.end(), samples.begin(), samples.end());
    std::vector<std::pair<std::function<void(std::uint16_t)>, std::uint16_t>> ready;
    std::size_t used = 0;
    while (!owed_.empty() && owed_.front().whole && taken_.size() - used >= kReadCycles) {
        ready.emplace_back(std::move(owed_.front().then), WordOfFrame(taken_.data() + used));
        used += kReadCycles;
        owed_.pop_front();
    }
    taken_.erase(taken_.begin(), taken_.begin() + static_cast<std::ptrdiff_t>(used));
    // A frame cut short, or samples that will never come: the link is lost
    // from there on, and the frames left read as a lost link's.
    if (!owed_.empty() && (lost_ || all || !owed_.front().whole)) {
        lost_ = true;
        for (Owed& owed : owed_)
            ready.emplace_back(std::move(owed.then), kLostWord);
        owed_.clear();
        taken_.clear();
    }
    for (auto& [then, word] : ready)
        then(word);
}

void TFarmLink::FarmWrite(int Command, std::int16_t Data) {
    FarmSend(static_cast<std::int16_t>(Command), 6);
    if (Data >= 0)
        FarmSend(static_cast<std::int16_t>((Data & 0x3FFF) << 1), 16);
}

std::uint16_t TFarmLink::FarmRead(int Command) {
    FarmSend(static_cast<std::int16_t>(Command), 6);
    return FarmRecv();
}

} // namespace vandrel::programmer
