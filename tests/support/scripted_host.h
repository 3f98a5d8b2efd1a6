#pragma once
// A scripted stand-in for the window as the Download and Dump operations see
// it: records what they show, answers from fields the test sets, and lets a
// test hook the message pump and the waits (where a real Stop press or an
// unplugged adapter would strike).
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/clock.h"
#include "programmer/operation_host.h"

namespace vandrel::test {

// Forwards to a virtual clock and calls a hook before every wait.
class HookedClock final : public Clock {
public:
    explicit HookedClock(VirtualClock& base) : base_(base) {}
    std::int64_t NowMs() const override { return base_.NowMs(); }
    std::int64_t NowUs() const override { return base_.NowUs(); }
    void WaitMs(std::int64_t ms) override;
    // Microsecond waits (after End Programming) pass straight on, kept apart.
    void WaitUs(std::int64_t us) override;

    std::function<void(std::int64_t ms)> OnWait; // before the wait; `ms` as asked
    std::vector<std::int64_t> Waits;             // every wait asked for, in order
    std::vector<std::int64_t> WaitsUs;           // every microsecond wait, in order

private:
    VirtualClock& base_;
};

class ScriptedHost : public programmer::OperationHost {
public:
    using StepBox = programmer::StepBox;
    using RequiredField = programmer::RequiredField;
    using OperationButton = programmer::OperationButton;

    explicit ScriptedHost(VirtualClock& clock);

    // --- the script ---
    std::set<StepBox> Checked{StepBox::FarmWare, StepBox::FarmOnDump};
    std::set<RequiredField> EmptyFields;
    std::string HexPath, DumpAddress = "0", DumpSize = "10", Port = "COM0";
    // Called at every ProcessMessages with its 1-based number.
    std::function<void(int pump)> OnPump;
    HookedClock Hooked;

    // Ticks exactly these step boxes (FarmWare and FarmOnDump stay as they are).
    void TickOnly(std::initializer_list<StepBox> boxes);
    void TickAllSteps();

    // --- what the operations did ---
    std::vector<std::string> Statuses, Log, ErrorBoxes;
    std::vector<RequiredField> Flashed;
    int Pumps = 0, LvpTicks = 0, ImageCountRefreshes = 0;
    std::int32_t Min = -1, Max = -1, Position = -1;
    std::vector<std::int32_t> MaxHistory;
    std::map<OperationButton, std::string> Captions{{OperationButton::Go, "&Download"},
                                                   {OperationButton::Dump, "D&ump"}};
    std::map<OperationButton, bool> Enabled{{OperationButton::Go, true}, {OperationButton::Dump, true}};
    bool Stop = false;

    const std::string& LastStatus() const;

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override { Statuses.push_back(text); }
    void AppendLog(const std::string& line) override { Log.push_back(line); }
    void SetProgressMin(std::int32_t value) override { Min = value; }
    void SetProgressMax(std::int32_t value) override;
    void SetProgressPosition(std::int32_t value) override { Position = value; }
    std::int32_t ProgressPosition() const override { return Position; }
    std::int32_t ProgressMax() const override { return Max; }
    void ProcessMessages() override;
    bool StopRequested() const override { return Stop; }
    void SetStopRequested(bool value) override { Stop = value; }
    bool IsChecked(StepBox box) const override { return Checked.count(box) != 0; }
    void TickLvp() override { ++LvpTicks; }
    void ErrorBox(const std::string& message) override { ErrorBoxes.push_back(message); }
    bool FlashIfEmpty(RequiredField field) override;
    void ShowImageCounts() override { ++ImageCountRefreshes; }
    std::string HexFilePath() const override { return HexPath; }
    std::string DumpAddressText() const override { return DumpAddress; }
    std::string DumpSizeText() const override { return DumpSize; }
    std::string PortText() const override { return Port; }
    std::string ButtonCaption(OperationButton button) const override { return Captions.at(button); }
    void SetButtonCaption(OperationButton button, const std::string& caption) override {
        Captions[button] = caption;
    }
    void SetButtonEnabled(OperationButton button, bool enabled) override { Enabled[button] = enabled; }
    Clock& GetClock() override { return Hooked; }
};

} // namespace vandrel::test
