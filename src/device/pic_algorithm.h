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

// How long the chip wants after an End Programming before the next command
// (TDIS), where its specification gives none: the 100 us of the later 14-bit
// specifications, which also covers DS41191D's 0.5 us.
inline constexpr std::int64_t kTdisUs = 100;

// The programming cycle of one area, one word at a time.
struct TWriteCycle {
    int Begin = kCodeBeginProgramming; // 0x08, or 0x18 Begin Programming Only
    std::optional<int> End;            // sent after the wait: the cycle is externally timed
    std::optional<std::int32_t> Wait;  // ms; none: the record's Tprog (Tdprog for data)
    // The longest pulse the chip stands, us, from Begin Programming to the
    // End Programming that ends it (externally timed cycles only).
    std::optional<std::int32_t> MaxPulseUs;
    friend bool operator==(const TWriteCycle&, const TWriteCycle&) = default;
};

// The two erase steps.
struct TEraseAlgorithm {
    int ProgramCommand = kCodeBulkEraseProgram; // 0x09, or 0x1F Chip Erase
    bool LoadConfiguration = false; // Load Configuration 0x3FFF before the program erase
    bool PreloadProgram = false;    // Load Data 0x3FFF before Bulk Erase Program Memory (0x09)
    bool PreloadData = false;       // Load Data for Data Memory 0x3FFF before Bulk Erase Data Memory (0x0B)
    std::optional<int> Trigger;     // Begin Programming after a bulk erase
    std::optional<int> End;         // End Programming after the trigger's wait
    // The Bulk Erase Setup cycle (0x01, 0x07, the trigger, Tera, 0x01, 0x07)
    // takes the place of the bulk erase command and its trigger.
    bool Setup = false;
    // Before the program erase, the code-protect disable: Load Configuration
    // 0x3FFF, Increments up to the configuration word, the Bulk Erase Setup
    // cycle; the erase the other keys describe follows.
    bool Unprotect = false;
    friend bool operator==(const TEraseAlgorithm&, const TEraseAlgorithm&) = default;
};

// Words the chip owns that an erase destroys.
struct TCalibration {
    std::optional<std::int32_t> Osccal; // program address of the factory oscillator word
    std::uint16_t BandgapMask = 0;      // factory bits of the (first) configuration word
    // Factory words in the configuration space past the configuration area
    // (the oscillator, POR and BOR trims at 0x2008/0x2009 of the 12F683 and
    // 12F609 families): an erase with the counter at 0x2000 keeps them, so
    // they are read and named but never written nor saved.
    std::vector<std::int32_t> Words;
    // Words the run must read before the erase and write back after it.
    bool Any() const { return Osccal.has_value() || BandgapMask != 0; }
    bool IsWord(std::int32_t address) const {
        for (std::int32_t w : Words)
            if (w == address)
                return true;
        return false;
    }
    friend bool operator==(const TCalibration&, const TCalibration&) = default;
};

// The protection bits of the (first) configuration word. A chip whose word
// holds all of them at the active value (the 16F84A's ten CP bits count
// only together, DS30262E Register 3-1) reads that memory as 0 and takes no
// writes there.
struct TProtection {
    std::uint16_t Code = 0; // CP: protects the program memory
    std::uint16_t Data = 0; // CPD: protects the data EEPROM (the 16F84A's CP bits do both)
    int Active = 0;         // the value of a protecting bit: 0 (active low) or 1
    bool Any() const { return Code != 0 || Data != 0; }
    bool ProtectsCode(std::uint16_t word) const { return On(word, Code); }
    bool ProtectsData(std::uint16_t word) const { return On(word, Data); }
    bool Protects(std::uint16_t word) const { return ProtectsCode(word) || ProtectsData(word); }
    friend bool operator==(const TProtection&, const TProtection&) = default;

private:
    bool On(std::uint16_t word, std::uint16_t bits) const {
        return bits != 0 && (word & bits) == (Active != 0 ? bits : 0);
    }
};

// A configuration the adapter cannot come back from: MCLR as an input pin
// (MCLRE = 0) with the internal oscillator. Such a chip runs its program as
// soon as it has power, and only a Vpp-first entry (DS41204G 3.0, DS41284C
// 4.0, DS30034D 2.3) puts it into programming mode; an adapter that keeps
// Vdd on may never reach it again. Bits of the (first) configuration word.
struct TLockOut {
    std::uint16_t Mclre = 0;               // the MCLRE bit(s): all 0 for the hazard
    std::uint16_t Oscillator = 0;          // the FOSC bits
    std::vector<std::uint16_t> Internal;   // their values that choose the internal oscillator
    bool Any() const { return Mclre != 0 && Oscillator != 0 && !Internal.empty(); }
    bool LocksOut(std::uint16_t word) const {
        if (!Any() || (word & Mclre) != 0)
            return false;
        for (std::uint16_t v : Internal)
            if ((word & Oscillator) == v)
                return true;
        return false;
    }
    friend bool operator==(const TLockOut&, const TLockOut&) = default;
};

struct TAlgorithm {
    TEraseAlgorithm Erase;
    TWriteCycle Program;
    TWriteCycle Configuration;
    TWriteCycle Data;
    TCalibration Calibration;
    TProtection Protection;
    TLockOut LockOut;
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
// nothing is reported. The calibration and protection keys are kept only
// where they fall inside the program memory and the configuration word they
// name.
TAlgorithm ReadAlgorithm(const std::vector<std::string>& section, TMemoryRange programMemory,
                         TMemoryRange configurationWord);

} // namespace vandrel::device
