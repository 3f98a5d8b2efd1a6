#include "form/form_core.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/convert.h"
#include "common/scope_exit.h"
#include "device/pic_device.h"
#include "ftdi/ftdi_held_bus.h"
#include "ftdi/ftdi_port_driver.h"
#include "image/image_source.h"
#include "serial/sim_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_line_latency.h"
#include "simulator/sim_programmer.h"

namespace vandrel::form {

using device::CurrentDevice;
using programmer::kStopCaption;

namespace {

// One step of the programming run over the three areas: its "All" box and
// its members "Program", "Config" and "Data".
struct StepRule {
    Control Group;
    Control All;
    std::array<Control, 3> Members;
};

constexpr std::array<StepRule, 3> kSteps = {{
    {Control::GrpErase, Control::cbEraseAll,
     {Control::cbEraseProgram, Control::cbEraseConfigurationMemory, Control::cbEraseDataMemory}},
    {Control::GrpWrite, Control::cbWriteAll,
     {Control::cbWriteProgram, Control::cbWriteConfigurationMemory, Control::cbWriteDataMemory}},
    {Control::GrpVerify, Control::cbVerifyAll,
     {Control::cbVerifyProgram, Control::cbVerifyConfigurationMemory,
      Control::cbVerifyDataMemory}},
}};

const StepRule& StepOf(Control group) {
    for (const StepRule& step : kSteps)
        if (step.Group == group)
            return step;
    return kSteps.front();
}

// Ticking All ticks the three members (a hidden one too); unticking it
// leaves them.
void AllClick(FormView& view, const StepRule& step) {
    if (!view.Checked(step.All))
        return;
    for (Control member : step.Members)
        view.SetChecked(member, true);
}

// Unticking a member unticks All; ticking one changes nothing else.
void MemberClick(FormView& view, const StepRule& step, Control sender) {
    if (!view.Checked(sender))
        view.SetChecked(step.All, false);
}

// A path in UTF-8 names a regular file that exists now.
bool IsExistingFile(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code error;
    const std::u8string text(path.begin(), path.end());
    return std::filesystem::is_regular_file(std::filesystem::path(text), error);
}

// A dump field's value: the window reads both as hexadecimal. Built by
// appending, which GCC 12's -O3 -Wrestrict accepts ("$" + text it does not).
std::int32_t HexFieldValue(const std::string& text) {
    std::string hex(1, '$');
    hex += text;
    return StrToInt(hex);
}

// VANDREL1_SIM_LATENCY: the simulated adapter's time per line call and the
// simulated FT232R's per USB transfer, in microseconds; -1 when not set.
std::int64_t SimulatedLatencyUs() {
    const char* text = std::getenv("VANDREL1_SIM_LATENCY");
    if (text == nullptr || *text == '\0')
        return -1;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return *end == '\0' && value >= 0 ? value : -1;
}

double UsPerCableByte() {
    return 1e6 / ftdi::Ft232rTiming{}.bytesPerSecond;
}

std::vector<std::string> PortNames(const PortList& ports) {
    std::vector<std::string> names;
    for (const auto& port : ports)
        names.push_back(port.Name);
    return names;
}

} // namespace

std::string ExceptionMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error.";
    }
}

FileFilter HexFileFilter() {
    return {"IntelHEXファイル(*.hex)", "*.hex"};
}

TFormCore::TFormCore(FormView& view, SettingsStore& settings, Clock& clock, PortSource ports)
    : view_(view), settings_(settings), clock_(clock), portSource_(std::move(ports)),
      cableProblem_(std::make_shared<ftdi::FtdiProblem>()), recorder_(clock) {
    SetUpComm();
}

TFormCore::~TFormCore() = default;

bool TFormCore::Guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        view_.ShowErrorBox(ExceptionMessage(std::current_exception()));
        return false;
    }
}

