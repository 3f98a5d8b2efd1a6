#include "cli/link_trace.h"

#include <cstdio>

#include "common/convert.h"
#include "programmer/farm_link.h"

namespace vandrel::cli {

namespace win = serial::win;

namespace {

constexpr int kCommandBits = 6;
constexpr int kDataBits = 16; // start bit, 14 data bits, stop bit

bool LoadsData(int command) {
    return command == programmer::kLoadConfiguration || command == programmer::kLoadDataForProgramMemory ||
           command == programmer::kLoadDataForDataMemory;
}

bool ReadsData(int command) {
    return command == programmer::kReadDataFromProgramMemory || command == programmer::kReadDataFromDataMemory;
}

// Every call passed on; the line calls also to the trace.
class TracedPortDriver final : public serial::PortDriver {
public:
    TracedPortDriver(std::unique_ptr<serial::PortDriver> inner, std::shared_ptr<LinkTrace> trace)
        : inner_(std::move(inner)), trace_(std::move(trace)) {}

    bool EscapeCommFunction(std::uint32_t function) override {
        const std::int64_t start = trace_->NowUs();
        const bool done = inner_->EscapeCommFunction(function);
        if (done)
            trace_->Escape(function, start);
        return done;
    }
    bool GetCommModemStatus(std::uint32_t& status) override { return inner_->GetCommModemStatus(status); }
    bool SetCommBreak() override {
        const std::int64_t start = trace_->NowUs();
        return Traced(inner_->SetCommBreak(), true, start);
    }
    bool ClearCommBreak() override {
        const std::int64_t start = trace_->NowUs();
        return Traced(inner_->ClearCommBreak(), false, start);
    }
    void SampleModemStatus() override { inner_->SampleModemStatus(); }
    bool CollectSamples(std::vector<serial::StatusSample>& samples) override {
        const bool done = inner_->CollectSamples(samples);
        if (done)
            trace_->Samples(samples);
        return done;
    }
    bool Flush() override { return inner_->Flush(); }
    bool Pause(Clock& clock, std::int64_t ms) override {
        trace_->Pause(ms);
        return inner_->Pause(clock, ms);
    }

    bool Open(const std::string& deviceName, std::string& osError) override { return inner_->Open(deviceName, osError); }
    void CloseHandle() override { inner_->CloseHandle(); }
    std::uint32_t NativeHandle() const override { return inner_->NativeHandle(); }
    bool SetupComm(std::int32_t inQueue, std::int32_t outQueue) override { return inner_->SetupComm(inQueue, outQueue); }
    bool PurgeComm(std::uint32_t flags) override { return inner_->PurgeComm(flags); }
    bool GetCommState(serial::PortState& state) override { return inner_->GetCommState(state); }
    bool SetCommState(const serial::PortState& state) override { return inner_->SetCommState(state); }
    bool GetCommTimeouts(serial::CommTimeouts& timeouts) override { return inner_->GetCommTimeouts(timeouts); }
    bool SetCommTimeouts(const serial::CommTimeouts& timeouts) override { return inner_->SetCommTimeouts(timeouts); }
    bool SetCommMask(std::uint32_t mask) override { return inner_->SetCommMask(mask); }
    bool WaitCommEvent(std::uint32_t& mask) override { return inner_->WaitCommEvent(mask); }
    void WakeCommEventWaiter() override { inner_->WakeCommEventWaiter(); }
    bool ClearCommError(std::uint32_t& errors, std::uint32_t& inQueue) override {
        return inner_->ClearCommError(errors, inQueue);
    }
    serial::IoResult Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& read) override {
        return inner_->Read(buffer, count, read);
    }
    serial::IoResult ReadResult(std::uint32_t& read) override { return inner_->ReadResult(read); }
    serial::IoResult Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t& written) override {
        return inner_->Write(data, count, written);
    }
    bool WaitWrite(std::uint32_t& written) override { return inner_->WaitWrite(written); }

private:
    bool Traced(bool done, bool breakOn, std::int64_t startUs) {
        if (done)
            trace_->Break(breakOn, startUs);
        return done;
    }

    std::unique_ptr<serial::PortDriver> inner_;
    std::shared_ptr<LinkTrace> trace_;
};

} // namespace

