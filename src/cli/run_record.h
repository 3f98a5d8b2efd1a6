#pragma once
// What a port's program, verify or erase leaves for the table and the report
// of a run on several adapters at once (CliContext::record).
#include <optional>
#include <string>

#include "cli/chip_run.h"
#include "programmer/device_id.h"
#include "programmer/farm_operations.h"

namespace vandrel::cli {

struct RunRecord {
    std::optional<programmer::ChipIdentity> chip;      // the device ID, once read
    std::string device;                                // the device worked on, once chosen
    std::optional<RunReport> report;                   // the programming run, once it ran
    std::optional<programmer::TKeptCalibration> kept;  // the calibration words it kept
    bool skipped = false;                              // --skip-same: the chip held the file already
};

} // namespace vandrel::cli
