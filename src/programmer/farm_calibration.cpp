// Words a chip owns that its erase destroys (the factory oscillator word at
// the top of program memory, the bandgap bits of the configuration word):
// read before the program erase, written back right after it.
#include <cstdint>
#include <string>

#include "common/convert.h"
#include "programmer/farm_operations.h"

namespace vandrel::programmer {

bool TFarmOperations::StepTo(TFarmLink& link, std::int32_t& counter, std::int32_t target, bool stoppable) {
    while (counter < target) {
        if (stoppable && Stopped())
            return false;
        Pump();
        link.FarmWrite(kIncrementAddress, -1);
        ++counter;
    }
    return true;
}

// Each word is read twice: a link that reads a word differently each time
// would otherwise have the erase destroy the only good copy. Then the run
// goes on without the erase.
TFarmOperations::CalibrationRead TFarmOperations::ReadCalibrationStep(TFarmLink& link, std::int32_t& errors) {
    // Taken once: the window may choose another device while this step pumps.
    const device::TCalibration calibration = device_.Algorithm.Calibration;
    const std::int32_t configurationWord = device_.ConfigurationWord.Address;
    ResetChip(link);
    host_.ShowStatus("READ CALIBRATION");

    struct Reading {
        std::int32_t address;
        std::uint16_t first, second;
    };
    std::optional<Reading> osccal, bandgap;
    std::int32_t counter = 0;
    if (calibration.Osccal) {
        if (!StepTo(link, counter, *calibration.Osccal, true))
            return CalibrationRead::Stopped;
        const std::uint16_t first = link.FarmRead(kReadDataFromProgramMemory);
        osccal = Reading{*calibration.Osccal, first, link.FarmRead(kReadDataFromProgramMemory)};
    }
    if (calibration.BandgapMask != 0) {
        link.FarmWrite(kLoadConfiguration, 0);
        counter = kConfigurationBase;
        if (!StepTo(link, counter, configurationWord, true))
            return CalibrationRead::Stopped;
        const std::uint16_t first = link.FarmRead(kReadDataFromProgramMemory);
        bandgap = Reading{configurationWord, first, link.FarmRead(kReadDataFromProgramMemory)};
    }

    TKeptCalibration kept;
    std::string line = "<READ CALIBRATION>";
    if (osccal) {
        kept.Osccal = osccal->first;
        line += " OSCCAL " + Hex4(osccal->first);
    }
    if (bandgap) {
        kept.Bandgap = static_cast<std::uint16_t>(bandgap->first & calibration.BandgapMask);
        line += " BG " + Hex4(*kept.Bandgap);
    }
    host_.AppendLog(line);

    bool stable = true;
    for (const auto& reading : {osccal, bandgap}) {
        if (reading && reading->first != reading->second) {
            LogWordError("Read", reading->address, reading->first, reading->second, errors);
            stable = false;
        }
    }
    if (!stable)
        return CalibrationRead::Unstable;
    kept_ = kept;
    keptFrom_ = calibration;
    keptConfigurationWord_ = configurationWord;
    return CalibrationRead::Kept;
}

// Runs to its end whatever the stop request says: the chip has just been erased.
void TFarmOperations::RestoreCalibrationStep(TFarmLink& link, std::int32_t& errors) {
    ResetChip(link);
    host_.ShowStatus("RESTORE CALIBRATION");
    host_.AppendLog("<RESTORE CALIBRATION>");

    std::int32_t counter = 0;
    if (kept_->Osccal) {
        const std::int32_t address = *keptFrom_.Osccal;
        StepTo(link, counter, address, false);
        const auto word = static_cast<std::int16_t>(*kept_->Osccal);
        const std::uint16_t r = WriteWord(link, device_.Algorithm.Program, kLoadDataForProgramMemory,
                                          kReadDataFromProgramMemory, word, false);
        if (r != *kept_->Osccal)
            LogWordError("Write", address, word, r, errors);
    }
    if (kept_->Bandgap) {
        const std::uint16_t mask = keptFrom_.BandgapMask;
        link.FarmWrite(kLoadConfiguration, 0);
        counter = kConfigurationBase;
        StepTo(link, counter, keptConfigurationWord_, false);
        // Every other bit stays erased, so that the configuration write that
        // may follow finds them as after any erase.
        const auto word = static_cast<std::int16_t>((0x3FFF & ~mask) | *kept_->Bandgap);
        const std::uint16_t r = WriteWord(link, device_.Algorithm.Configuration, kLoadDataForProgramMemory,
                                          kReadDataFromProgramMemory, word, false);
        if ((r & mask) != *kept_->Bandgap)
            LogWordError("Write", keptConfigurationWord_, word, r, errors);
    }
}

} // namespace vandrel::programmer
