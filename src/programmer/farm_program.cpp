// The programming run: erase, write with read-back, and verify, each step
// chosen by its check box at the moment it is reached.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "common/convert.h"
#include "programmer/farm_operations.h"
#include "programmer/lock_out.h"
#include "programmer/pulse_limit.h"

namespace vandrel::programmer {

namespace {

enum class Area { Program, Configuration, Data };

device::TMemoryRange RangeOf(const device::TPicDevice& device, Area area) {
    switch (area) {
    case Area::Program: return device.ProgramMemory;
    case Area::Configuration: return device.ConfigurationMemory;
    case Area::Data: return device.DataMemory;
    }
    return {};
}

} // namespace

// What tells the six word steps apart.
struct TFarmOperations::WordStep {
    bool Write = false;
    Area Where = Area::Program;
    const char* EmptyLine = nullptr;          // write steps: the area holds no word
    const char* Heading = nullptr;
    std::optional<int> OpeningCommand{};        // sent with data 0 after the heading
    std::optional<std::int32_t> FixedCounter{}; // the counter's start; else the area's Address
    std::optional<int> LoadCommand{};           // write steps
    bool DataDelay = false;                   // wait Tdprog instead of Tprog
    int ReadCommand = kReadDataFromProgramMemory;
    const char* Prefix = nullptr;
    bool PumpBeforeStopCheck = true;
    const char* ErrorWord = nullptr;
};

void TFarmOperations::FarmProgram() {
    static const WordStep kWriteProgram{
        .Write = true,
        .Where = Area::Program,
        .EmptyLine = " Can't find Program Data in hex file.",
        .Heading = "<LOAD PROGRAM MEMORY>",
        .FixedCounter = 0,
        .LoadCommand = kLoadDataForProgramMemory,
        .ReadCommand = kReadDataFromProgramMemory,
        .Prefix = "LOAD PROGRAM MEMORY ",
        .PumpBeforeStopCheck = true,
        .ErrorWord = "Write",
    };
    static const WordStep kWriteConfiguration{
        .Write = true,
        .Where = Area::Configuration,
        .EmptyLine = " Can't find Configuration Data in hex file.",
        .Heading = "<LOAD CONFIGURATION DATA>",
        .OpeningCommand = kLoadConfiguration,
        .LoadCommand = kLoadDataForProgramMemory,
        .ReadCommand = kReadDataFromProgramMemory,
        .Prefix = "LOAD CONFIGURATION MEMORY ",
        .PumpBeforeStopCheck = false,
        .ErrorWord = "Write",
    };
    static const WordStep kWriteData{
        .Write = true,
        .Where = Area::Data,
        .EmptyLine = " Can't find EEPROM Data in hex file.",
        .Heading = "<LOAD EEPROM DATA>",
        .OpeningCommand = kLoadDataForDataMemory,
        .LoadCommand = kLoadDataForDataMemory,
        .DataDelay = true,
        .ReadCommand = kReadDataFromDataMemory,
        .Prefix = "LOAD EEPROM DATA ",
        .PumpBeforeStopCheck = false,
        .ErrorWord = "Write",
    };
    static const WordStep kVerifyProgram{
        .Write = false,
        .Where = Area::Program,
        .Heading = "<VERIFY PROGRAM MEMORY>",
        .FixedCounter = 0,
        .ReadCommand = kReadDataFromProgramMemory,
        .Prefix = "VERIFY PROGRAM MEMORY ",
        .PumpBeforeStopCheck = true,
        .ErrorWord = "Verify",
    };
    static const WordStep kVerifyConfiguration{
        .Write = false,
        .Where = Area::Configuration,
        .Heading = "<VERIFY CONFIGURATION MEMORY>",
        .OpeningCommand = kLoadConfiguration,
        .ReadCommand = kReadDataFromProgramMemory,
        .Prefix = "VERIFY CONFIGURATION MEMORY ",
        .PumpBeforeStopCheck = true,
        .ErrorWord = "Verify",
    };
    // The data verify counts from the EEPROM's conventional base, whatever the
    // device file gives as the data area's start.
    static const WordStep kVerifyData{
        .Write = false,
        .Where = Area::Data,
        .Heading = "<VERIFY EEPROM DATA>",
        .FixedCounter = 0x2100,
        .ReadCommand = kReadDataFromDataMemory,
        .Prefix = "VERIFY EEPROM DATA ",
        .PumpBeforeStopCheck = true,
        .ErrorWord = "Verify",
    };

    TFarmLink link = MakeLink();
    std::int32_t errors = 0;
    kept_.reset();
    // The run's own copy: Clear Buffer or a new file during the run change the
    // window's image, not what this run writes and verifies.
    runImage_ = std::make_unique<image::THexFile>(image_);
    chipConfigurationWord_.reset();

    host_.TickLvp();
    Pump();
    if (Stopped())
        return;
    if (timing_ == device::RunTiming::Fast && !FastTimingStart())
        return;
    if (!PulseLimitCheck(link))
        return;
    if (host_.IsChecked(StepBox::EraseProgram)) {
        // Words the chip owns are read before the erase and written back
        // right after it; a run stopped in between would lose them.
        const CalibrationRead read = device_.Algorithm.Calibration.Any()
                                         ? ReadCalibrationStep(link, errors)
                                         : CalibrationRead::Kept;
        if (read == CalibrationRead::Stopped)
            return;
        if (read == CalibrationRead::Kept) {
            EraseStep(link, true);
            // The program erase clears the configuration word, protection included.
            chipConfigurationWord_ = 0x3FFF;
            if (kept_)
                RestoreCalibrationStep(link, errors);
        }
    }
    if (Stopped())
        return;
    // A chip without data EEPROM has no data commands (0x0B, 0x03, 0x05)
    // either: its three data steps send nothing.
    const bool noData = device_.DataMemory.Size <= 0;
    if (noData && (host_.IsChecked(StepBox::EraseDataMemory) || host_.IsChecked(StepBox::WriteDataMemory) ||
                   host_.IsChecked(StepBox::VerifyDataMemory)))
        host_.AppendLog("No data EEPROM on this device: the data steps were skipped.");
    if (!noData && host_.IsChecked(StepBox::EraseDataMemory))
        EraseStep(link, false);
    if (Stopped())
        return;
    const bool anyWordStep = host_.IsChecked(StepBox::WriteProgram) ||
                             host_.IsChecked(StepBox::WriteConfigurationMemory) ||
                             host_.IsChecked(StepBox::WriteDataMemory) ||
                             host_.IsChecked(StepBox::VerifyProgram) ||
                             host_.IsChecked(StepBox::VerifyConfigurationMemory) ||
                             host_.IsChecked(StepBox::VerifyDataMemory);
    if (anyWordStep && !ImageCheck())
        return;

    // A configuration word that protects the chip would lock the program
    // memory and the EEPROM as soon as it is written: it goes last, after
    // both are written and verified.
    const bool lockOutLast = lockOutLast_ && LockOutWord(device_, image_).has_value();
    const bool configurationLast = ImageProtects() || lockOutLast;

    if (host_.IsChecked(StepBox::WriteProgram) && !RunWordStep(link, kWriteProgram, errors))
        return;
    if (Stopped())
        return;
    if (!configurationLast) {
        if (host_.IsChecked(StepBox::WriteConfigurationMemory) &&
            !WriteConfigurationStep(link, kWriteConfiguration, errors))
            return;
        if (Stopped())
            return;
    }
    if (!noData && host_.IsChecked(StepBox::WriteDataMemory) && !RunWordStep(link, kWriteData, errors))
        return;
    // The verify steps and the summary have no stop check of their own: a
    // pending stop is seen at the first address of the next verify step.
    if (host_.IsChecked(StepBox::VerifyProgram) && !RunWordStep(link, kVerifyProgram, errors))
        return;
    if (!configurationLast && host_.IsChecked(StepBox::VerifyConfigurationMemory) &&
        !RunWordStep(link, kVerifyConfiguration, errors))
        return;
    if (!noData && host_.IsChecked(StepBox::VerifyDataMemory) && !RunWordStep(link, kVerifyData, errors))
        return;
    if (configurationLast) {
        if (Stopped())
            return;
        if (host_.IsChecked(StepBox::WriteConfigurationMemory)) {
            host_.AppendLog(ImageProtects() ? "Configuration word protects the chip: written last, after the verify."
                                            : "Configuration word turns MCLRE off with the internal oscillator: "
                                              "written last, after the verify.");
            if (!WriteConfigurationStep(link, kWriteConfiguration, errors))
                return;
        }
        if (host_.IsChecked(StepBox::VerifyConfigurationMemory) && !RunWordStep(link, kVerifyConfiguration, errors))
            return;
    }

    host_.AppendLog(errors == 0 ? std::string("complete.") : std::to_string(errors) + " errors.");
}

bool TFarmOperations::PulseLimitCheck(TFarmLink& link) {
    const std::vector<PulseArea> areas =
        PulseAreas(device_, host_.IsChecked(StepBox::WriteProgram), host_.IsChecked(StepBox::WriteConfigurationMemory),
                   host_.IsChecked(StepBox::WriteDataMemory), timing_);
    if (areas.empty())
        return true;
    // The wait of the first area as the system keeps it, then Increment
    // frames, which clock like End Programming (two data-level changes) and
    // leave nothing behind: every step begins with a reset.
    constexpr int kFrames = 4;
    Clock& clock = host_.GetClock();
    link.FarmReset();
    const std::int64_t start = clock.NowUs();
    CycleWait(link, areas.front().waitMs, areas.front().fastUs);
    const std::int64_t waited = clock.NowUs();
    for (int i = 0; i < kFrames; ++i)
        link.FarmWrite(kIncrementAddress, -1);
    const LinkPulseCost cost{std::max<std::int64_t>(waited - start - areas.front().WaitUs(), 0),
                             (clock.NowUs() - waited) / kFrames};
    if (const std::optional<std::string> refusal = PulseRefusal(device_.Name, areas, cost)) {
        host_.ErrorBox(*refusal);
        return false;
    }
    return true;
}

bool TFarmOperations::WriteConfigurationStep(TFarmLink& link, const WordStep& step, std::int32_t& errors) {
    if (!RunWordStep(link, step, errors))
        return false;
    if (const std::int16_t word = runImage_->GetWord(device_.ConfigurationWord.Address);
        word >= 0 && device_.ConfigurationWord.Size > 0)
        host_.ConfigurationWritten(static_cast<std::uint16_t>(word));
    return true;
}

bool TFarmOperations::ImageProtects() const {
    const device::TProtection& protection = device_.Algorithm.Protection;
    const std::int16_t word = image_.GetWord(device_.ConfigurationWord.Address);
    return protection.Any() && word >= 0 && protection.Protects(static_cast<std::uint16_t>(word));
}

// The chip's configuration word, for a verify step of a device with
// protection bits: the run's own knowledge where it erased or wrote the
// word, else read from the chip (a reset, Load Configuration, Increments,
// Read; no log line). 3FFF for a device without a configuration word.
std::uint16_t TFarmOperations::ChipConfigurationWord(TFarmLink& link) {
    if (chipConfigurationWord_)
        return *chipConfigurationWord_;
    const std::int32_t address = device_.ConfigurationWord.Address;
    std::uint16_t word = 0x3FFF;
    if (address >= kConfigurationBase && device_.ConfigurationWord.Size > 0) {
        link.FarmReset();
        LoadConfigurationUpTo(link, 0, address);
        word = link.FarmRead(kReadDataFromProgramMemory);
    }
    chipConfigurationWord_ = word;
    return word;
}

// The line a verify step logs instead of its words when the chip's
// configuration word keeps the area from being read; none when it can be read.
const char* TFarmOperations::ProtectedAreaLine(TFarmLink& link, bool data) {
    const device::TProtection& protection = device_.Algorithm.Protection;
    if (!(data ? protection.Data : protection.Code))
        return nullptr;
    const std::uint16_t word = ChipConfigurationWord(link);
    if (data)
        return protection.ProtectsData(word) ? "Data EEPROM is protected: it reads as 0000 and cannot be verified."
                                             : nullptr;
    return protection.ProtectsCode(word) ? "Program memory is code-protected: it reads as 0000 and cannot be verified."
                                         : nullptr;
}

// The erase of program (and configuration) memory, or of data memory. Without
// algorithm keys: the bulk erase command alone, then Tera.
void TFarmOperations::EraseStep(TFarmLink& link, bool program) {
    const device::TEraseAlgorithm& erase = device_.Algorithm.Erase;
    const char* text = program ? "BULK ERASE PROGRAM/CONFIG MEMORY" : "BULK ERASE DATA MEMORY";
    const int command = program ? erase.ProgramCommand : kBulkEraseDataMemory;
    // A chip erase runs by itself; preload and trigger belong to the bulk erases.
    const bool bulk = command != kChipErase;
    ResetChip(link);
    host_.ShowStatus(text);
    host_.AppendLog(std::string("<") + text + ">");
    if (program && erase.Unprotect) {
        // DS30262E 4.1: from the configuration word, the setup cycle clears
        // the code protection (and every memory); a bulk erase cannot. Where
        // every erase is a setup cycle (DS39025F 2.5.2), the program erase
        // itself runs from there: one cycle serves protected and unprotected chips.
        LoadConfigurationUpTo(link, 0x3FFF, device_.ConfigurationWord.Address);
        if (!(bulk && erase.Setup))
            SetupCycle(link, true);
    }
    if (program && erase.LoadConfiguration)
        link.FarmWrite(kLoadConfiguration, 0x3FFF);
    if (bulk && (program ? erase.PreloadProgram : erase.PreloadData))
        link.FarmWrite(program ? kLoadDataForProgramMemory : kLoadDataForDataMemory, 0x3FFF);
    if (bulk && erase.Setup) {
        SetupCycle(link, program && erase.Unprotect);
        return;
    }
    link.FarmWrite(command, -1);
    const bool triggered = bulk && erase.Trigger.has_value();
    if (triggered)
        link.FarmWrite(*erase.Trigger, -1);
    CycleWait(link, device_.Tera, bulk ? device_.Maxima.Erase : device_.Maxima.ChipErase);
    if (triggered && erase.End)
        EndProgramming(link, *erase.End);
}

// Load Configuration with `data`, then Increments (no message pump) up to `address`.
void TFarmOperations::LoadConfigurationUpTo(TFarmLink& link, std::int16_t data, std::int32_t address) {
    link.FarmWrite(kLoadConfiguration, data);
    for (std::int32_t counter = kConfigurationBase; counter < address; ++counter)
        link.FarmWrite(kIncrementAddress, -1);
}

// Bulk Erase Setup 1 and 2, the Begin Programming that starts the erase,
// Tera, and the two setup commands again.
void TFarmOperations::SetupCycle(TFarmLink& link, bool unprotect) {
    link.FarmWrite(kBulkEraseSetup1, -1);
    link.FarmWrite(kBulkEraseSetup2, -1);
    link.FarmWrite(device_.Algorithm.Erase.Trigger.value_or(kBeginEraseProgrammingCycle), -1);
    CycleWait(link, device_.Tera, unprotect ? device_.Maxima.Unprotect : device_.Maxima.Erase);
    link.FarmWrite(kBulkEraseSetup1, -1);
    link.FarmWrite(kBulkEraseSetup2, -1);
}

void TFarmOperations::EndProgramming(TFarmLink& link, int command) {
    link.FarmWrite(command, -1);
    link.WaitUs(device::kTdisUs);
}

bool TFarmOperations::ImageCheck() {
    const image::THexFile& image = *runImage_;
    const std::int32_t words = image.CountWords(device_.ProgramMemory) +
                               image.CountWords(device_.ConfigurationMemory) +
                               image.CountWords(device_.DataMemory);
    if (words != 0)
        return true;
    if (!image_.LoadFromFile(host_.HexFilePath())) {
        host_.ErrorBox("Cannot load hexfile.");
        return false;
    }
    host_.ShowImageCounts();
    *runImage_ = image_; // the run goes on with what was read
    return true;
}

void TFarmOperations::ShowStepStatus(const char* prefix) {
    host_.ShowStatus(prefix + std::to_string(host_.ProgressPosition()) + "/" +
                     std::to_string(host_.ProgressMax()));
}

// One write or verify step. False when a stop check ended it.
bool TFarmOperations::RunWordStep(TFarmLink& link, const WordStep& step, std::int32_t& errors) {
    // A running step keeps the range it began with.
    const device::TMemoryRange range = RangeOf(device_, step.Where);
    const image::THexFile& image = *runImage_;
    // The calibration word is the chip's own: the image's word there is
    // neither written nor compared.
    const std::optional<std::int32_t> osccal =
        step.Where == Area::Program ? device_.Algorithm.Calibration.Osccal : std::nullopt;
    const bool skipsOsccal = osccal && device::InRange(*osccal, range) && image.GetWord(*osccal) >= 0;
    const std::int32_t skipped = skipsOsccal ? *osccal : -1; // never an address with a word
    const std::int32_t words = image.CountWords(range) - (skipsOsccal ? 1 : 0);
    if (step.Write && words == 0) {
        host_.AppendLog(step.EmptyLine);
        return true;
    }
    // A protected area reads as zeros: one line says so, counted as one error.
    const char* unreadable =
        !step.Write && step.Where != Area::Configuration && words > 0 && device_.Algorithm.Protection.Any()
            ? ProtectedAreaLine(link, step.Where == Area::Data)
            : nullptr;
    ResetChip(link);
    host_.AppendLog(step.Heading);
    host_.SetProgressMax(words);
    host_.SetProgressMin(0);
    host_.SetProgressPosition(0);
    if (unreadable) {
        host_.AppendLog(unreadable);
        ++errors;
        return true;
    }
    if (step.OpeningCommand)
        link.FarmWrite(*step.OpeningCommand, 0);

    // The words of program and data memory are read back streaming: their
    // read-back comes later (over a link that keeps transfers in flight), and
    // each is compared, logged and counted in order once it is there. Every
    // word owed is settled before the step ends or stops. The configuration
    // area reads at once: what its words read back steers the run.
    const bool streamed = step.Where != Area::Configuration;
    const auto stop = [&] {
        link.Settle(true);
        return false;
    };
    // A word read back, at once or streamed: compared with all 16 bits unless
    // the device names the implemented bits of its configuration words (an
    // image word with bit 14 set never reads back equal), then counted.
    const auto readBack = [&](std::int32_t i, std::int16_t w, std::uint16_t r) {
        const std::uint16_t mask = CompareMask(i, !streamed);
        if ((r & mask) != (static_cast<std::uint16_t>(w) & mask))
            LogWordError(step.ErrorWord, i, w, r, errors);
        host_.SetProgressPosition(host_.ProgressPosition() + 1);
        ShowStepStatus(step.Prefix);
    };

    // Follows the chip's address; raised by increments only, never lowered.
    std::int32_t counter = step.FixedCounter.value_or(range.Address);
    const std::int32_t first = range.Address;
    const std::int32_t last = first + range.Size - 1;
    for (std::int32_t i = first; i <= last; ++i) {
        ShowStepStatus(step.Prefix);
        if (step.PumpBeforeStopCheck) {
            Pump();
            if (Stopped())
                return stop();
        } else {
            if (Stopped())
                return stop();
            Pump();
        }
        const std::int16_t w = image.GetWord(i);
        if (w < 0 || i == skipped)
            continue;
        while (counter < i) {
            if (Stopped())
                return stop();
            Pump();
            link.FarmWrite(kIncrementAddress, -1);
            ++counter;
        }
        if (streamed) {
            if (step.Write)
                WriteCycle(link, step.Where == Area::Program ? device_.Algorithm.Program : device_.Algorithm.Data,
                           *step.LoadCommand, w, step.DataDelay);
            link.FarmReadLater(step.ReadCommand, [&readBack, i, w](std::uint16_t r) { readBack(i, w, r); });
            link.Settle(false);
            continue;
        }
        // The configuration area, read at once.
        std::uint16_t r;
        if (step.Write) {
            const device::TAlgorithm& algorithm = device_.Algorithm;
            std::int16_t sent = w;
            const std::uint16_t bandgap = algorithm.Calibration.BandgapMask;
            if (bandgap != 0 && i == device_.ConfigurationWord.Address) {
                // The factory bits go back as the chip had them, never as the image has them.
                const std::uint16_t kept =
                    kept_ && kept_->Bandgap
                        ? *kept_->Bandgap
                        : static_cast<std::uint16_t>(link.FarmRead(kReadDataFromProgramMemory) & bandgap);
                sent = static_cast<std::int16_t>((w & ~bandgap) | kept);
            }
            r = WriteWord(link, algorithm.Configuration, *step.LoadCommand, step.ReadCommand, sent, step.DataDelay);
            if (i == device_.ConfigurationWord.Address)
                chipConfigurationWord_ = r;
        } else {
            r = link.FarmRead(step.ReadCommand);
        }
        readBack(i, w, r);
    }
    link.Settle(true);
    return true;
}

void TFarmOperations::WriteCycle(TFarmLink& link, const device::TWriteCycle& cycle, int load, std::int16_t word,
                                 bool dataDelay) {
    link.FarmWrite(load, word);
    link.FarmWrite(cycle.Begin, -1);
    const device::TMaxima& most = device_.Maxima;
    CycleWait(link, cycle.Wait.value_or(dataDelay ? device_.Tdprog : device_.Tprog),
              &cycle == &device_.Algorithm.Program         ? most.Program
              : &cycle == &device_.Algorithm.Configuration ? most.Configuration
                                                           : most.Data);
    if (cycle.End)
        EndProgramming(link, *cycle.End);
}

std::uint16_t TFarmOperations::WriteWord(TFarmLink& link, const device::TWriteCycle& cycle, int load, int read,
                                         std::int16_t word, bool dataDelay) {
    WriteCycle(link, cycle, load, word, dataDelay);
    return link.FarmRead(read);
}

std::uint16_t TFarmOperations::CompareMask(std::int32_t address, bool configurationArea) const {
    return configurationArea ? device::ComparedBits(device_, address) : 0xFFFF;
}

void TFarmOperations::LogWordError(const char* what, std::int32_t address, std::int32_t expected, std::uint16_t read,
                                   std::int32_t& errors) {
    host_.AppendLog(std::string(what) + " Error at [" + Hex4(address) + "]: " + Hex4(expected) + " -> " + Hex4(read) +
                    " NG");
    ++errors;
}

} // namespace vandrel::programmer
