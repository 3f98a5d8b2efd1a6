#pragma once
// One press of the window's Download or Dump button as a plain record; the
// press itself; and the planned run: the same press against a simulated
// chip on virtual time, which counts the line calls (or the FT232R's
// transfers and bytes) and waits of the run exactly (the runs never branch on
// what the chip answers).
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/invocation.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_operations.h"

namespace vandrel::cli {

struct OperationRequest {
    enum class Kind { Program, Dump };
    Kind kind = Kind::Program;
    std::set<programmer::StepBox> steps; // Program: the ticked step boxes
    std::int32_t address = 0, count = 0; // Dump
    std::string hexPath;                 // Program: the edtHexFile text
    bool WantsSummary() const { return kind == Kind::Program; }
};

// The step boxes of program, verify and erase with the record's areas and switches.
OperationRequest ProgramRequest(const Invocation& inv);
OperationRequest DumpRequest(std::int32_t address, std::int32_t count);

// Fills the host's fields from the request and presses the button.
void Press(programmer::TFarmOperations& operations, ConsoleHost& host, const OperationRequest& request);

// How the run's line changes reach the chip: one call each, or batched into
// the USB transfers of an FT232R in bit-bang mode.
enum class LinkKind { PerCall, Ft232r };

struct OperationPlan {
    OperationSpan span;           // line calls and waits from the first step to the closing steps
    std::vector<RunPoint> points; // one per status shown
    RunPoint end;
};

OperationPlan PlanOperation(const device::TPicDevice& device, const image::THexFile& image,
                            const OperationRequest& request, LinkKind link = LinkKind::PerCall);

} // namespace vandrel::cli