void TFormCore::SetUpComm() {
    CommX1.SetBitRate(115200);
    CommX1.SetFlowCtrl(serial::cfcNone);
    CommX1.SetClock(clock_);
    CommX1.SetPumpHook([this] { view_.ProcessPendingMessages(); });
    // Called on a worker thread: hand the work to the window's thread.
    CommX1.SetNotificationWakeup(
        [this] { view_.PostToWindow([this] { CommX1.ProcessNotifications(); }); });

    // With VANDREL1_SIMULATOR naming a device, COM0 is the simulated adapter
    // and chip, and the simulated FT232R carries the same chip; every other
    // port is the machine's own.
    serial::PortDriverFactory ports = [](const std::string&) { return serial::MakePlatformPortDriver(); };
    if (const auto device = simulator::SimulatorDeviceFromEnvironment()) {
        simulator::SimulatorSetup setup = simulator::MakeUserSimulator(*device, clock_);
        simPort_ = setup.port;
        simChip_ = setup.chip;
        const std::int64_t latencyUs = SimulatedLatencyUs();
        if (latencyUs > 0)
            simPort_->SetPeer(std::make_shared<simulator::LineLatency>(simChip_, clock_, latencyUs));
        simCable_ = std::make_shared<simulator::SimFt232r>(
            simChip_, clock_, latencyUs >= 0 ? latencyUs : simulator::kDefaultTransferLatencyUs);
        simCable_->SetShortestSleep(simulator::kRealClockShortestSleepUs);
        ports = simulator::MakeSimulatorFactory(simPort_, std::move(ports));
    }
    // A run on an FT232R entry opens its cable, whatever port number it ran under.
    CommX1.SetDriverFactory([this, ports = std::move(ports)](const std::string& deviceName) {
        if (runCable_)
            return ftdi::MakeFtdiPortFactory(heldCable_, *runCable_, {}, cableProblem_)(deviceName);
        return ports(deviceName);
    });
}

void TFormCore::ReleaseCable() {
    if (operationActive_)
        return;
    if (heldCable_)
        heldCable_->Release();
    heldCable_.reset();
    runCable_.reset();
}

programmer::Pace TFormCore::PaceOf(const std::string& port) const {
    if (const auto it = paces_.find(port); it != paces_.end())
        return it->second;
    programmer::Pace pace;
    if (CableOfPortName(port)) {
        pace.usPerTransfer = 1000;
        pace.usPerByte = UsPerCableByte();
    } else {
        pace.usPerCall = 1000;
    }
    return pace;
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TFormCore::FormCreate() {
    // 1. The progress bar over the status bar.
    view_.CreateProgressBar();
    ShowProgress();

    // 2. The memory image, and the operations working on it.
    hexImage_ = std::make_unique<image::THexFile>();
    hexImage_->SetProcessEventsHook(PumpHook());
    hexImage_->SetChecksumErrorHook(
        [this](int line) { view_.ShowErrorBox(image::ChecksumErrorText(line)); });
    farm_ = std::make_unique<programmer::TFarmOperations>(*this, CommX1, *hexImage_,
                                                          CurrentDevice);

    // 3. The HEX file; a failure is not reported.
    const std::string hexPath = settings_.ReadSetting(kHexFilePath);
    if (!hexPath.empty()) {
        view_.SetText(Control::edtHexFile, hexPath);
        if (LoadHexFileQuietly(view_.Text(Control::edtHexFile)))
            ShowImageCounts();
    }

    // 4. The dump fields.
    const std::string dumpAddress = settings_.ReadSetting(kDumpAddress);
    if (!dumpAddress.empty())
        view_.SetText(Control::edtDumpAddress, dumpAddress);
    const std::string dumpSize = settings_.ReadSetting(kDumpSize);
    if (!dumpSize.empty())
        view_.SetText(Control::edtDumpSize, dumpSize);

    // 5. The port list. A port name that cannot be read as COM + number is
    // shown, and start-up goes on with the ports listed before it: one odd
    // virtual port must not leave the window without its device list.
    Guarded([this] { FillPortList(); });

    // 6. The remembered port, else the first.
    const std::string port = settings_.ReadSetting(kComPort);
    if (!port.empty())
        SelectEntry(Control::cmbSerialPortList, portNames_, port);
    else
        view_.SelectListItem(Control::cmbSerialPortList, portNames_.empty() ? -1 : 0);

    // 7. The device list.
    deviceNames_.clear();
    device::GetDeviceList(deviceNames_);
    std::vector<ListItem> devices;
    for (const auto& name : deviceNames_)
        devices.push_back({name, {}});
    view_.SetListItems(Control::cmbDeviceList, devices);
    view_.SelectListItem(Control::cmbDeviceList, -1);

    // 8. The remembered device, as if the user had chosen it.
    const std::string deviceName = settings_.ReadSetting(kPicDevice);
    if (!deviceName.empty()) {
        SelectEntry(Control::cmbDeviceList, deviceNames_, deviceName);
        cmbDeviceListChange();
    }

    // The menu's remembered options.
    checkBeforeWrite_ = settings_.ReadSetting(kCheckBeforeWrite) == "1";
    view_.SetMenuChecked(MenuCommand::CheckBeforeWrite, checkBeforeWrite_);
    fastTiming_ = settings_.ReadSetting(kFastTiming) == "1";
    view_.SetMenuChecked(MenuCommand::FastTiming, fastTiming_);
}

void TFormCore::FormDestroy() {
    // The port may still be open when the window goes during an operation.
    CommX1.Close();
    chipOps_.reset();
    farm_.reset();
    view_.DestroyProgressBar();
    hexImage_.reset();
}

bool TFormCore::FormCloseQuery() {
    // An operation under way is asked to stop and ends through its closing
    // steps (the port closes); the window closes after that.
    if (operationActive_) {
        stopRequested_ = true;
        closePending_ = true;
        return false;
    }
    return true;
}

std::function<void()> TFormCore::PumpHook() {
    // A load lets the window process its messages once per line.
    return [this] { view_.ProcessPendingMessages(); };
}

void TFormCore::SelectEntry(Control list, const std::vector<std::string>& entries,
                            const std::string& text) {
    int index = -1;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == text) {
            index = static_cast<int>(i);
            break;
        }
    view_.SelectListItem(list, index);
}

