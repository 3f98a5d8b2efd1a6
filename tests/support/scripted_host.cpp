#include "support/scripted_host.h"

namespace vandrel::test {

void HookedClock::WaitMs(std::int64_t ms) {
    Waits.push_back(ms);
    if (OnWait)
        OnWait(ms);
    base_.WaitMs(ms);
}

void HookedClock::WaitUs(std::int64_t us) {
    WaitsUs.push_back(us);
    base_.WaitUs(us);
}

ScriptedHost::ScriptedHost(VirtualClock& clock) : Hooked(clock) {}

void ScriptedHost::TickOnly(std::initializer_list<StepBox> boxes) {
    for (StepBox box : {StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                        StepBox::WriteConfigurationMemory, StepBox::WriteDataMemory, StepBox::VerifyProgram,
                        StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory})
        Checked.erase(box);
    Checked.insert(boxes);
}

void ScriptedHost::TickAllSteps() {
    TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
              StepBox::WriteConfigurationMemory, StepBox::WriteDataMemory, StepBox::VerifyProgram,
              StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory});
}

const std::string& ScriptedHost::LastStatus() const {
    static const std::string none;
    return Statuses.empty() ? none : Statuses.back();
}

void ScriptedHost::SetProgressMax(std::int32_t value) {
    Max = value;
    MaxHistory.push_back(value);
}

void ScriptedHost::ProcessMessages() {
    ++Pumps;
    if (OnPump)
        OnPump(Pumps);
}

bool ScriptedHost::FlashIfEmpty(RequiredField field) {
    if (EmptyFields.count(field) == 0)
        return false;
    Flashed.push_back(field);
    return true;
}

} // namespace vandrel::test
