// The menu's commands: the chip read into a HEX file, the chip's detection,
// the check before a Download, and the log's copies. The chip commands run a
// dump through the Dump button's run control (progress bar, Stop, the closing
// status), with dump fields of their own.
#include <filesystem>
#include <system_error>

#include "common/atomic_file.h"
#include "common/convert.h"
#include "common/scope_exit.h"
#include "device/pic_device.h"
#include "form/form_core.h"
#include "image/hex_writer.h"
#include "programmer/chip_read.h"

#ifndef VANDREL1_VERSION
#define VANDREL1_VERSION "unknown"
#endif

namespace vandrel::form {

using device::CurrentDevice;

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(PathOf(path), error);
}

// The save dialog's start: a file named after the device in the HEX file's folder.
std::string ReadFileSuggestion(const std::string& hexPath, const std::string& deviceName) {
    const std::filesystem::path folder = PathOf(hexPath).parent_path();
    const std::u8string name = (folder / PathOf(deviceName + ".hex")).u8string();
    return {name.begin(), name.end()};
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

FileFilter TextFileFilter() {
    return {"Text file(*.txt)", "*.txt"};
}

} // namespace

void TFormCore::MenuChosen(MenuCommand command) {
    const ScopeExit release([this] { ReleaseCable(); });
    Guarded([&] {
        switch (command) {
        case MenuCommand::SaveChipAs:
        case MenuCommand::ReadChip: ReadChipClick(); return;
        case MenuCommand::Detect: DetectClick(); return;
        case MenuCommand::CheckBeforeWrite: CheckBeforeWriteClick(); return;
        case MenuCommand::FastTiming: FastTimingClick(); return;
        case MenuCommand::SaveLog: SaveLogClick(); return;
        case MenuCommand::CopyLog: CopyLogClick(); return;
        case MenuCommand::About: AboutClick(); return;
        }
    });
}

std::optional<std::vector<std::string>> TFormCore::DumpChip(const device::TPicDevice& device,
                                                            std::int32_t address, std::int32_t count,
                                                            bool quiet) {
    if (!chipOps_) {
        chipImage_ = std::make_unique<image::THexFile>();
        chipOps_ = std::make_unique<programmer::TFarmOperations>(*this, CommX1, *chipImage_, chipDevice_);
    }
    chipDevice_ = device;
    ChipDump dump;
    dump.Device = device;
    dump.Address = Hex4(address);
    dump.Count = Hex4(count);
    dump.NeedsDevice = !quiet;
    dump.Quiet = quiet;
    chipDump_ = std::move(dump);
    const ScopeExit done([this] { chipDump_.reset(); });
    bool ran = false;
    RunOperation([&] {
        PlanRun(programmer::DumpRequest(address, count), device, quiet);
        chipOps_->btnDumpClick();
        ran = true;
    });
    if (!ran || chipDump_->Failed || stopRequested_ || CommX1.Handle() != serial::INVALID_HANDLE_VALUE)
        return std::nullopt;
    return std::move(chipDump_->Words);
}

std::optional<programmer::ChipIdentity> TFormCore::ReadChipIdentity() {
    const device::TPicDevice probe =
        programmer::ProbeDevice(CurrentDevice.Name.empty() ? nullptr : &CurrentDevice);
    const std::int32_t first = probe.ConfigurationMemory.Address;
    const auto words = DumpChip(probe, first, probe.DeviceID.Address - first + 1, true);
    if (!words)
        return std::nullopt;
    for (const std::string& line : *words) {
        std::int32_t address = 0, value = 0;
        if (programmer::ParseWordLine(line, address, value) && address == probe.DeviceID.Address)
            return programmer::IdentifyChip(static_cast<std::uint16_t>(value), device::GetAllDevices());
    }
    return std::nullopt;
}

void TFormCore::DetectClick() {
    if (operationActive_)
        return;
    const auto chip = ReadChipIdentity();
    if (!chip)
        return;
    const std::string file = device::DeviceSpecPath();
    if (chip->kind == programmer::ChipIdentity::Kind::NoChip) {
        AppendLog("no chip answers (device ID " + Hex4(chip->id) + ")");
        return;
    }
    AppendLog(programmer::DescribeChip(*chip, std::filesystem::path(PathOf(file)).filename().string()));
    if (chip->kind != programmer::ChipIdentity::Kind::Known || programmer::NamesDevice(*chip, CurrentDevice.Name))
        return;
    const std::string question =
        "The chip is a " + chip->deviceName +
        (CurrentDevice.Name.empty() ? std::string() : ", not the " + CurrentDevice.Name + " selected") +
        ". Select " + chip->deviceName + "?";
    if (!view_.AskYesNo(question))
        return;
    SelectEntry(Control::cmbDeviceList, deviceNames_, chip->deviceName);
    cmbDeviceListChange();
}