// ---------------------------------------------------------------------------
// Events

void TFormCore::Clicked(Control control) {
    const ScopeExit release([this] { ReleaseCable(); });
    Guarded([&] {
        switch (control) {
        case Control::btnOpenHexFile: btnOpenHexFileClick(); return;
        case Control::btnClearBuffer: btnClearBufferClick(); return;
        case Control::btnGo: btnGoClick(); return;
        case Control::btnDump: btnDumpClick(); return;
        case Control::cbEraseAll: cbEraseAllClick(); return;
        case Control::cbWriteAll: cbWriteAllClick(); return;
        case Control::cbVerifyAll: cbVerifyAllClick(); return;
        default: break;
        }
        const auto parent = Spec(control).Parent;
        if (parent == Control::GrpErase)
            cbEraseGrpClick(control);
        else if (parent == Control::GrpWrite)
            cbWriteGrpClick(control);
        else if (parent == Control::GrpVerify)
            cbVerifyGrpClick(control);
    });
}

void TFormCore::TextChanged(Control control) {
    Guarded([&] {
        switch (control) {
        case Control::edtHexFile: edtHexFileChange(); return;
        case Control::edtDumpAddress: edtDumpAddressChange(); return;
        case Control::edtDumpSize: edtDumpSizeChange(); return;
        default: return;
        }
    });
}

void TFormCore::EnterPressed(Control control) {
    if (control == Control::edtHexFile)
        Guarded([this] { edtHexFileKeyPress('\r'); });
}

void TFormCore::ListChosen(Control list) {
    Guarded([&] {
        if (list == Control::cmbDeviceList)
            cmbDeviceListChange();
        else if (list == Control::cmbSerialPortList)
            cmbSerialPortListChange();
    });
}

bool TFormCore::ListDropDown(Control list) {
    if (list != Control::cmbSerialPortList)
        return true;
    bool filled = false;
    Guarded([&] { filled = cmbSerialPortListDropDown(); });
    return filled;
}

// ---------------------------------------------------------------------------
// Device

void TFormCore::cmbDeviceListChange() {
    const std::string name = view_.Text(Control::cmbDeviceList);
    if (name.empty())
        return;
    CurrentDevice = device::GetDeviceSpec(name);
    if (CurrentDevice.Name.empty()) {
        ShowDeviceSizes(0, 0, 0, false);
        return;
    }
    ShowDeviceSizes(CurrentDevice.ProgramMemory.Size, CurrentDevice.DataMemory.Size,
                    CurrentDevice.ConfigurationMemory.Size, CurrentDevice.LVP);
    ShowImageCounts();
    settings_.WriteSetting(kPicDevice, name);
}

