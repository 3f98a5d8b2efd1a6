#pragma once
// The simulated chip's memories kept between runs of a program, so that a
// program, then a verify, then a read behave as they would on a real chip.
// The file is an Intel HEX file of every word that is not erased (program and
// configuration words other than 3FFF, EEPROM bytes other than FF), after one
// comment line naming the device; it is replaced whole at every save.
#include <functional>
#include <string>

#include "simulator/sim_programmer.h"

namespace vandrel::simulator {

using GetEnv = std::function<const char*(const char*)>;

// One file per device: $XDG_STATE_HOME/vandrel1/<device>.hex, else
// $HOME/.local/state/vandrel1/<device>.hex, else %LOCALAPPDATA%\vandrel1\<device>.hex
// (on Windows %LOCALAPPDATA% before $HOME).
// Characters of the device name that have no place in a file name become "_".
// Empty when none of the variables is set.
std::string DefaultSimStatePath(const std::string& deviceName, const GetEnv& getEnv);

// The state file of the simulated chip of COM0:N: "-N" before the extension
// of `path` (PIC16F628A.hex -> PIC16F628A-2.hex); `path` itself for 0.
std::string NumberedSimStatePath(const std::string& path, int number);

// Puts the file's words into the chip; a missing file leaves the chip as it
// is (a new chip is erased). The device ID stays the chip's own. "" on
// success, else what is wrong: the system's reason, or "line N: checksum error"
// (N counted from 1).
std::string LoadSimState(SimChip& chip, const std::string& path);

// Writes the chip's memories, creating the file's folder when needed; "" on
// success, else the system's reason.
std::string SaveSimState(const SimChip& chip, const std::string& path);

} // namespace vandrel::simulator