std::string LinkTrace::CommandName(int command) {
    switch (command) {
    case programmer::kLoadConfiguration: return "Load Configuration";
    case programmer::kLoadDataForProgramMemory: return "Load Data for Program Memory";
    case programmer::kLoadDataForDataMemory: return "Load Data for Data Memory";
    case programmer::kReadDataFromProgramMemory: return "Read Data from Program Memory";
    case programmer::kReadDataFromDataMemory: return "Read Data from Data Memory";
    case programmer::kIncrementAddress: return "Increment Address";
    case programmer::kBeginEraseProgrammingCycle: return "Begin Erase/Programming Cycle";
    case programmer::kBulkEraseProgramMemory: return "Bulk Erase Program Memory";
    case programmer::kBulkEraseDataMemory: return "Bulk Erase Data Memory";
    case programmer::kEndProgramming: return "End Programming";
    case programmer::kBeginProgrammingOnly: return "Begin Programming Only Cycle";
    case programmer::kChipErase: return "Chip Erase";
    default: return "command " + Hex4(command).substr(2);
    }
}

void LinkTrace::Escape(std::uint32_t function, std::int64_t startUs) {
    const std::lock_guard lock(mutex_);
    Changed(startUs);
    switch (function) {
    case win::CLRRTS: clockHigh_ = true; break;
    case win::SETRTS:
        // The chip takes the data line's bit as the clock falls.
        if (clockHigh_)
            Bit(data_);
        clockHigh_ = false;
        break;
    case win::SETDTR: data_ = 0; break;
    case win::CLRDTR: data_ = 1; break;
    default: break;
    }
}

void LinkTrace::Changed(std::int64_t startUs) {
    if (changes_++ == 0)
        startUs_ = startUs;
}

void LinkTrace::Bit(int bit) {
    bits_ |= static_cast<std::uint32_t>(bit) << count_;
    if (++count_ < (frame_ == Frame::Command ? kCommandBits : kDataBits))
        return;
    if (frame_ == Frame::Command) {
        command_ = static_cast<int>(bits_);
        frame_ = LoadsData(command_) ? Frame::DataOut : ReadsData(command_) ? Frame::DataIn : Frame::Command;
        if (frame_ == Frame::Command)
            Emit(CommandName(command_));
    } else if (frame_ == Frame::DataOut) {
        Emit(CommandName(command_) + " " + Hex4((bits_ >> 1) & 0x3FFF));
        frame_ = Frame::Command;
    }
    // A read frame ends with its samples.
    bits_ = 0;
    count_ = 0;
}

void LinkTrace::Samples(const std::vector<serial::StatusSample>& samples) {
    const std::lock_guard lock(mutex_);
    if (frame_ != Frame::DataIn || samples.size() != kDataBits)
        return;
    std::uint16_t word = 0;
    for (int i = 1; i <= 14; ++i) {
        const serial::StatusSample& sample = samples[static_cast<std::size_t>(i)];
        if (!sample.ok || (sample.status & win::MS_CTS_ON) == 0)
            word = static_cast<std::uint16_t>(word | (1u << (i - 1)));
    }
    frame_ = Frame::Command;
    Emit(CommandName(command_) + " -> " + Hex4(word));
}

void LinkTrace::Break(bool on, std::int64_t startUs) {
    const std::lock_guard lock(mutex_);
    Changed(startUs);
    frame_ = Frame::Command;
    bits_ = 0;
    count_ = 0;
    Emit(on ? "MCLR low: reset" : "MCLR at VPP: programming mode");
}

void LinkTrace::Pause(std::int64_t ms) {
    const std::lock_guard lock(mutex_);
    // The wait is timed apart from the line changes around it.
    changes_ = 0;
    sink_("trace: wait " + std::to_string(ms) + " ms");
}

void LinkTrace::Emit(const std::string& what) {
    const double us = static_cast<double>(clock_.NowUs() - startUs_);
    char timing[96];
    std::snprintf(timing, sizeof timing, "  (%d line changes, %.0f us, %.1f us each)", changes_, us,
                  changes_ > 0 ? us / changes_ : 0.0);
    sink_("trace: " + what + timing);
    changes_ = 0;
}

std::unique_ptr<serial::PortDriver> TracedDriver(std::unique_ptr<serial::PortDriver> inner,
                                                 std::shared_ptr<LinkTrace> trace) {
    if (!inner)
        return inner;
    return std::make_unique<TracedPortDriver>(std::move(inner), std::move(trace));
}

} // namespace vandrel::cli
