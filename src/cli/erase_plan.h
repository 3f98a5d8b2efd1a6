#pragma once
// What the erase steps of a run take from the chip, area by area, said before
// the run; and the data EEPROM kept across a chip erase that takes it without
// being asked to (16F87xA, 16F87/88, 16F818/819: Erase.Program=0x1F).
#include <cstdint>
#include <string>
#include <vector>

#include "cli/chip_session.h"
#include "cli/invocation.h"
#include "cli/operation.h"
#include "device/pic_device.h"
#include "image/hex_file.h"

namespace vandrel::cli {

struct ErasedAreas {
    bool program = false, config = false, userIds = false, data = false;
    bool Any() const { return program || config || userIds || data; }
};

// What the ticked erase steps take on this device: the program erase takes
// program memory; the configuration words and user IDs too when it starts
// from the configuration area (Load Configuration first), the configuration
// words always with a chip erase, which also takes the data EEPROM.
ErasedAreas ErasedBy(const device::TPicDevice& device, const OperationRequest& request);

// The data EEPROM is to be kept: an erase takes it, the areas do not name it,
// and --no-preserve-eeprom was not given.
bool KeepsEeprom(const device::TPicDevice& device, const Invocation& inv, const OperationRequest& request);

// The lines said before a run with an erase: what it takes, what it takes
// beyond the areas named, and (erase) what the chip keeps.
std::vector<std::string> DescribeErase(const device::TPicDevice& device, const Invocation& inv,
                                       const OperationRequest& request);

// Reads the data EEPROM (a dump that shows nothing) and has the run write
// back and verify every byte that is not erased: the bytes go into the image,
// the data write and verify steps are ticked. The number of such bytes.
std::int32_t ReadEepromToKeep(ChipSession& session, CliContext& ctx, const device::TPicDevice& device,
                              image::THexFile& image, OperationRequest& request);

} // namespace vandrel::cli
