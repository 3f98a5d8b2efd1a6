// The one control table both faces build from: every control of the main
// window under its name, with its kind, caption, group and position.
#include <gtest/gtest.h>

#include <set>

#include "form/control_table.h"

namespace vandrel::form::test {
namespace {

using K = ControlKind;

struct Row {
    const char* Name;
    K Kind;
    const char* Caption;
    const char* Group;
    int Left, Top, Width; // width 0: as wide as the caption
};

// The window's controls as they are drawn up for users.
const Row kExpected[] = {
    {"lblDeviceSelect", K::Label, "Target &PIC Device", "GrpDeviceSpecs", 16, 16, 0},
    {"cmbDeviceList", K::List, "", "GrpDeviceSpecs", 16, 29, 169},
    {"lblProgramMemory", K::Label, "Program", "GrpDeviceSpecs", 256, 8, 65},
    {"lblProgramMemoryValue", K::Label, "0", "GrpDeviceSpecs", 328, 8, 41},
    {"lblConfigurationWord", K::Label, "User/Config", "GrpDeviceSpecs", 256, 24, 65},
    {"lblConfigurationWordValue", K::Label, "0", "GrpDeviceSpecs", 328, 24, 41},
    {"lblDataMemory", K::Label, "Data", "GrpDeviceSpecs", 256, 40, 65},
    {"lblDataMemoryValue", K::Label, "0", "GrpDeviceSpecs", 328, 40, 41},
    {"cbLVP", K::CheckBox, "&LVP", "GrpDeviceSpecs", 368, 38, 65},
    {"lblHexFileName", K::Label, "Intel&Hex", "GrpSource", 17, 16, 0},
    {"edtHexFile", K::Edit, "", "GrpSource", 15, 29, 170},
    {"btnOpenHexFile", K::Button, "&Refer", "GrpSource", 192, 28, 56},
    {"edtHexP", K::Label, "Program", "GrpSource", 256, 8, 57},
    {"edtHexProgram", K::Label, "0", "GrpSource", 328, 8, 49},
    {"edtHexC", K::Label, "User/Config", "GrpSource", 256, 24, 65},
    {"edtHexConfig", K::Label, "0", "GrpSource", 328, 24, 49},
    {"edtHexD", K::Label, "Data", "GrpSource", 256, 40, 41},
    {"edtHexData", K::Label, "0", "GrpSource", 328, 40, 49},
    {"btnClearBuffer", K::Button, "Clear &Buffer", "GrpSource", 368, 28, 73},
    {"btnEditMemory", K::Button, "Ed&it", "GrpSource", 448, 28, 73},
    {"lblSerialPort", K::Label, "&COM Port", "GrpPort", 8, 16, 0},
    {"cmbSerialPortList", K::List, "", "GrpPort", 8, 29, 81},
    {"lblDumpAddress", K::Label, "&Address", "GrpDump", 8, 16, 0},
    {"edtDumpAddress", K::Edit, "", "GrpDump", 8, 32, 81},
    {"lblDumpSize", K::Label, "Si&ze", "GrpDump", 8, 56, 0},
    {"edtDumpSize", K::Edit, "", "GrpDump", 8, 72, 81},
    {"cbFarmOnDump", K::CheckBox, "&FarmWare", "GrpDump", 95, 46, 81},
    {"btnDump", K::Button, "D&ump", "GrpDump", 95, 72, 73},
    {"GrpErase", K::StepGroup, "", "GrpCommands", 8, 16, 81},
    {"cbEraseAll", K::CheckBox, "&Erase All", "GrpErase", 2, 0, 65},
    {"cbEraseProgram", K::CheckBox, "Program", "GrpErase", 8, 16, 65},
    {"cbEraseConfigurationMemory", K::CheckBox, "Config", "GrpErase", 8, 32, 57},
    {"cbEraseDataMemory", K::CheckBox, "Data", "GrpErase", 8, 48, 57},
    {"GrpWrite", K::StepGroup, "", "GrpCommands", 96, 16, 81},
    {"cbWriteAll", K::CheckBox, "&Write All", "GrpWrite", 2, 0, 65},
    {"cbWriteProgram", K::CheckBox, "Program", "GrpWrite", 8, 16, 65},
    {"cbWriteConfigurationMemory", K::CheckBox, "Config", "GrpWrite", 8, 32, 57},
    {"cbWriteDataMemory", K::CheckBox, "Data", "GrpWrite", 8, 48, 49},
    {"GrpVerify", K::StepGroup, "", "GrpCommands", 184, 16, 81},
    {"cbVerifyAll", K::CheckBox, "&Verify All", "GrpVerify", 2, 0, 71},
    {"cbVerifyProgram", K::CheckBox, "Program", "GrpVerify", 8, 16, 65},
    {"cbVerifyConfigurationMemory", K::CheckBox, "Config", "GrpVerify", 8, 32, 57},
    {"cbVerifyDataMemory", K::CheckBox, "Data", "GrpVerify", 8, 48, 57},
    {"cbFarmWare", K::CheckBox, "&FarmWare", "GrpCommands", 272, 46, 81},
    {"btnGo", K::Button, "&Download", "GrpCommands", 272, 72, 73},
};

TEST(ControlTable, EveryControlHasItsNameIdKindCaptionGroupAndPosition) {
    for (const Row& row : kExpected) {
        SCOPED_TRACE(row.Name);
        const auto id = FindControl(row.Name);
        ASSERT_TRUE(id.has_value());
        const ControlSpec& spec = Spec(*id);
        EXPECT_EQ(spec.Kind, row.Kind);
        EXPECT_EQ(spec.Caption, row.Caption);
        ASSERT_TRUE(spec.Parent.has_value());
        EXPECT_EQ(NameOf(*spec.Parent), row.Group);
        EXPECT_EQ(PlaceIn(spec, 640), (Rect{row.Left, row.Top, row.Width, spec.Height}));
        EXPECT_EQ(ControlOfId(ControlId(*id)), id);
    }
    // The five groups of the panel and their frames at the start size.
    const std::pair<const char*, Rect> groups[] = {
        {"GrpDeviceSpecs", {0, 0, 640, 60}}, {"GrpSource", {0, 60, 640, 60}},
        {"GrpPort", {0, 120, 94, 97}},       {"GrpDump", {94, 120, 180, 97}},
        {"GrpCommands", {274, 120, 366, 97}},
    };
    for (const auto& [name, place] : groups) {
        const ControlSpec& spec = Spec(*FindControl(name));
        EXPECT_EQ(PlaceIn(spec, 640), place) << name;
        EXPECT_EQ(spec.Parent, Control::Panel1) << name;
    }
    EXPECT_EQ(Spec(Control::GrpDeviceSpecs).Caption, "Device");
    EXPECT_EQ(Spec(Control::GrpSource).Caption, "Data Source");
    EXPECT_EQ(Spec(Control::GrpPort).Caption, "Communication");
    EXPECT_EQ(Spec(Control::GrpDump).Caption, "Dump");
    EXPECT_EQ(Spec(Control::GrpCommands).Caption, "Programming");
    EXPECT_EQ(PlaceIn(Spec(Control::GrpCommands), 900).Width, 626); // stretches with the window
    // Nothing else, and no name twice.
    std::set<std::string_view> names;
    for (const ControlSpec& spec : ControlTable())
        EXPECT_TRUE(names.insert(spec.Name).second) << spec.Name;
    // Beside them: the panel, its five groups, the log and the status bar.
    EXPECT_EQ(names.size(), std::size(kExpected) + 8);
    EXPECT_FALSE(FindControl("btnNothing").has_value());
    EXPECT_FALSE(ControlOfId(kFirstControlId + kControlCount).has_value());
}

TEST(ControlTable, IdleStatesLabelsAndTabOrder) {
    for (const auto& [control, flags] :
         {std::pair{Control::cbFarmOnDump, kTicked | kDisabled},
          std::pair{Control::cbFarmWare, kTicked | kDisabled},
          std::pair{Control::btnEditMemory, int(kDisabled)},
          std::pair{Control::cbEraseConfigurationMemory, int(kHidden)},
          std::pair{Control::edtDumpAddress, int(kUpperCase)},
          std::pair{Control::edtDumpSize, int(kUpperCase)}})
        EXPECT_EQ(Spec(control).Flags & ~kStretch, flags) << NameOf(control);

    // The labels whose access key moves the focus, and where to.
    for (const auto& [label, field, key] :
         {std::tuple{Control::lblDeviceSelect, Control::cmbDeviceList, 'P'},
          std::tuple{Control::lblHexFileName, Control::edtHexFile, 'H'},
          std::tuple{Control::lblSerialPort, Control::cmbSerialPortList, 'C'},
          std::tuple{Control::lblDumpAddress, Control::edtDumpAddress, 'A'},
          std::tuple{Control::lblDumpSize, Control::edtDumpSize, 'Z'}}) {
        EXPECT_EQ(Spec(label).Buddy, field) << NameOf(label);
        EXPECT_EQ(AccessKey(Spec(label).Caption), key) << NameOf(label);
    }
    EXPECT_EQ(PlainCaption("Clear &Buffer"), "Clear Buffer");
    EXPECT_EQ(PlainCaption("A&&B"), "A&B");
    EXPECT_EQ(AccessKey("A&&B"), 0);
    EXPECT_EQ(AccessKey("D&ump"), 'U');

    // The log first, then the rows of each group, the groups in their order.
    std::vector<std::string_view> order;
    for (Control control : TabOrder())
        order.push_back(NameOf(control));
    EXPECT_EQ(order, (std::vector<std::string_view>{
                         "Memo1", "cmbDeviceList", "cbLVP", "edtHexFile", "btnOpenHexFile",
                         "btnClearBuffer", "btnEditMemory", "cmbSerialPortList", "edtDumpAddress",
                         "edtDumpSize", "cbFarmOnDump", "btnDump", "cbEraseAll", "cbEraseProgram",
                         "cbEraseConfigurationMemory", "cbEraseDataMemory", "cbWriteAll",
                         "cbWriteProgram", "cbWriteConfigurationMemory", "cbWriteDataMemory",
                         "cbVerifyAll", "cbVerifyProgram", "cbVerifyConfigurationMemory",
                         "cbVerifyDataMemory", "cbFarmWare", "btnGo"}));
}

TEST(ControlTable, WindowSizeLimitAndProgressBarPlace) {
    EXPECT_EQ(FormCanResize({500, 300}), (Size{640, 480}));
    EXPECT_EQ(FormCanResize({100, 900}), (Size{640, 900}));
    EXPECT_EQ(FormCanResize({1024, 768}), (Size{1024, 768}));
    EXPECT_EQ(ProgressBarRect({640, 19}), (Rect{252, 2, 388, 17}));
    EXPECT_EQ(ProgressBarRect({900, 19}), (Rect{252, 2, 648, 17}));
}

} // namespace
} // namespace vandrel::form::test
