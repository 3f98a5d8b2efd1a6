#pragma once
// The operations' window for benchmarks: shows nothing, ticks the step boxes
// it is given, keeps the last log line, and fails loudly on an error box.
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>

#include "common/clock.h"
#include "programmer/operation_host.h"

// The eight step boxes of a full erase, write and verify.
inline const std::set<vandrel::programmer::StepBox> kEverySteps = {
    vandrel::programmer::StepBox::EraseProgram,        vandrel::programmer::StepBox::EraseDataMemory,
    vandrel::programmer::StepBox::WriteProgram,        vandrel::programmer::StepBox::WriteConfigurationMemory,
    vandrel::programmer::StepBox::WriteDataMemory,     vandrel::programmer::StepBox::VerifyProgram,
    vandrel::programmer::StepBox::VerifyConfigurationMemory, vandrel::programmer::StepBox::VerifyDataMemory};

class QuietHost final : public vandrel::programmer::OperationHost {
public:
    using StepBox = vandrel::programmer::StepBox;
    using OperationButton = vandrel::programmer::OperationButton;

    QuietHost(vandrel::Clock& clock, std::set<StepBox> steps) : clock_(clock), steps_(std::move(steps)) {
        steps_.insert(StepBox::FarmWare);
    }
    std::string lastLog;
    void ShowStatus(const std::string&) override {}
    void AppendLog(const std::string& line) override { lastLog = line; }
    void SetProgressMin(std::int32_t) override {}
    void SetProgressMax(std::int32_t value) override { max_ = value; }
    void SetProgressPosition(std::int32_t value) override { position_ = value; }
    std::int32_t ProgressPosition() const override { return position_; }
    std::int32_t ProgressMax() const override { return max_; }
    void ProcessMessages() override {}
    bool StopRequested() const override { return stop_; }
    void SetStopRequested(bool value) override { stop_ = value; }
    bool IsChecked(StepBox box) const override { return steps_.count(box) != 0; }
    void TickLvp() override {}
    void ErrorBox(const std::string& message) override { throw std::runtime_error(message); }
    bool FlashIfEmpty(vandrel::programmer::RequiredField) override { return false; }
    void ShowImageCounts() override {}
    std::string HexFilePath() const override { return {}; }
    std::string DumpAddressText() const override { return "0"; }
    std::string DumpSizeText() const override { return "0"; }
    std::string PortText() const override { return "COM0"; }
    std::string ButtonCaption(OperationButton button) const override {
        return button == OperationButton::Go ? go_ : "D&ump";
    }
    void SetButtonCaption(OperationButton button, const std::string& caption) override {
        if (button == OperationButton::Go)
            go_ = caption;
    }
    void SetButtonEnabled(OperationButton, bool) override {}
    vandrel::Clock& GetClock() override { return clock_; }

private:
    vandrel::Clock& clock_;
    std::set<StepBox> steps_;
    std::string go_ = "&Download";
    std::int32_t max_ = 0, position_ = 0;
    bool stop_ = false;
};
