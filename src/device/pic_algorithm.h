#pragma once
// How a device's memories are erased and written: the optional algorithm keys
// of a picspecs.ini section, read into a record whose defaults are the
// one-word run (bulk erase 0x09 / 0x0B, then per word Load Data, Begin
// Erase/Programming Cycle 0x08, wait, read back).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::device {

// Command codes the keys may name.
inline constexpr int kCodeBeginProgramming = 0x08;     // Begin Erase/Programming Cycle
inline constexpr int kCodeBeginProgrammingOnly = 0x18; // Begin Programming Only Cycle
inline constexpr int kCodeEndProgramming = 0x17;       // End Programming
inline constexpr int kCodeEndProgrammingShort = 0x0A;  // End Programming of the 12F6xx parts
inline constexpr int kCodeEndProgrammingOld = 0x0E;    // End Programming of the 16F7x parts
inline constexpr int kCodeBulkEraseProgram = 0x09;
inline constexpr int kCodeChipErase = 0x1F;

// The programming cycle of one area, one word at a time.
struct TWriteCycle {
    int Begin = kCodeBeginProgramming; // 0x08, or 0x18 Begin Programming Only
    std::optional<int> End;            // sent after the wait: the cycle is externally timed
    std::optional<std::int32_t> Wait;  // ms; none: the record's Tprog (Tdprog for data)
    friend bool operator==(const TWriteCycle&, const TWriteCycle&) = default;
};

// The two erase steps.
struct TEraseAlgorithm {
    int ProgramCommand = kCodeBulkEraseProgram; // 0x09, or 0x1F Chip Erase
    bool LoadConfiguration = false; // Load Configuration 0x3FFF before the program erase
    bool Preload = false;           // Load Data 0x3FFF before a bulk erase (0x09, 0x0B)
    std::optional<int> Trigger;     // Begin Programming after a bulk erase
    std::optional<int> End;         // End Programming after the trigger's wait
    friend bool operator==(const TEraseAlgorithm&, const TEraseAlgorithm&) = default;
};

// Words the chip owns that an erase destroys.
struct TCalibration {
    std::optional<std::int32_t> Osccal; // program address of the factory oscillator word
    std::uint16_t BandgapMask = 0;      // factory bits of the (first) configuration word
    bool Any() const { return Osccal.has_value() || BandgapMask != 0; }
    friend bool operator==(const TCalibration&, const TCalibration&) = default;
};

struct TAlgorithm {
    TEraseAlgorithm Erase;
    TWriteCycle Program;
    TWriteCycle Configuration;
    TWriteCycle Data;
    TCalibration Calibration;
    // Implemented bits of the configuration words, in address order; a word
    // past the end of the list takes the last mask. Empty: all 16 bits count.
    std::vector<std::uint16_t> ConfigurationMasks;

    // True when the section has no algorithm key: the one-word run.
    bool IsOneWord() const { return *this == TAlgorithm{}; }
    friend bool operator==(const TAlgorithm&, const TAlgorithm&) = default;
};

struct TMemoryRange;

// Reads the algorithm keys of a section (key=value lines). A key that is
// missing, not a number or outside its documented values keeps its default;
// nothing is reported. The calibration keys are kept only where they fall
// inside the program memory and the configuration word they name.
TAlgorithm ReadAlgorithm(const std::vector<std::string>& section, TMemoryRange programMemory,
                         TMemoryRange configurationWord);

} // namespace vandrel::device