void TFormCore::ShowDeviceSizes(int programSize, int dataSize, int configurationSize, bool lvp) {
    view_.SetText(Control::lblProgramMemoryValue, std::to_string(programSize));
    view_.SetText(Control::lblDataMemoryValue, std::to_string(dataSize));
    view_.SetText(Control::lblConfigurationWordValue, std::to_string(configurationSize));
    view_.SetEnabled(Control::cbLVP, lvp);
}

void TFormCore::ShowImageCounts() {
    if (!hexImage_)
        return;
    view_.SetText(Control::edtHexProgram,
                  std::to_string(hexImage_->CountWords(CurrentDevice.ProgramMemory)));
    view_.SetText(Control::edtHexData,
                  std::to_string(hexImage_->CountWords(CurrentDevice.DataMemory)));
    view_.SetText(Control::edtHexConfig,
                  std::to_string(hexImage_->CountWords(CurrentDevice.ConfigurationMemory)));
}

// ---------------------------------------------------------------------------
// HEX file

bool TFormCore::LoadHexFileQuietly(const std::string& path) {
    try {
        return hexImage_->LoadFromFile(path);
    } catch (const image::EHexFileError&) {
        return false; // unreadable: treated like a missing file
    }
}

void TFormCore::edtHexFileChange() {
    const std::string path = view_.Text(Control::edtHexFile);
    if (IsExistingFile(path))
        settings_.WriteSetting(kHexFilePath, path);
}

void TFormCore::edtHexFileKeyPress(char key) {
    if (key != '\r')
        return;
    const std::string path = view_.Text(Control::edtHexFile);
    if (path.empty())
        return;
    const bool loaded = LoadHexFileQuietly(path);
    // Also after a failure: a file that exists but holds nothing, or cannot
    // be read, has emptied the image, and the counts must not show the old one.
    ShowImageCounts();
    if (!loaded)
        view_.ShowErrorBox("Can't load file:" + path);
    else
        ReportNotHexFile(path);
}

void TFormCore::btnOpenHexFileClick() {
    const std::string current = view_.Text(Control::edtHexFile);
    const std::string initial = IsExistingFile(current) ? current : std::string();
    const std::optional<std::string> chosen = view_.OpenDialog(HexFileFilter(), initial);
    if (!chosen)
        return;
    view_.SetText(Control::edtHexFile, *chosen);
    LoadHexFileQuietly(view_.Text(Control::edtHexFile));
    ListImage();
    ShowImageCounts();
    ReportNotHexFile(view_.Text(Control::edtHexFile));
}

void TFormCore::ReportNotHexFile(const std::string& path) {
    const auto& source = hexImage_->Source();
    if (source && source->Path == path && hexImage_->RecordCount() == 0)
        view_.ShowErrorBox(image::NotHexFileText(source->Path));
}

bool TFormCore::PrepareDownloadImage() {
    // No messages while the file is read: a second press must not start a
    // run inside this one.
    hexImage_->SetProcessEventsHook(nullptr);
    const ScopeExit pumpAgain([this] { hexImage_->SetProcessEventsHook(PumpHook()); });
    const image::TRunImageCheck check = image::PrepareRunImage(*hexImage_, HexFilePath());
    if (check.Reloaded)
        ShowImageCounts();
    if (!check.LogLine.empty())
        AppendLog(check.LogLine);
    if (!check.Refusal.empty()) {
        ErrorBox(check.Refusal);
        return false;
    }
    return true;
}

void TFormCore::btnClearBufferClick() {
    hexImage_->Clear();
    ShowImageCounts();
}

void TFormCore::ListImage() {
    for (std::int32_t block = 0; block < image::THexFile::kWords; block += 8) {
        std::string line = Hex4(block) + ":";
        bool any = false;
        for (std::int32_t address = block; address < block + 8; ++address) {
            const std::int16_t word = hexImage_->GetWord(address);
            line += ' ';
            if (word < 0) {
                line += "----";
            } else {
                line += Hex4(word);
                any = true;
            }
        }
        if (any)
            AppendLog(line);
    }
}

