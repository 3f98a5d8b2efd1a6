// What the simulated chip families share: the command codes, and the word
// and erase cycles that several families run alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "simulator/sim_chip_core.h"

namespace vandrel::simulator::families {

inline constexpr int kBulkEraseSetup1 = 0x01;
inline constexpr int kBulkEraseSetup2 = 0x07;
inline constexpr int kBeginProgramming = 0x08;
inline constexpr int kBulkEraseProgram = 0x09;
inline constexpr int kEndProgrammingShort = 0x0A; // End Programming of the 12F6xx parts
inline constexpr int kBulkEraseData = 0x0B;
inline constexpr int kEndProgramming = 0x17;
inline constexpr int kBeginProgrammingOnly = 0x18;
inline constexpr int kChipErase = 0x1F;

std::string At(std::int32_t address);
std::string EraseName(const SimCore::ArmedErase& erase);
// A bulk erase as it runs once started.
std::function<void()> EraseAction(SimCore& core, SimCore::ArmedErase erase);
// One word (or data cell) at the counter, from the one-word latch.
void StartWordCycle(SimCore& core, bool external, std::int64_t ms, bool programOnly, int endCommand = 0);
// Bulk Erase Program Memory of the 16F62xA and the 12F629 family.
void StartProgramErase(SimCore& core, std::int64_t ms);

// Each gives the family of a device ID (masked with 0x3FE0), or null when
// the ID is none of its chips.
std::unique_ptr<SimFamily> MakeCalibratedFamily(std::int32_t id);
std::unique_ptr<SimFamily> MakeRowFamily(std::int32_t id);
std::unique_ptr<SimFamily> MakeWaveFamily(std::int32_t id);
// The family of a chip without a device ID (16F83/84), by its section's name.
std::unique_ptr<SimFamily> MakeIdlessFamily(const std::string& name);

} // namespace vandrel::simulator::families
