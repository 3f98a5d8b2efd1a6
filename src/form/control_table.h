#pragma once
// Every control of the main window, once: its name, kind, caption with its
// access key, place and size in its parent, and its state when idle. Both
// faces build their controls from this table and find them by these names;
// the Qt face uses them as object names, the Win32 face as control IDs
// (kFirstControlId + the control's index).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::form {

// The controls, in table order (which is also the order of creation and,
// for those that take the focus, the tab order after the log).
enum class Control : std::uint8_t {
    Panel1,
    GrpDeviceSpecs,
    lblDeviceSelect,
    cmbDeviceList,
    lblProgramMemory,
    lblProgramMemoryValue,
    lblConfigurationWord,
    lblConfigurationWordValue,
    lblDataMemory,
    lblDataMemoryValue,
    cbLVP,
    GrpSource,
    lblHexFileName,
    edtHexFile,
    btnOpenHexFile,
    edtHexP,
    edtHexProgram,
    edtHexC,
    edtHexConfig,
    edtHexD,
    edtHexData,
    btnClearBuffer,
    btnEditMemory,
    GrpPort,
    lblSerialPort,
    cmbSerialPortList,
    GrpDump,
    lblDumpAddress,
    edtDumpAddress,
    lblDumpSize,
    edtDumpSize,
    cbFarmOnDump,
    btnDump,
    GrpCommands,
    GrpErase,
    cbEraseAll,
    cbEraseProgram,
    cbEraseConfigurationMemory,
    cbEraseDataMemory,
    GrpWrite,
    cbWriteAll,
    cbWriteProgram,
    cbWriteConfigurationMemory,
    cbWriteDataMemory,
    GrpVerify,
    cbVerifyAll,
    cbVerifyProgram,
    cbVerifyConfigurationMemory,
    cbVerifyDataMemory,
    cbFarmWare,
    btnGo,
    Memo1,
    StatusBar1,
};
inline constexpr int kControlCount = static_cast<int>(Control::StatusBar1) + 1;
// Win32 control IDs start here.
inline constexpr int kFirstControlId = 1000;

enum class ControlKind : std::uint8_t {
    Panel,     // a borderless container
    Group,     // a framed group box with its caption on the frame
    StepGroup, // a captionless group box whose "All" box sits on its frame
    Label,
    List,      // a drop-down list that cannot be edited
    Edit,      // a one-line edit field
    CheckBox,
    Button,
    Log,       // the read-only, scrolling, fixed-pitch log
    StatusBar, // docked at the bottom, two panels, the progress bar over it
};

// Idle states beside "enabled, visible, unticked".
enum ControlFlag : std::uint8_t {
    kTicked = 1,
    kDisabled = 2,
    kHidden = 4,
    kUpperCase = 8,   // shows its text in upper case (the hexadecimal fields)
    kStretch = 16,    // its width runs to the parent's right edge
};

struct ControlSpec {
    Control Id;
    std::string_view Name;
    ControlKind Kind;
    std::string_view Caption; // with "&" before the access key
    std::optional<Control> Parent;
    int Left = 0;
    int Top = 0;
    int Width = 0;  // 0: as wide as the caption (labels)
    int Height = 0; // 0: as high as the caption (labels)
    std::uint8_t Flags = 0;
    // For a label: the field its access key moves the focus to.
    std::optional<Control> Buddy;

    bool Has(ControlFlag flag) const { return (Flags & flag) != 0; }
};

std::span<const ControlSpec> ControlTable();
const ControlSpec& Spec(Control control);
std::optional<Control> FindControl(std::string_view name);
inline std::string_view NameOf(Control control) {
    return Spec(control).Name;
}
inline int ControlId(Control control) {
    return kFirstControlId + static_cast<int>(control);
}
// The control of a Win32 control ID, none for another ID.
std::optional<Control> ControlOfId(int id);
// The caption without the "&" marks ("&&" stands for one "&").
std::string PlainCaption(std::string_view caption);
// The access key of a caption in upper case, 0 when it has none.
char AccessKey(std::string_view caption);

// The controls the Tab key visits, in order: the log first, then the rest in
// table order.
std::vector<Control> TabOrder();

// --- Sizes of the window ---
inline constexpr int kMinWidth = 640;  // outer size
inline constexpr int kMinHeight = 480;
inline constexpr int kPanelHeight = 217;
inline constexpr int kStatusBarHeight = 19;
inline constexpr int kStatusPanel0Width = 250;
inline constexpr int kStatusPanel1Width = 50;

struct Rect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};
struct Size {
    int Width = 0;
    int Height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The place of a control whose parent is `parentWidth` wide (a stretching
// control runs to the parent's right edge, never narrower than 0).
Rect PlaceIn(const ControlSpec& spec, int parentWidth);
// The size the window may take when `requested` is asked for (FormCanResize).
Size FormCanResize(Size requested);
// The progress bar over a status bar of this size (PlaceProgressBar).
Rect ProgressBarRect(Size statusBar);

} // namespace vandrel::form
