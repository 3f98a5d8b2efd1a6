#pragma once
// What the Download and Dump operations need of the window. The window
// implements it; tests use a scripted host.
#include <cstdint>
#include <string>

#include "common/clock.h"

namespace vandrel::programmer {

// The check boxes the operations read, at the moment of use.
enum class StepBox {
    EraseProgram,               // cbEraseProgram
    EraseDataMemory,            // cbEraseDataMemory
    WriteProgram,               // cbWriteProgram
    WriteConfigurationMemory,   // cbWriteConfigurationMemory
    WriteDataMemory,            // cbWriteDataMemory
    VerifyProgram,              // cbVerifyProgram
    VerifyConfigurationMemory,  // cbVerifyConfigurationMemory
    VerifyDataMemory,           // cbVerifyDataMemory
    FarmWare,                   // cbFarmWare
    FarmOnDump,                 // cbFarmOnDump
};

// The labels of the required fields (FlashIfEmpty flashes the label and
// focuses its field).
enum class RequiredField {
    SerialPort,   // lblSerialPort / cmbSerialPortList
    DeviceSelect, // lblDeviceSelect / cmbDeviceList
    DumpAddress,  // lblDumpAddress / edtDumpAddress
    DumpSize,     // lblDumpSize / edtDumpSize
};

enum class OperationButton { Go, Dump }; // btnGo, btnDump

// The caption an operation's button carries while the operation runs; a press
// on a button that reads so only asks the operation to stop.
inline constexpr const char* kStopCaption = "&Stop";

class OperationHost {
public:
    virtual ~OperationHost() = default;

    virtual void ShowStatus(const std::string& text) = 0;
    virtual void AppendLog(const std::string& line) = 0;

    virtual void SetProgressMin(std::int32_t value) = 0;
    virtual void SetProgressMax(std::int32_t value) = 0;
    virtual void SetProgressPosition(std::int32_t value) = 0;
    virtual std::int32_t ProgressPosition() const = 0;
    virtual std::int32_t ProgressMax() const = 0;

    // Lets the window process its pending messages (a Stop press is handled here).
    virtual void ProcessMessages() = 0;
    virtual bool StopRequested() const = 0;
    virtual void SetStopRequested(bool value) = 0;

    virtual bool IsChecked(StepBox box) const = 0;
    virtual void TickLvp() = 0;

    virtual void ErrorBox(const std::string& message) = 0;
    virtual bool FlashIfEmpty(RequiredField field) = 0;
    virtual void ShowImageCounts() = 0;

    virtual std::string HexFilePath() const = 0;      // edtHexFile
    virtual std::string DumpAddressText() const = 0;  // edtDumpAddress
    virtual std::string DumpSizeText() const = 0;     // edtDumpSize
    virtual std::string PortText() const = 0;         // cmbSerialPortList

    virtual std::string ButtonCaption(OperationButton button) const = 0;
    virtual void SetButtonCaption(OperationButton button, const std::string& caption) = 0;
    virtual void SetButtonEnabled(OperationButton button, bool enabled) = 0;

    // Every wait of an operation goes through this clock.
    virtual Clock& GetClock() = 0;

    // The configuration write step has ended, its words written and read
    // back; `word` is what it wrote to the (first) configuration word.
    virtual void ConfigurationWritten(std::uint16_t /*word*/) {}
};

} // namespace vandrel::programmer
