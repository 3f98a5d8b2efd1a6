// The window's behaviour through a scripted view: what either face shows the
// user follows from these calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "device/pic_device.h"
#include "scripted_view.h"
#include "support/temp_dir.h"

namespace vandrel::form::test {
namespace {

using C = Control;

void SetSimulator(const char* device) {
#ifdef _WIN32
    _putenv_s("VANDREL1_SIMULATOR", device ? device : "");
#else
    if (device)
        setenv("VANDREL1_SIMULATOR", device, 1);
    else
        unsetenv("VANDREL1_SIMULATOR");
#endif
}

// The trace entries that start with one of `prefixes`.
Trace Only(const Trace& trace, std::initializer_list<const char*> prefixes) {
    Trace kept;
    for (const std::string& entry : trace)
        for (const char* prefix : prefixes)
            if (entry.starts_with(prefix)) {
                kept.push_back(entry);
                break;
            }
    return kept;
}

class FormCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetSimulator(nullptr);
        device::CurrentDevice = {};
        ports_ = {{"COM3", "/dev/ttyUSB0"}, {"COM1", "/dev/ttyS0"}};
    }
    void TearDown() override {
        if (core_)
            core_->FormDestroy();
        core_.reset();
        device::CurrentDevice = {};
        SetSimulator(nullptr);
    }
    TFormCore& Start() {
        core_ = std::make_unique<TFormCore>(view_, settings_, clock_, [this] { return ports_; });
        view_.Core = core_.get();
        core_->FormCreate();
        return *core_;
    }
    // The trace from here on.
    Trace Since(std::size_t mark) const {
        return Trace(trace_.begin() + static_cast<std::ptrdiff_t>(mark), trace_.end());
    }

    vandrel::test::TempDir dir_{"form_core"};
    Trace trace_;
    ScriptedView view_{trace_};
    ScriptedSettings settings_{trace_};
    TracingClock clock_{trace_};
    PortList ports_;
    std::unique_ptr<TFormCore> core_;
};

const std::string kExample = VANDREL_SOURCE_DIR "/examples/blink628a.hex";

TEST_F(FormCoreTest, StartUpRestoresEachSettingInItsStepAndWritesBackOnlyTheDevice) {
    settings_.Values = {{kHexFilePath, kExample}, {kDumpAddress, "2100"}, {kDumpSize, "1F"},
                        {kComPort, "COM3"},       {kPicDevice, "PIC16F628A"}};
    Start();
    // Restoring the three fields writes the same values back (their change
    // handling); selecting from the program writes nothing; the device
    // change handling writes the device.
    EXPECT_EQ(Only(trace_, {"create", "read", "write", "items", "select", "text edt"}),
              (Trace{"create progress bar",
                     "read HexFilePath", "text edtHexFile=" + kExample,
                     "write HexFilePath=" + kExample, "text edtHexProgram=0", // no device yet
                     "text edtHexData=0", "text edtHexConfig=0",
                     "read DumpAddress", "text edtDumpAddress=2100", "write DumpAddress=2100",
                     "read DumpSize", "text edtDumpSize=1F", "write DumpSize=1F",
                     "items cmbSerialPortList=COM1,COM3",
                     "read ComPort", "select cmbSerialPortList=1",
                     "items cmbDeviceList=" + [] {
                         std::vector<std::string> names;
                         device::GetDeviceList(names);
                         std::string joined;
                         for (const auto& name : names)
                             joined += (joined.empty() ? "" : ",") + name;
                         return joined;
                     }(),
                     "select cmbDeviceList=-1", "read PicDevice",
                     "select cmbDeviceList=" + std::to_string(view_.Selected(C::cmbDeviceList)),
                     "text edtHexProgram=33", "text edtHexData=7", "text edtHexConfig=5",
                     "write PicDevice=PIC16F628A"}));
    EXPECT_EQ(view_.Text(C::cmbDeviceList), "PIC16F628A");
    EXPECT_EQ(view_.Text(C::lblProgramMemoryValue), "2048");
    EXPECT_TRUE(view_.Enabled(C::cbLVP));
    EXPECT_TRUE(view_.Log.empty()); // a restored image is not listed
    EXPECT_TRUE(view_.Errors.empty());
}

