#pragma once
// The main window's behaviour, with no toolkit in it: start-up and shutdown,
// the event handlers, the rules of the erase, write and verify boxes, the
// hexadecimal key filter, the required-field flash, the settings written at
// each choice, and the side the Download and Dump operations see. It reaches
// its controls through a FormView; each face builds the controls from the
// control table, forwards their events here and carries out what the core
// asks.
//
// form_core.cpp holds start-up and the handlers, form_core_host.cpp the
// displays and the operations' side.
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "form/com_port_list.h"
#include "form/control_table.h"
#include "form/form_view.h"
#include "form/menu_table.h"
#include "form/settings_store.h"
#include "image/hex_file.h"
#include "programmer/device_id.h"
#include "programmer/farm_operations.h"
#include "programmer/operation_host.h"
#include "programmer/run_plan.h"
#include "serial/comm_x.h"

namespace vandrel::ftdi {
class HeldFtdiBus;
}
namespace vandrel::serial {
class SimPort;
}
namespace vandrel::simulator {
class SimChip;
class SimFt232r;
}

namespace vandrel::form {

// The message shown for an exception: its what(), or a fixed text for
// anything that is not a std::exception.
std::string ExceptionMessage(std::exception_ptr error);

// The Refer dialog's one filter.
FileFilter HexFileFilter();

class TFormCore : public programmer::OperationHost {
public:
    TFormCore(FormView& view, SettingsStore& settings, Clock& clock, PortSource ports = {});
    ~TFormCore() override;
    TFormCore(const TFormCore&) = delete;
    TFormCore& operator=(const TFormCore&) = delete;

    // --- Start-up and shutdown ---
    // The controls must exist, in their idle state of the table.
    void FormCreate();
    void FormDestroy();
    // Asked when the user closes the window: true when it may close now.
    // During an operation the operation is asked to stop, and the window
    // closes after its closing steps.
    bool FormCloseQuery();

    // --- Events, as the faces forward them. Each runs guarded. ---
    void Clicked(Control control);      // a button pressed, a box's state changed
    void TextChanged(Control control);  // an edit field's text changed
    void EnterPressed(Control control); // Enter typed in an edit field
    void ListChosen(Control list);      // the user chose a list entry
    bool ListDropDown(Control list);    // a list is about to open; false keeps it closed
    void MenuChosen(MenuCommand command); // a menu command chosen (by its key too)

    // --- Menu commands (form_core_chip.cpp) ---
    void ReadChipClick();
    void DetectClick();
    void CheckBeforeWriteClick();
    void FastTimingClick();
    void SaveLogClick();
    void CopyLogClick();
    void AboutClick();
    bool CheckBeforeWrite() const { return checkBeforeWrite_; }
    bool FastTiming() const { return fastTiming_; }

    // --- Event handlers ---
    void cmbDeviceListChange();
    void edtHexFileChange();
    void edtHexFileKeyPress(char key);
    void btnOpenHexFileClick();
    void btnClearBufferClick();
    void cmbSerialPortListChange();
    bool cmbSerialPortListDropDown();
    void edtDumpAddressChange();
    void edtDumpSizeChange();
    // The key filter of the two hexadecimal fields: `key` is the typed
    // character, 0 afterwards when it is dropped.
    static void edtHexKeyPress(char& key);
    void cbEraseAllClick();
    void cbEraseGrpClick(Control sender);
    void cbWriteAllClick();
    void cbWriteGrpClick(Control sender);
    void cbVerifyAllClick();
    void cbVerifyGrpClick(Control sender);
    void btnGoClick();
    void btnDumpClick();

    // --- Displays ---
    void ListImage();
    void ShowDeviceSizes(int programSize, int dataSize, int configurationSize, bool lvp);
    // Flashes `label` when its field is empty, then focuses the field.
    bool FlashIfEmpty(Control label);

    // --- OperationHost ---
    void ShowStatus(const std::string& text) override;
    void AppendLog(const std::string& line) override;
    void SetProgressMin(std::int32_t value) override;
    void SetProgressMax(std::int32_t value) override;
    void SetProgressPosition(std::int32_t value) override;
    std::int32_t ProgressPosition() const override;
    std::int32_t ProgressMax() const override;
    void ProcessMessages() override;
    bool StopRequested() const override;
    void SetStopRequested(bool value) override;
    bool IsChecked(programmer::StepBox box) const override;
    void TickLvp() override;
    void ErrorBox(const std::string& message) override;
    bool FlashIfEmpty(programmer::RequiredField field) override;
    void ShowImageCounts() override;
    std::string HexFilePath() const override;
    std::string DumpAddressText() const override;
    std::string DumpSizeText() const override;
    std::string PortText() const override;
    std::string ButtonCaption(programmer::OperationButton button) const override;
    void SetButtonCaption(programmer::OperationButton button, const std::string& caption) override;
    void SetButtonEnabled(programmer::OperationButton button, bool enabled) override;
    Clock& GetClock() override;
    // A configuration word that locks the chip out is written as told, with a warning line.
    void ConfigurationWritten(std::uint16_t word) override;

    // Runs `handler`; an exception escaping it is shown in an error box and
    // false comes back.
    bool Guarded(const std::function<void()>& handler);