bool TFormCore::ChipMatchesBeforeWrite() {
    if (!checkBeforeWrite_ || CurrentDevice.Name.empty() || !programmer::HasDeviceId(CurrentDevice))
        return true;
    const auto chip = ReadChipIdentity();
    if (!chip)
        return false;
    using Kind = programmer::ChipIdentity::Kind;
    if (chip->kind != Kind::NoChip && programmer::IdMatches(chip->id, CurrentDevice))
        return true;
    const std::string found = chip->kind == Kind::Known ? "a " + chip->deviceName
                              : chip->kind == Kind::NoChip
                                  ? "no chip (device ID " + Hex4(chip->id) + ")"
                                  : "device ID " + Hex4(chip->id) + ", no device of picspecs.ini";
    return view_.AskYesNo("The adapter holds " + found + ", not the " + CurrentDevice.Name +
                          " selected. Write the " + CurrentDevice.Name + "'s image anyway?");
}

void TFormCore::CheckBeforeWriteClick() {
    checkBeforeWrite_ = !checkBeforeWrite_;
    view_.SetMenuChecked(MenuCommand::CheckBeforeWrite, checkBeforeWrite_);
    settings_.WriteSetting(kCheckBeforeWrite, checkBeforeWrite_ ? "1" : "0");
}

void TFormCore::FastTimingClick() {
    fastTiming_ = !fastTiming_;
    view_.SetMenuChecked(MenuCommand::FastTiming, fastTiming_);
    settings_.WriteSetting(kFastTiming, fastTiming_ ? "1" : "0");
}

void TFormCore::ReadChipClick() {
    if (operationActive_)
        return;
    if (CurrentDevice.Name.empty()) {
        FlashIfEmpty(Control::lblDeviceSelect);
        return;
    }
    const device::TPicDevice device = CurrentDevice;
    const programmer::ReadSpan span = programmer::ReadSpanOf(device);
    if (span.words == 0) {
        view_.ShowErrorBox(device.Name + ": picspecs.ini gives it no memory to read");
        return;
    }
    const auto path = view_.SaveDialog(HexFileFilter(), ReadFileSuggestion(HexFilePath(), device.Name));
    if (!path || path->empty())
        return;
    if (Exists(*path) && !view_.AskYesNo(*path + " exists. Replace it?"))
        return;
    AtomicFile output(*path);
    if (const std::string error = output.Prepare(); !error.empty()) {
        view_.ShowErrorBox(*path + ": " + error);
        return;
    }
    const auto words = DumpChip(device, span.first, span.count, false);
    if (!words)
        return; // stopped or failed: nothing is written
    if (const std::string locked = programmer::ProtectionOf(*words, device); !locked.empty())
        if (!view_.AskYesNo(view_.Text(Control::cmbSerialPortList) + ": " + locked + ". Write the file anyway?"))
            return;
    image::THexFile chip;
    const programmer::ReadCounts counts = programmer::ChipImageFromLog(*words, device, false, chip);
    if (const std::string error = output.Commit(image::WriteHexText(chip)); !error.empty()) {
        view_.ShowErrorBox(*path + ": " + error);
        return;
    }
    AppendLog("Read " + std::to_string(counts.read) + " words; wrote " + std::to_string(counts.kept) +
              " to " + *path + ".");
    if (!view_.AskYesNo("Load " + *path + " into the image?"))
        return;
    view_.SetText(Control::edtHexFile, *path);
    LoadHexFileQuietly(*path);
    ShowImageCounts();
}

void TFormCore::SaveLogClick() {
    const auto path = view_.SaveDialog(TextFileFilter(), "vandrel1.log.txt");
    if (!path || path->empty())
        return;
    if (Exists(*path) && !view_.AskYesNo(*path + " exists. Replace it?"))
        return;
    if (const std::string error = WriteFileAtomically(*path, Joined(view_.LogLines())); !error.empty())
        view_.ShowErrorBox(*path + ": " + error);
}

void TFormCore::CopyLogClick() {
    view_.CopyToClipboard(Joined(view_.LogLines()));
}

void TFormCore::AboutClick() {
    view_.ShowInfoBox("About Vandrel1", std::string("Vandrel1 ") + VANDREL1_VERSION +
                                            "\n\nDevice file: " + device::DeviceSpecPath() +
                                            "\n\nLicense: GPL-3.0-or-later (GNU General Public "
                                            "License, version 3 or later)");
}

} // namespace vandrel::form