TEST_F(FormCoreTest, FirstStartAndStaleSettings) {
    // No settings: the first port, no device, nothing written.
    Start();
    EXPECT_EQ(view_.Text(C::cmbSerialPortList), "COM1");
    EXPECT_EQ(view_.Selected(C::cmbDeviceList), -1);
    EXPECT_EQ(Only(trace_, {"write"}), Trace{});
    core_->FormDestroy();
    EXPECT_EQ(trace_.back(), "destroy progress bar");

    // A port and device that have gone, a HEX file deleted: nothing
    // selected, the path stands, nothing written back, no message.
    trace_.clear();
    settings_.Values = {{kHexFilePath, dir_ / "gone.hex"}, {kComPort, "COM7"},
                        {kPicDevice, "PIC16F999"}};
    Start();
    EXPECT_EQ(view_.Text(C::edtHexFile), dir_ / "gone.hex");
    EXPECT_EQ(view_.Selected(C::cmbSerialPortList), -1);
    EXPECT_EQ(view_.Selected(C::cmbDeviceList), -1);
    EXPECT_TRUE(device::CurrentDevice.Name.empty());
    EXPECT_EQ(Only(trace_, {"write"}), Trace{});
    EXPECT_TRUE(view_.Errors.empty());

    // A port name that is no COM number: shown, and start-up goes on.
    trace_.clear();
    ports_ = {{"COM1", ""}, {"CNCA0", ""}, {"COM3", ""}};
    settings_.Values = {{kPicDevice, "PIC16F84A"}};
    Start();
    EXPECT_EQ(view_.Errors, std::vector<std::string>{"'A0' is not a valid integer value"});
    EXPECT_EQ(view_.Items(C::cmbSerialPortList), std::vector<std::string>{"COM1"});
    EXPECT_EQ(device::CurrentDevice.Name, "PIC16F84A");
}

TEST_F(FormCoreTest, BoxRulesAreTheSameForEraseWriteAndVerify) {
    Start();
    const std::array<std::array<C, 4>, 3> steps = {{
        {C::cbEraseAll, C::cbEraseProgram, C::cbEraseConfigurationMemory, C::cbEraseDataMemory},
        {C::cbWriteAll, C::cbWriteProgram, C::cbWriteConfigurationMemory, C::cbWriteDataMemory},
        {C::cbVerifyAll, C::cbVerifyProgram, C::cbVerifyConfigurationMemory,
         C::cbVerifyDataMemory},
    }};
    for (const auto& [all, program, config, data] : steps) {
        SCOPED_TRACE(std::string(NameOf(all)));
        const auto members = [&] {
            return std::array{view_.Checked(program), view_.Checked(config), view_.Checked(data)};
        };
        view_.Tick(all, true); // ticks the three members, a hidden one too
        EXPECT_EQ(members(), (std::array{true, true, true}));
        view_.Tick(all, false); // leaves them
        EXPECT_EQ(members(), (std::array{true, true, true}));
        view_.Tick(all, true);
        view_.Tick(data, false); // unticks All, leaves the others
        EXPECT_FALSE(view_.Checked(all));
        EXPECT_EQ(members(), (std::array{true, true, false}));
        view_.Tick(data, true); // All stays unticked with every member ticked
        EXPECT_FALSE(view_.Checked(all));
        view_.Tick(all, true);
        view_.Tick(config, false);
        EXPECT_FALSE(view_.Checked(all));
    }
    // The operations read the members, and the two FarmWare boxes as they are.
    EXPECT_TRUE(core_->IsChecked(programmer::StepBox::VerifyProgram));
    EXPECT_FALSE(core_->IsChecked(programmer::StepBox::VerifyConfigurationMemory));
    EXPECT_TRUE(core_->IsChecked(programmer::StepBox::FarmWare));
    EXPECT_TRUE(core_->IsChecked(programmer::StepBox::FarmOnDump));
}

TEST_F(FormCoreTest, HexKeyFilterTakesHexDigitsAndBackspaceOnly) {
    for (int typed = 1; typed < 128; ++typed) {
        char key = static_cast<char>(typed);
        TFormCore::edtHexKeyPress(key);
        const char c = static_cast<char>(typed);
        const char expected = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\b' ? c
                              : c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A')
                                                     : 0;
        EXPECT_EQ(key, expected) << typed;
    }
    char high = static_cast<char>(0xE9);
    TFormCore::edtHexKeyPress(high);
    EXPECT_EQ(high, 0);
}

TEST_F(FormCoreTest, FlashIfEmptyFlashesTheLabelFourTimesThenFocusesItsField) {
    ports_.clear();
    Start();
    for (const auto& [field, label, input] :
         {std::tuple{programmer::RequiredField::SerialPort, C::lblSerialPort, C::cmbSerialPortList},
          std::tuple{programmer::RequiredField::DeviceSelect, C::lblDeviceSelect, C::cmbDeviceList},
          std::tuple{programmer::RequiredField::DumpAddress, C::lblDumpAddress, C::edtDumpAddress},
          std::tuple{programmer::RequiredField::DumpSize, C::lblDumpSize, C::edtDumpSize}}) {
        const std::string name(NameOf(label));
        const std::size_t mark = trace_.size();
        EXPECT_TRUE(core_->FlashIfEmpty(field)) << name;
        Trace expected;
        for (int i = 0; i < 4; ++i)
            for (const char* colour : {"red ", "normal "})
                expected.insert(expected.end(), {colour + name, "pump", "wait 300"});
        expected.push_back("focus " + std::string(NameOf(input)));
        EXPECT_EQ(Since(mark), expected);
    }
    view_.Type(C::edtDumpAddress, "0");
    const std::size_t mark = trace_.size();
    EXPECT_FALSE(core_->FlashIfEmpty(programmer::RequiredField::DumpAddress));
    EXPECT_EQ(Since(mark), Trace{});
}