    // --- Owned objects ---
    serial::TCommX CommX1;
    image::THexFile* HexImage() const { return hexImage_.get(); }
    // The simulated chip behind COM0 and the simulated FT232R, when the simulator is on.
    simulator::SimChip* SimulatedChip() const { return simChip_.get(); }
    simulator::SimFt232r* SimulatedCable() const { return simCable_.get(); }
    // The pace the window expects of a port: measured by its last run there,
    // else a typical one (1 ms per line change or per USB transfer).
    programmer::Pace PaceOf(const std::string& port) const;

private:
    void SetUpComm();
    void FillPortList();
    bool LoadHexFileQuietly(const std::string& path);
    // The image's hook for a load: the window's pending messages, once a line.
    std::function<void()> PumpHook();
    // After a load of `path`: a file read without a single HEX record is named in an error box.
    void ReportNotHexFile(const std::string& path);
    // Before a Download: the image brought up to the path field; false when
    // the Download must not start (the box has been shown).
    bool PrepareDownloadImage();
    // Runs an operation's start; a close asked for meanwhile follows its end.
    void RunOperation(const std::function<void()>& start);
    // Called by an operation's start: the run is planned beside it, its
    // estimate shown (unless quiet) and the port's pace measured.
    void PlanRun(const programmer::OperationRequest& request, const device::TPicDevice& device, bool quiet);
    // The cable claimed for a press, given back once it has ended.
    void ReleaseCable();
    // The run's plan once the worker has made it (waited for when `wait`);
    // none before, or when it could not be planned.
    const programmer::OperationPlan* Plan(bool wait);
    // Shows the estimate once the plan is there.
    void EstimateWhenPlanned();
    // At the run's end: the port's pace measured, what the run took shown.
    void EndEstimate();
    void SelectEntry(Control list, const std::vector<std::string>& entries,
                     const std::string& text);
    void ShowProgress();

    // A dump of `count` addresses from `address` of `device`, through the
    // Dump button's run control; its word lines go to the result, not the
    // log. None when it did not run to its end (stopped, a port that did not
    // open: said already).
    std::optional<std::vector<std::string>> DumpChip(const device::TPicDevice& device,
                                                     std::int32_t address, std::int32_t count,
                                                     bool quiet);
    // The chip's device ID read as the command line reads it; none when the
    // dump did not end.
    std::optional<programmer::ChipIdentity> ReadChipIdentity();
    // Before a Download with the check on: false when it must not start.
    bool ChipMatchesBeforeWrite();

    struct ChipDump {
        device::TPicDevice Device;
        std::string Address, Count; // the dump fields as the run reads them
        bool NeedsDevice = true;
        bool Quiet = false;         // no line of it goes to the log
        bool Failed = false;        // an error box was shown
        std::vector<std::string> Words;
    };

    FormView& view_;
    SettingsStore& settings_;
    Clock& clock_;
    PortSource portSource_;

    std::unique_ptr<image::THexFile> hexImage_;
    std::unique_ptr<programmer::TFarmOperations> farm_;
    std::shared_ptr<serial::SimPort> simPort_;
    std::shared_ptr<simulator::SimChip> simChip_;
    std::vector<std::string> portNames_;   // the entries of cmbSerialPortList
    std::vector<std::string> deviceNames_; // the entries of cmbDeviceList
    bool stopRequested_ = false;
    bool operationActive_ = false; // a Download or Dump is under way
    bool closePending_ = false;    // the window closes when it ends
    std::int32_t progressMin_ = 0;
    std::int32_t progressMax_ = 100;
    std::int32_t progressPosition_ = 0;

    // The menu's chip commands: a dump with fields of their own.
    std::optional<ChipDump> chipDump_;
    device::TPicDevice chipDevice_; // what chipOps_ dumps
    std::unique_ptr<image::THexFile> chipImage_; // chipOps_'s image, never written
    std::unique_ptr<programmer::TFarmOperations> chipOps_;
    bool checkBeforeWrite_ = false;
    bool fastTiming_ = false; // the menu's Fast timing: each cycle waits the device's maximum

    // FT232R cables: the simulated one, the system's bus, the cable of the
    // run (claimed once for a press) and what went wrong with it.
    std::shared_ptr<simulator::SimFt232r> simCable_;
    std::shared_ptr<ftdi::FtdiBus> systemCables_;
    std::shared_ptr<ftdi::HeldFtdiBus> heldCable_;
    std::optional<ftdi::FtdiTarget> runCable_;
    std::shared_ptr<ftdi::FtdiProblem> cableProblem_;

    // The run under way: its plan (made on a worker beside it), its points
    // and span as they happen, and whether its estimate shows.
    struct RunTiming {
        std::future<programmer::OperationPlan> plan;
        std::optional<programmer::OperationPlan> planned;
        programmer::LinkKind link = programmer::LinkKind::PerCall;
        std::string port;
        bool quiet = false;
        bool shown = false;
    };
    std::optional<RunTiming> timing_;
    programmer::RunRecorder recorder_;
    std::map<std::string, programmer::Pace> paces_;
};

} // namespace vandrel::form
