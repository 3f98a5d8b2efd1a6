#pragma once
// One press of the window's Download or Dump button from a command's record.
// The record, the press and the planned run are the core's (run_plan.h).
#include "cli/console_host.h"
#include "cli/invocation.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"
#include "programmer/run_plan.h"

namespace vandrel::cli {

using programmer::DumpRequest;
using programmer::EstimateOf;
using programmer::LinkKind;
using programmer::OperationPlan;
using programmer::OperationRequest;
using programmer::PlanOperation;
using programmer::Press;

// The step boxes of program, verify and erase with the record's areas and switches.
OperationRequest ProgramRequest(const Invocation& inv);

} // namespace vandrel::cli