TEST_F(FormCoreTest, EachSettingIsWrittenTheMomentItIsChosen) {
    Start();
    const std::string hex = dir_.Write("typed.hex", ":00000001FF\n");
    struct Choice {
        std::function<void()> Do;
        Trace Writes; // at once, and nothing else
    };
    const Choice choices[] = {
        {[&] { view_.Type(C::edtDumpAddress, "2A"); }, {"write DumpAddress=2A"}},
        {[&] { view_.Type(C::edtDumpAddress, ""); }, {}}, // the last value stays
        {[&] { view_.Type(C::edtDumpSize, "10"); }, {"write DumpSize=10"}},
        {[&] { view_.Type(C::edtHexFile, dir_ / "missing.hex"); }, {}},
        {[&] { view_.Type(C::edtHexFile, hex); }, {"write HexFilePath=" + hex}},
        {[&] { view_.Choose(C::cmbSerialPortList, "COM3"); }, {"write ComPort=COM3"}},
        {[&] { core_->ListDropDown(C::cmbSerialPortList); }, {}},
        {[&] { view_.Choose(C::cmbDeviceList, "PIC16F84A"); }, {"write PicDevice=PIC16F84A"}},
    };
    for (std::size_t i = 0; i < std::size(choices); ++i) {
        const std::size_t mark = trace_.size();
        choices[i].Do();
        EXPECT_EQ(Only(Since(mark), {"write"}), choices[i].Writes) << "choice " << i;
    }
    EXPECT_EQ(settings_.Values[kDumpAddress], "2A");
    EXPECT_EQ(view_.Text(C::cmbSerialPortList), "COM3"); // kept over the refill
    EXPECT_EQ(view_.Text(C::lblProgramMemoryValue), "1024");
}

TEST_F(FormCoreTest, ReferListsTheFileAndEnterReportsAFailedLoad) {
    Start();
    view_.Answers = {std::nullopt, kExample};
    view_.Press(C::btnOpenHexFile); // cancelled
    EXPECT_EQ(view_.Text(C::edtHexFile), "");
    view_.Press(C::btnOpenHexFile);
    EXPECT_EQ(Only(trace_, {"open dialog"}),
              (Trace{"open dialog IntelHEXファイル(*.hex)|*.hex at ",
                     "open dialog IntelHEXファイル(*.hex)|*.hex at "}));
    EXPECT_EQ(view_.Text(C::edtHexFile), kExample);
    ASSERT_FALSE(view_.Log.empty());
    EXPECT_EQ(view_.Log.front().size(), 45u);

    view_.Type(C::edtHexFile, dir_ / "nothere.hex");
    core_->EnterPressed(C::edtHexFile);
    EXPECT_EQ(view_.Errors, std::vector<std::string>{"Can't load file:" + (dir_ / "nothere.hex")});
}

TEST_F(FormCoreTest, StopOrCloseDuringARunEndsItThroughThePendingMessages) {
    SetSimulator("PIC16F628A");
    ports_ = {{"COM0", "simulated"}};
    settings_.Values = {{kHexFilePath, kExample}, {kPicDevice, "PIC16F628A"}};
    Start();
    ASSERT_NE(core_->SimulatedChip(), nullptr);
    view_.Tick(C::cbWriteAll, true);

    int pumps = 0;
    view_.OnPump = [&] {
        if (++pumps != 20)
            return;
        EXPECT_EQ(view_.Caption(C::btnGo), "&Stop");
        EXPECT_FALSE(view_.Enabled(C::btnDump));
        view_.Press(C::btnGo); // the user presses Stop
    };
    view_.Press(C::btnGo);
    EXPECT_GE(pumps, 20);
    EXPECT_EQ(view_.Status, "Terminated by user.");
    EXPECT_EQ(std::count(view_.Log.begin(), view_.Log.end(), "complete."), 0);
    EXPECT_EQ(view_.Caption(C::btnGo), "&Go");
    EXPECT_TRUE(view_.Enabled(C::btnDump));
    EXPECT_EQ(core_->CommX1.Handle(), serial::INVALID_HANDLE_VALUE);
    EXPECT_TRUE(view_.Errors.empty());

    // The next press runs to its end.
    view_.OnPump = nullptr;
    view_.Press(C::btnGo);
    EXPECT_EQ(view_.Log.back(), "complete.");
    EXPECT_EQ(view_.Status, "Process finished.");

    // Closing the window during a dump stops it; the window closes after
    // the dump's closing steps.
    view_.Type(C::edtDumpAddress, "0");
    view_.Type(C::edtDumpSize, "400");
    bool closeRefused = false;
    view_.OnPump = [&] {
        if (!closeRefused)
            closeRefused = !core_->FormCloseQuery();
    };
    view_.Press(C::btnDump);
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(view_.Status, "Terminated by user.");
    EXPECT_EQ(core_->CommX1.Handle(), serial::INVALID_HANDLE_VALUE);
    EXPECT_NE(trace_.back(), "close");
    view_.OnPump = nullptr;
    view_.ProcessPendingMessages();
    EXPECT_EQ(trace_.back(), "close");
    EXPECT_TRUE(core_->FormCloseQuery());
}

} // namespace
} // namespace vandrel::form::test
