#pragma once
// The --json documents of the commands that list, detect and run.
#include <string>
#include <utility>
#include <vector>

#include "cli/chip_run.h"
#include "cli/console.h"
#include "device/pic_device.h"
#include "programmer/device_id.h"

namespace vandrel::cli {

std::string DevicesJson(const std::string& path, const std::vector<device::TPicDevice>& devices);
// Rows of name and what it is.
std::string PortsJson(const std::vector<std::pair<std::string, std::string>>& rows);

// Prints the chip found; the status of detect: 0, 1 when it is not `expected`
// (when given), 3 when no chip or no known chip answers.
ExitStatus DetectJson(Console& console, const std::string& port, const programmer::ChipIdentity& chip,
                      const device::TPicDevice* expected, const std::string& fileLabel);

// The result of program, verify or erase: a run's report, or nothing when
// --skip-same found the chip already as the file has it.
std::string RunJson(const Invocation& inv, const std::string& device, const RunReport* report);

// How a run ended, as those say it: "complete", "errors", "interrupted", "failed".
const char* ResultName(ExitStatus status);
// "errorLines": the log's lines of words that read back wrong.
class JsonWriter;
void WriteErrorLines(JsonWriter& json, const std::vector<std::string>& log);

} // namespace vandrel::cli
