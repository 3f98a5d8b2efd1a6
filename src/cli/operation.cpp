#include "cli/operation.h"


namespace vandrel::cli {

using programmer::StepBox;

OperationRequest ProgramRequest(const Invocation& inv) {
    OperationRequest request;
    request.hexPath = inv.file;
    request.timing = inv.fastTiming ? device::RunTiming::Fast : device::RunTiming::Described;
    const Areas& a = inv.areas;
    const auto tick = [&](bool when, StepBox box) {
        if (when)
            request.steps.insert(box);
    };
    switch (inv.command) {
    case Command::Program:
        // One bulk erase takes program memory (and, from the configuration
        // area, the configuration words): needed for the program area only,
        // since each configuration word is erased by its own programming cycle.
        tick(inv.erase && a.program, StepBox::EraseProgram);
        tick(inv.erase && a.data, StepBox::EraseDataMemory);
        tick(a.program, StepBox::WriteProgram);
        tick(a.config, StepBox::WriteConfigurationMemory);
        tick(a.data, StepBox::WriteDataMemory);
        [[fallthrough]];
    case Command::Verify:
        if (inv.command == Command::Verify || inv.verify) {
            tick(a.program, StepBox::VerifyProgram);
            tick(a.config, StepBox::VerifyConfigurationMemory);
            tick(a.data, StepBox::VerifyDataMemory);
        }
        break;
    case Command::Erase:
        tick(a.program || a.config, StepBox::EraseProgram);
        tick(a.data, StepBox::EraseDataMemory);
        break;
    default: break;
    }
    return request;
}

} // namespace vandrel::cli