// ---------------------------------------------------------------------------
// Ports

void TFormCore::FillPortList() {
    PortList ports;
    const auto show = [&] {
        std::vector<ListItem> items;
        for (const auto& port : ports)
            items.push_back({port.Name, port.DevicePath});
        portNames_ = PortNames(ports);
        view_.SetListItems(Control::cmbSerialPortList, items);
    };
    try {
        ListComPorts(ports, portSource_);
    } catch (...) {
        show(); // the ports listed before the bad name stay
        throw;
    }
    show();
}

void TFormCore::cmbSerialPortListChange() {
    const std::string port = view_.Text(Control::cmbSerialPortList);
    if (!port.empty())
        settings_.WriteSetting(kComPort, port);
}

bool TFormCore::cmbSerialPortListDropDown() {
    const std::string remembered = view_.Text(Control::cmbSerialPortList);
    const auto reselect = [&] {
        if (remembered.empty())
            view_.SelectListItem(Control::cmbSerialPortList, -1);
        else
            SelectEntry(Control::cmbSerialPortList, portNames_, remembered);
    };
    try {
        FillPortList();
    } catch (...) {
        reselect();
        throw;
    }
    reselect();
    return true;
}

// ---------------------------------------------------------------------------
// Dump fields

void TFormCore::edtDumpAddressChange() {
    const std::string text = view_.Text(Control::edtDumpAddress);
    if (!text.empty())
        settings_.WriteSetting(kDumpAddress, text);
}

void TFormCore::edtDumpSizeChange() {
    const std::string text = view_.Text(Control::edtDumpSize);
    if (!text.empty())
        settings_.WriteSetting(kDumpSize, text);
}

void TFormCore::edtHexKeyPress(char& key) {
    if (key == '\b' || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'F'))
        return;
    if (key >= 'a' && key <= 'f') {
        key = static_cast<char>(key - 'a' + 'A');
        return;
    }
    key = 0;
}

// ---------------------------------------------------------------------------
// Check-box rules, written once for the three steps

void TFormCore::cbEraseAllClick() {
    AllClick(view_, StepOf(Control::GrpErase));
}

void TFormCore::cbEraseGrpClick(Control sender) {
    MemberClick(view_, StepOf(Control::GrpErase), sender);
}

void TFormCore::cbWriteAllClick() {
    AllClick(view_, StepOf(Control::GrpWrite));
}

void TFormCore::cbWriteGrpClick(Control sender) {
    MemberClick(view_, StepOf(Control::GrpWrite), sender);
}

void TFormCore::cbVerifyAllClick() {
    AllClick(view_, StepOf(Control::GrpVerify));
}

void TFormCore::cbVerifyGrpClick(Control sender) {
    MemberClick(view_, StepOf(Control::GrpVerify), sender);
}

// ---------------------------------------------------------------------------
// Operations

void TFormCore::PlanRun(const programmer::OperationRequest& request, const device::TPicDevice& device,
                        bool quiet) {
    // The plan runs beside the run on a worker, on copies of its own.
    RunTiming timing;
    timing.link = runCable_ ? programmer::LinkKind::Ft232r : programmer::LinkKind::PerCall;
    timing.port = view_.Text(Control::cmbSerialPortList);
    timing.quiet = quiet;
    image::THexFile image =
        request.kind == programmer::OperationRequest::Kind::Program ? *hexImage_ : image::THexFile();
    image.SetProcessEventsHook(nullptr);
    image.SetChecksumErrorHook(nullptr);
    timing.plan = std::async(std::launch::async,
                             [device, image = std::move(image), request, link = timing.link] {
                                 return programmer::PlanOperation(device, image, request, link);
                             });
    timing_ = std::move(timing);
}

