#include "form/control_table.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace vandrel::form {

namespace {

using enum Control;
using K = ControlKind;

constexpr int kEditHeight = 20;
constexpr int kButtonHeight = 21;
constexpr int kCheckHeight = 17;
constexpr int kGroupRowHeight = 60;
constexpr int kLowerRowTop = 120;
constexpr int kLowerRowHeight = 97;
constexpr int kStepTop = 16;
constexpr int kStepWidth = 81;
constexpr int kStepHeight = 72;

constexpr ControlSpec Label(Control id, std::string_view name, std::string_view caption,
                            Control parent, int left, int top, int width = 0,
                            std::optional<Control> buddy = std::nullopt) {
    return {id, name, K::Label, caption, parent, left, top, width, 0, 0, buddy};
}
constexpr ControlSpec Item(Control id, std::string_view name, K kind, std::string_view caption,
                           Control parent, int left, int top, int width, std::uint8_t flags = 0) {
    const int height = kind == K::Button ? kButtonHeight
                       : kind == K::CheckBox ? kCheckHeight
                                             : kEditHeight;
    return {id, name, kind, caption, parent, left, top, width, height, flags, std::nullopt};
}
constexpr ControlSpec Box(Control id, std::string_view name, K kind, std::string_view caption,
                          std::optional<Control> parent, int left, int top, int width, int height,
                          std::uint8_t flags = 0) {
    return {id, name, kind, caption, parent, left, top, width, height, flags, std::nullopt};
}

// clang-format off
constexpr std::array<ControlSpec, kControlCount> kTable = {{
    Box(Panel1, "Panel1", K::Panel, "", std::nullopt, 0, 0, 0, kPanelHeight, kStretch),

    Box(GrpDeviceSpecs, "GrpDeviceSpecs", K::Group, "Device", Panel1, 0, 0, 0, kGroupRowHeight, kStretch),
    Label(lblDeviceSelect, "lblDeviceSelect", "Target &PIC Device", GrpDeviceSpecs, 16, 16, 0, cmbDeviceList),
    Item(cmbDeviceList, "cmbDeviceList", K::List, "", GrpDeviceSpecs, 16, 29, 169),
    Label(lblProgramMemory, "lblProgramMemory", "Program", GrpDeviceSpecs, 256, 8, 65),
    Label(lblProgramMemoryValue, "lblProgramMemoryValue", "0", GrpDeviceSpecs, 328, 8, 41),
    Label(lblConfigurationWord, "lblConfigurationWord", "User/Config", GrpDeviceSpecs, 256, 24, 65),
    Label(lblConfigurationWordValue, "lblConfigurationWordValue", "0", GrpDeviceSpecs, 328, 24, 41),
    Label(lblDataMemory, "lblDataMemory", "Data", GrpDeviceSpecs, 256, 40, 65),
    Label(lblDataMemoryValue, "lblDataMemoryValue", "0", GrpDeviceSpecs, 328, 40, 41),
    Item(cbLVP, "cbLVP", K::CheckBox, "&LVP", GrpDeviceSpecs, 368, 38, 65),

    Box(GrpSource, "GrpSource", K::Group, "Data Source", Panel1, 0, kGroupRowHeight, 0, kGroupRowHeight, kStretch),
    Label(lblHexFileName, "lblHexFileName", "Intel&Hex", GrpSource, 17, 16, 0, edtHexFile),
    Item(edtHexFile, "edtHexFile", K::Edit, "", GrpSource, 15, 29, 170),
    Item(btnOpenHexFile, "btnOpenHexFile", K::Button, "&Refer", GrpSource, 192, 28, 56),
    Label(edtHexP, "edtHexP", "Program", GrpSource, 256, 8, 57),
    Label(edtHexProgram, "edtHexProgram", "0", GrpSource, 328, 8, 49),
    Label(edtHexC, "edtHexC", "User/Config", GrpSource, 256, 24, 65),
    Label(edtHexConfig, "edtHexConfig", "0", GrpSource, 328, 24, 49),
    Label(edtHexD, "edtHexD", "Data", GrpSource, 256, 40, 41),
    Label(edtHexData, "edtHexData", "0", GrpSource, 328, 40, 49),
    Item(btnClearBuffer, "btnClearBuffer", K::Button, "Clear &Buffer", GrpSource, 368, 28, 73),
    Item(btnEditMemory, "btnEditMemory", K::Button, "Ed&it", GrpSource, 448, 28, 73, kDisabled),

    Box(GrpPort, "GrpPort", K::Group, "Communication", Panel1, 0, kLowerRowTop, 94, kLowerRowHeight),
    Label(lblSerialPort, "lblSerialPort", "&COM Port", GrpPort, 8, 16, 0, cmbSerialPortList),
    Item(cmbSerialPortList, "cmbSerialPortList", K::List, "", GrpPort, 8, 29, 81),

    Box(GrpDump, "GrpDump", K::Group, "Dump", Panel1, 94, kLowerRowTop, 180, kLowerRowHeight),
    Label(lblDumpAddress, "lblDumpAddress", "&Address", GrpDump, 8, 16, 0, edtDumpAddress),
    Item(edtDumpAddress, "edtDumpAddress", K::Edit, "", GrpDump, 8, 32, 81, kUpperCase),
    Label(lblDumpSize, "lblDumpSize", "Si&ze", GrpDump, 8, 56, 0, edtDumpSize),
    Item(edtDumpSize, "edtDumpSize", K::Edit, "", GrpDump, 8, 72, 81, kUpperCase),
    Item(cbFarmOnDump, "cbFarmOnDump", K::CheckBox, "&FarmWare", GrpDump, 95, 46, 81, kTicked | kDisabled),
    Item(btnDump, "btnDump", K::Button, "D&ump", GrpDump, 95, 72, 73),

    Box(GrpCommands, "GrpCommands", K::Group, "Programming", Panel1, 274, kLowerRowTop, 0, kLowerRowHeight, kStretch),
    Box(GrpErase, "GrpErase", K::StepGroup, "", GrpCommands, 8, kStepTop, kStepWidth, kStepHeight),
    Item(cbEraseAll, "cbEraseAll", K::CheckBox, "&Erase All", GrpErase, 2, 0, 65),
    Item(cbEraseProgram, "cbEraseProgram", K::CheckBox, "Program", GrpErase, 8, 16, 65),
    Item(cbEraseConfigurationMemory, "cbEraseConfigurationMemory", K::CheckBox, "Config", GrpErase, 8, 32, 57, kHidden),
    Item(cbEraseDataMemory, "cbEraseDataMemory", K::CheckBox, "Data", GrpErase, 8, 48, 57),
    Box(GrpWrite, "GrpWrite", K::StepGroup, "", GrpCommands, 96, kStepTop, kStepWidth, kStepHeight),
    Item(cbWriteAll, "cbWriteAll", K::CheckBox, "&Write All", GrpWrite, 2, 0, 65),
    Item(cbWriteProgram, "cbWriteProgram", K::CheckBox, "Program", GrpWrite, 8, 16, 65),
    Item(cbWriteConfigurationMemory, "cbWriteConfigurationMemory", K::CheckBox, "Config", GrpWrite, 8, 32, 57),
    Item(cbWriteDataMemory, "cbWriteDataMemory", K::CheckBox, "Data", GrpWrite, 8, 48, 49),
    Box(GrpVerify, "GrpVerify", K::StepGroup, "", GrpCommands, 184, kStepTop, kStepWidth, kStepHeight),
    Item(cbVerifyAll, "cbVerifyAll", K::CheckBox, "&Verify All", GrpVerify, 2, 0, 71),
    Item(cbVerifyProgram, "cbVerifyProgram", K::CheckBox, "Program", GrpVerify, 8, 16, 65),
    Item(cbVerifyConfigurationMemory, "cbVerifyConfigurationMemory", K::CheckBox, "Config", GrpVerify, 8, 32, 57),
    Item(cbVerifyDataMemory, "cbVerifyDataMemory", K::CheckBox, "Data", GrpVerify, 8, 48, 57),
    Item(cbFarmWare, "cbFarmWare", K::CheckBox, "&FarmWare", GrpCommands, 272, 46, 81, kTicked | kDisabled),
    Item(btnGo, "btnGo", K::Button, "&Download", GrpCommands, 272, 72, 73),

    // Between the panel and the status bar, and docked at the bottom.
    Box(Memo1, "Memo1", K::Log, "", std::nullopt, 0, kPanelHeight, 0, 0, kStretch),
    Box(StatusBar1, "StatusBar1", K::StatusBar, "", std::nullopt, 0, 0, 0, kStatusBarHeight, kStretch),
}};
// clang-format on

constexpr bool TableInOrder() {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (static_cast<std::size_t>(kTable[i].Id) != i)
            return false;
    return true;
}
static_assert(TableInOrder(), "the table lists the controls in the order of the enum");

bool TakesFocus(ControlKind kind) {
    switch (kind) {
    case K::List:
    case K::Edit:
    case K::CheckBox:
    case K::Button:
    case K::Log: return true;
    default: return false;
    }
}

} // namespace

