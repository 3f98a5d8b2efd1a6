#pragma once
// The Download and Dump operations and their run control.
#include <cstdint>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "device/pic_device.h"
#include "image/hex_file.h"
#include "programmer/farm_link.h"
#include "programmer/operation_host.h"
#include "serial/comm_x.h"

namespace vandrel::programmer {

// What a run read from the chip before erasing it, on a device whose section
// names calibration words; written back after the erase.
struct TKeptCalibration {
    std::optional<std::uint16_t> Osccal;  // the word at Calibration.OSCCAL
    std::optional<std::uint16_t> Bandgap; // the configuration word's bits under Calibration.BG
    friend bool operator==(const TKeptCalibration&, const TKeptCalibration&) = default;
};

class TFarmOperations {
public:
    // The device is read through `device` at every use (the window's CurrentDevice).
    TFarmOperations(OperationHost& host, serial::TCustomCommX& comm, image::THexFile& image,
                    const device::TPicDevice& device = device::CurrentDevice);

    void btnGoClick();   // Download / Stop
    void btnDumpClick(); // Dump / Stop
    void FarmProgram();  // the programming run; the port is open
    void FarmDump();     // the memory dump; the port is open

    // The calibration the last run read before its program erase; none when
    // it erased no such device (or its two reads of a word differed).
    const std::optional<TKeptCalibration>& KeptCalibration() const { return kept_; }

    // A configuration word that locks the chip out (TLockOut) is written
    // last, after the verify, as a protecting one is. Off in the window,
    // which writes in the order described; the command line's forced runs.
    void SetLockOutLast(bool last) { lockOutLast_ = last; }

    // Fast: each cycle waits the device's maximum (Maximum.*) instead of
    // the device file's wait; a device without them is refused.
    void SetTiming(device::RunTiming timing) { timing_ = timing; }

private:
    struct WordStep; // one of the six write and verify steps
    enum class CalibrationRead { Kept, Unstable, Stopped };

    // The run control shared by both buttons; `operation` runs with the port open.
    void RunOperation(OperationButton button, const char* idleCaption, StepBox enableBox,
                      bool needsDumpFields, void (TFarmOperations::*operation)());
    void RunOperationBody(OperationButton button, StepBox enableBox, bool needsDumpFields,
                          void (TFarmOperations::*operation)());
    void ClosingSteps(OperationButton button, const char* idleCaption);
    bool OpenPort();

    TFarmLink MakeLink() const;
    bool Stopped() const { return host_.StopRequested(); }
    void Pump() { host_.ProcessMessages(); }
    void Wait(TFarmLink& link, std::int32_t ms);
    // A cycle's wait: the described `ms`, or under the fast timing `fastUs`.
    void CycleWait(TFarmLink& link, std::int32_t ms, const std::optional<std::int32_t>& fastUs);
    // Fast timing: false (an error box) for a device without the maxima,
    // else one log line with the times in force.
    bool FastTimingStart();
    void ResetChip(TFarmLink& link);
    // A device whose pulses have a maximum: the link's own pace, timed on a
    // few harmless frames, must end every pulse of the areas to be written
    // in time; else an error box and false, before anything is written.
    bool PulseLimitCheck(TFarmLink& link);
    void EraseStep(TFarmLink& link, bool program);
    // `unprotect`: the counter stands on the configuration word.
    void SetupCycle(TFarmLink& link, bool unprotect);
    void LoadConfigurationUpTo(TFarmLink& link, std::int16_t data, std::int32_t address);
    // End Programming, then TDIS before the next command.
    void EndProgramming(TFarmLink& link, int command);
    // The image's configuration word turns on a protection of the device.
    bool ImageProtects() const;
    // The configuration write step, and the host told what it wrote.
    bool WriteConfigurationStep(TFarmLink& link, const WordStep& step, std::int32_t& errors);
    std::uint16_t ChipConfigurationWord(TFarmLink& link);
    const char* ProtectedAreaLine(TFarmLink& link, bool data);
    bool ImageCheck();
    bool RunWordStep(TFarmLink& link, const WordStep& step, std::int32_t& errors);
    void ShowStepStatus(const char* prefix);
    // Load, then the area's programming cycle with its wait.
    void WriteCycle(TFarmLink& link, const device::TWriteCycle& cycle, int load, std::int16_t word, bool dataDelay);
    // Load, the area's programming cycle with its wait, read back.
    std::uint16_t WriteWord(TFarmLink& link, const device::TWriteCycle& cycle, int load, int read,
                            std::int16_t word, bool dataDelay);
    // The bits of a word at `address` of an area that a comparison counts.
    std::uint16_t CompareMask(std::int32_t address, bool configurationArea) const;
    void LogWordError(const char* what, std::int32_t address, std::int32_t expected, std::uint16_t read,
                      std::int32_t& errors);

    // Calibration words (farm_calibration.cpp).
    CalibrationRead ReadCalibrationStep(TFarmLink& link, std::int32_t& errors);
    void RestoreCalibrationStep(TFarmLink& link, std::int32_t& errors);
    // Increments from `counter` up to `target`, pumping messages; false when a
    // stop was seen (never when `stoppable` is false).
    bool StepTo(TFarmLink& link, std::int32_t& counter, std::int32_t target, bool stoppable);

    OperationHost& host_;
    serial::TCustomCommX& comm_;
    image::THexFile& image_; // the window's image: the image check reads the file into it
    // What a run writes and verifies: image_ as it was when the run began (or
    // as its image check read it), whatever the window does to image_ meanwhile.
    std::unique_ptr<image::THexFile> runImage_;
    const device::TPicDevice& device_;
    std::optional<TKeptCalibration> kept_;
    // Where kept_ came from, as the device said when the read began: the
    // restore writes there even if another device is chosen meanwhile.
    device::TCalibration keptFrom_;
    std::int32_t keptConfigurationWord_ = 0;
    // What the chip's configuration word holds, as far as this run knows
    // (it erased or wrote it, or read it for a verify).
    std::optional<std::uint16_t> chipConfigurationWord_;
    bool lockOutLast_ = false;
    device::RunTiming timing_ = device::RunTiming::Described;
};

} // namespace vandrel::programmer