void TFormCore::RunOperation(const std::function<void()>& start) {
    operationActive_ = true;
    const std::string port = view_.Text(Control::cmbSerialPortList);
    runCable_ = CableOfPortName(port);
    if (runCable_ && !heldCable_) {
        std::shared_ptr<ftdi::FtdiBus> bus = simCable_;
        if (!simCable_ || runCable_->serial != simulator::kSimFt232rSerial) {
            if (!systemCables_)
                systemCables_ = ftdi::MakeSystemFtdiBus();
            bus = systemCables_;
        }
        heldCable_ = std::make_shared<ftdi::HeldFtdiBus>(bus);
    }
    for (const MenuCommandSpec& command : MenuCommandTable())
        if (command.IdleOnly)
            view_.SetMenuEnabled(command.Id, false);
    recorder_.Points.clear();
    recorder_.Span = {};
    recorder_.RecordPoints = true;
    const ScopeExit ended([this] {
        EndEstimate();
        for (const MenuCommandSpec& command : MenuCommandTable())
            if (command.IdleOnly)
                view_.SetMenuEnabled(command.Id, true);
        operationActive_ = false;
        if (closePending_) {
            closePending_ = false;
            view_.PostToWindow([this] { view_.CloseWindow(); });
        }
    });
    start();
}

void TFormCore::btnGoClick() {
    // A Stop press comes in from the running operation's message pump.
    if (view_.Caption(Control::btnGo) == kStopCaption) {
        farm_->btnGoClick();
        return;
    }
    if (!ChipMatchesBeforeWrite() || closePending_)
        return;
    RunOperation([this] {
        if (!PrepareDownloadImage() || closePending_)
            return;
        // Planned with the boxes as they read now and the image brought up to the path.
        programmer::OperationRequest request;
        request.hexPath = HexFilePath();
        using programmer::StepBox;
        for (const StepBox box : {StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                                  StepBox::WriteConfigurationMemory, StepBox::WriteDataMemory, StepBox::VerifyProgram,
                                  StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory})
            if (IsChecked(box))
                request.steps.insert(box);
        request.timing = fastTiming_ ? device::RunTiming::Fast : device::RunTiming::Described;
        farm_->SetTiming(request.timing);
        PlanRun(request, CurrentDevice, false);
        farm_->btnGoClick();
    });
}

void TFormCore::btnDumpClick() {
    if (view_.Caption(Control::btnDump) == kStopCaption) {
        farm_->btnDumpClick();
        return;
    }
    RunOperation([this] {
        try {
            PlanRun(programmer::DumpRequest(HexFieldValue(DumpAddressText()), HexFieldValue(DumpSizeText())),
                    CurrentDevice, false);
        } catch (const EConvertError&) {
            // fields that do not convert: the run says so itself
        }
        farm_->btnDumpClick();
    });
}

const programmer::OperationPlan* TFormCore::Plan(bool wait) {
    if (!timing_)
        return nullptr;
    if (!timing_->planned && timing_->plan.valid()) {
        if (!wait && timing_->plan.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            return nullptr;
        try {
            timing_->planned = timing_->plan.get();
        } catch (...) {
            // a run that cannot be planned runs without an estimate
        }
    }
    return timing_->planned ? &*timing_->planned : nullptr;
}

void TFormCore::EstimateWhenPlanned() {
    if (!timing_ || timing_->shown)
        return;
    const programmer::OperationPlan* plan = Plan(false);
    if (plan == nullptr)
        return;
    timing_->shown = true;
    if (!timing_->quiet)
        view_.SetProgressText("about " +
                              programmer::FormatDuration(EstimateOf(*plan, PaceOf(timing_->port)).TotalUs()));
}

void TFormCore::EndEstimate() {
    if (!timing_)
        return;
    const ScopeExit done([this] { timing_.reset(); });
    const programmer::OperationSpan& span = recorder_.Span;
    const bool ran = span.started && span.ended;
    if (ran && !stopRequested_)
        if (const programmer::OperationPlan* plan = Plan(true))
            if (const auto pace = programmer::PaceOfRun(*plan, span, recorder_.Points, timing_->link, UsPerCableByte()))
                paces_[timing_->port] = *pace;
    if (timing_->quiet)
        return;
    const std::string took = programmer::FormatDuration(span.Times().elapsedUs);
    view_.SetProgressText(!ran ? std::string() : stopRequested_ ? "stopped after " + took : "took " + took);
}

} // namespace vandrel::form