std::span<const ControlSpec> ControlTable() {
    return kTable;
}

const ControlSpec& Spec(Control control) {
    return kTable[static_cast<std::size_t>(control)];
}

std::optional<Control> FindControl(std::string_view name) {
    for (const ControlSpec& spec : kTable)
        if (spec.Name == name)
            return spec.Id;
    return std::nullopt;
}

std::optional<Control> ControlOfId(int id) {
    if (id < kFirstControlId || id >= kFirstControlId + kControlCount)
        return std::nullopt;
    return static_cast<Control>(id - kFirstControlId);
}

std::string PlainCaption(std::string_view caption) {
    std::string plain;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        plain += caption[i];
    }
    return plain;
}

char AccessKey(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
        ++i;
    }
    return 0;
}

std::vector<Control> TabOrder() {
    std::vector<Control> order = {Control::Memo1};
    for (const ControlSpec& spec : kTable)
        if (spec.Id != Control::Memo1 && TakesFocus(spec.Kind))
            order.push_back(spec.Id);
    return order;
}

Rect PlaceIn(const ControlSpec& spec, int parentWidth) {
    const int width = spec.Has(kStretch) ? std::max(0, parentWidth - spec.Left) : spec.Width;
    return {spec.Left, spec.Top, width, spec.Height};
}

Size FormCanResize(Size requested) {
    return {std::max(requested.Width, kMinWidth), std::max(requested.Height, kMinHeight)};
}

Rect ProgressBarRect(Size statusBar) {
    return {kStatusPanel0Width + 2, 2, statusBar.Width - kStatusPanel0Width - 2,
            statusBar.Height - 2};
}

} // namespace vandrel::form
