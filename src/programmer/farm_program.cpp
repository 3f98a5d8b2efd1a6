// The programming run: erase, write with read-back, and verify, each step
// chosen by its check box at the moment it is reached.
#include <cstdint>
#include <optional>
#include <string>

#include "common/convert.h"
#include "programmer/farm_operations.h"

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

    host_.TickLvp();
    Pump();
    if (Stopped())
        return;
    if (host_.IsChecked(StepBox::EraseProgram))
        EraseStep(link, kBulkEraseProgramMemory, "BULK ERASE PROGRAM/CONFIG MEMORY");
    if (Stopped())
        return;
    if (host_.IsChecked(StepBox::EraseDataMemory))
        EraseStep(link, kBulkEraseDataMemory, "BULK ERASE DATA MEMORY");
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

    if (host_.IsChecked(StepBox::WriteProgram) && !RunWordStep(link, kWriteProgram, errors))
        return;
    if (Stopped())
        return;
    if (host_.IsChecked(StepBox::WriteConfigurationMemory) && !RunWordStep(link, kWriteConfiguration, errors))
        return;
    if (Stopped())
        return;
    if (host_.IsChecked(StepBox::WriteDataMemory) && !RunWordStep(link, kWriteData, errors))
        return;
    // The verify steps and the summary have no stop check of their own: a
    // pending stop is seen at the first address of the next verify step.
    if (host_.IsChecked(StepBox::VerifyProgram) && !RunWordStep(link, kVerifyProgram, errors))
        return;
    if (host_.IsChecked(StepBox::VerifyConfigurationMemory) && !RunWordStep(link, kVerifyConfiguration, errors))
        return;
    if (host_.IsChecked(StepBox::VerifyDataMemory) && !RunWordStep(link, kVerifyData, errors))
        return;

    host_.AppendLog(errors == 0 ? std::string("complete.") : std::to_string(errors) + " errors.");
}

void TFarmOperations::EraseStep(TFarmLink& link, int command, const char* text) {
    ResetChip(link);
    host_.ShowStatus(text);
    host_.AppendLog(std::string("<") + text + ">");
    link.FarmWrite(command, -1);
    Wait(device_.Tera);
}

bool TFarmOperations::ImageCheck() {
    const std::int32_t words = image_.CountWords(device_.ProgramMemory) +
                               image_.CountWords(device_.ConfigurationMemory) +
                               image_.CountWords(device_.DataMemory);
    if (words != 0)
        return true;
    if (!image_.LoadFromFile(host_.HexFilePath())) {
        host_.ErrorBox("Cannot load hexfile.");
        return false;
    }
    host_.ShowImageCounts();
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
    const std::int32_t words = image_.CountWords(range);
    if (step.Write && words == 0) {
        host_.AppendLog(step.EmptyLine);
        return true;
    }
    ResetChip(link);
    host_.AppendLog(step.Heading);
    host_.SetProgressMax(words);
    host_.SetProgressMin(0);
    host_.SetProgressPosition(0);
    if (step.OpeningCommand)
        link.FarmWrite(*step.OpeningCommand, 0);

    // Follows the chip's address; raised by increments only, never lowered.
    std::int32_t counter = step.FixedCounter.value_or(range.Address);
    const std::int32_t first = range.Address;
    const std::int32_t last = first + range.Size - 1;
    for (std::int32_t i = first; i <= last; ++i) {
        ShowStepStatus(step.Prefix);
        if (step.PumpBeforeStopCheck) {
            Pump();
            if (Stopped())
                return false;
        } else {
            if (Stopped())
                return false;
            Pump();
        }
        const std::int16_t w = image_.GetWord(i);
        if (w < 0)
            continue;
        while (counter < i) {
            if (Stopped())
                return false;
            Pump();
            link.FarmWrite(kIncrementAddress, -1);
            ++counter;
        }
        std::uint16_t r;
        if (step.Write) {
            link.FarmWrite(*step.LoadCommand, w);
            link.FarmWrite(kBeginEraseProgrammingCycle, -1);
            Wait(step.DataDelay ? device_.Tdprog : device_.Tprog);
        }
        r = link.FarmRead(step.ReadCommand);
        // All 16 bits: an image word with bit 14 set can never read back equal.
        if (r != static_cast<std::uint16_t>(w)) {
            host_.AppendLog(std::string(step.ErrorWord) + " Error at [" + Hex4(i) + "]: " + Hex4(w) + " -> " +
                            Hex4(r) + " NG");
            ++errors;
        }
        host_.SetProgressPosition(host_.ProgressPosition() + 1);
        ShowStepStatus(step.Prefix);
    }
    return true;
}

} // namespace vandrel::programmer
