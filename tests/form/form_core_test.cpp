// The window's behaviour through a scripted view: what either face shows the
// user follows from these calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "device/pic_device.h"
#include "image/hex_file.h"
#include "simulator/sim_programmer.h"
#include "scripted_view.h"
#include "support/set_env.h"
#include "support/temp_dir.h"

namespace vandrel::form::test {
namespace {

using C = Control;

void SetSimulator(const char* device) {
    vandrel::test::SetEnv("VANDREL1_SIMULATOR", device);
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
                     "write PicDevice=PIC16F628A", "read CheckBeforeWrite", "read FastTiming"}));
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

// --- The menu's commands -------------------------------------------------

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MenuTest : public FormCoreTest {
protected:
    // The simulated PIC16F628A on COM0, chosen, with a word in every area.
    simulator::SimChip& StartSimulated(const char* device = "PIC16F628A") {
        SetSimulator("PIC16F628A");
        ports_ = {{"COM0", "simulated"}};
        settings_.Values = {{kPicDevice, device}, {kHexFilePath, dir_ / "old.hex"}};
        Start();
        simulator::SimChip& chip = *core_->SimulatedChip();
        chip.EraseAll();
        for (std::int32_t a = 0; a < 0x800; a += 7)
            chip.WriteWord(a, static_cast<std::uint16_t>((a * 37) & 0x3FFF));
        chip.WriteWord(0x2000, 0x0012);
        chip.WriteWord(0x2003, 0x3ABC);
        chip.WriteWord(0x2007, 0x3F70); // MCLRE on: a chip this adapter can reach
        for (std::int32_t a = 0x2100; a < 0x2180; a += 3)
            chip.WriteWord(a, static_cast<std::uint16_t>(a & 0xFF));
        return chip;
    }
};

TEST_F(MenuTest, ReadIntoHexFileWritesTheChipWordForWordAndOffersToLoadIt) {
    simulator::SimChip& chip = StartSimulated();
    const std::string path = dir_ / "chip.hex";
    view_.SaveAnswers = {path};
    view_.YesNo = {true}; // load it
    core_->MenuChosen(MenuCommand::ReadChip);
    ASSERT_TRUE(view_.Errors.empty()) << view_.Errors.front();
    EXPECT_EQ(Only(trace_, {"save dialog"}),
              Trace{"save dialog IntelHEXファイル(*.hex)|*.hex at " + (dir_ / "PIC16F628A.hex")});
    EXPECT_EQ(view_.Status, "Process finished.");
    EXPECT_EQ(core_->CommX1.Handle(), serial::INVALID_HANDLE_VALUE);

    // Every word of every area the read keeps, as the chip holds it: erased
    // program words left out, EEPROM cells as bytes, the device ID as read.
    image::THexFile file;
    ASSERT_TRUE(file.LoadFromFile(path));
    const device::TPicDevice& d = device::CurrentDevice;
    int words = 0;
    for (const device::TMemoryRange r : {d.ProgramMemory, d.UserID, d.DeviceID, d.ConfigurationWord, d.DataMemory})
        for (std::int32_t a = r.Address; a < r.Address + r.Size; ++a) {
            const std::int32_t want = chip.ReadWord(a);
            const bool left = device::InRange(a, d.ProgramMemory) && want == 0x3FFF;
            EXPECT_EQ(file.GetWord(a), left ? -1 : (device::InRange(a, d.DataMemory) ? want & 0xFF : want))
                << std::hex << a;
            words += left ? 0 : 1;
        }
    EXPECT_EQ(file.GetWord(0x2004), -1); // beyond the kept ranges
    EXPECT_EQ(view_.Log, (std::vector<std::string>{"<RESET>", "<RESET>", "<RESET>",
                                                   "Read " + std::to_string(0x800 + 4 + 1 + 1 + 0x80) +
                                                   " words; wrote " + std::to_string(words) + " to " + path + "."}));
    EXPECT_EQ(view_.Questions, (std::vector<std::string>{"Load " + path + " into the image?"}));
    EXPECT_EQ(view_.Text(C::edtHexFile), path);
    EXPECT_EQ(view_.Text(C::edtHexProgram), std::to_string(0x800 / 7 + 1));
}

TEST_F(MenuTest, AStoppedOrRefusedReadLeavesTheOldFileWhole) {
    simulator::SimChip& chip = StartSimulated();
    const std::string path = dir_ / "chip.hex";
    { std::ofstream(path, std::ios::binary) << "old contents\n"; }

    // Replace? No: nothing runs.
    view_.SaveAnswers = {path};
    core_->MenuChosen(MenuCommand::ReadChip);
    EXPECT_EQ(view_.Questions, (std::vector<std::string>{path + " exists. Replace it?"}));
    EXPECT_EQ(view_.Status, "");

    // Yes, then Stop during the read: the Dump button carries it.
    int pumps = 0;
    view_.OnPump = [&] {
        if (++pumps == 30) {
            EXPECT_EQ(view_.Caption(C::btnDump), "&Stop");
            view_.Press(C::btnDump);
        }
    };
    view_.SaveAnswers = {path};
    view_.YesNo = {true};
    core_->MenuChosen(MenuCommand::ReadChip);
    view_.OnPump = nullptr;
    EXPECT_EQ(view_.Status, "Terminated by user.");
    EXPECT_EQ(view_.Caption(C::btnDump), "D&ump");
    EXPECT_EQ(Slurp(path), "old contents\n");

    // A code-protected chip reads as zeros: refused unless Yes.
    chip.WriteWord(0x2007, 0x1F70);
    view_.SaveAnswers = {path};
    view_.YesNo = {true, false};
    core_->MenuChosen(MenuCommand::ReadChip);
    EXPECT_EQ(view_.Status, "Process finished.");
    EXPECT_TRUE(view_.Questions.back().find("code-protected") != std::string::npos) << view_.Questions.back();
    EXPECT_EQ(Slurp(path), "old contents\n");
    EXPECT_EQ(std::count(view_.Log.begin(), view_.Log.end(), "<RESET>"), static_cast<long>(view_.Log.size()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1); // no temporary left
}

TEST_F(MenuTest, DetectNamesTheChipAndOffersToSelectIt) {
    simulator::SimChip& chip = StartSimulated("PIC16F627A");
    view_.YesNo = {true};
    core_->MenuChosen(MenuCommand::Detect);
    ASSERT_EQ(view_.Log.size(), 1u);
    EXPECT_TRUE(view_.Log[0].starts_with("PIC16F628A revision ")) << view_.Log[0];
    EXPECT_EQ(view_.Questions,
              (std::vector<std::string>{"The chip is a PIC16F628A, not the PIC16F627A selected. Select PIC16F628A?"}));
    EXPECT_EQ(view_.Text(C::cmbDeviceList), "PIC16F628A");
    EXPECT_EQ(settings_.Values[kPicDevice], "PIC16F628A");
    EXPECT_EQ(view_.Status, "Process finished.");
    EXPECT_EQ(core_->CommX1.Handle(), serial::INVALID_HANDLE_VALUE);

    // The chip selected: no question. No chip: said so.
    core_->MenuChosen(MenuCommand::Detect);
    EXPECT_EQ(view_.Questions.size(), 1u);
    chip.SetNoChip(true);
    core_->MenuChosen(MenuCommand::Detect);
    EXPECT_EQ(view_.Log.back(), "no chip answers (device ID 3FFF)");
    EXPECT_TRUE(view_.Errors.empty());
}

TEST_F(MenuTest, CheckBeforeWritingIsRememberedSilentOnAMatchAndAsksOnAMismatch) {
    StartSimulated();
    view_.Type(C::edtHexFile, kExample);
    view_.Tick(C::cbEraseAll, true);
    view_.Tick(C::cbWriteAll, true);
    view_.Press(C::btnGo);
    const std::vector<std::string> plain = view_.Log;
    ASSERT_EQ(plain.back(), "complete.");

    core_->MenuChosen(MenuCommand::CheckBeforeWrite);
    EXPECT_EQ(settings_.Values[kCheckBeforeWrite], "1");
    EXPECT_TRUE(view_.MenuTicks[MenuCommand::CheckBeforeWrite]);
    view_.Log.clear();
    view_.Press(C::btnGo);
    EXPECT_EQ(view_.Log, plain); // a match logs nothing
    EXPECT_TRUE(view_.Questions.empty());

    // Another device chosen: a box names both; No leaves the chip alone.
    view_.Choose(C::cmbDeviceList, "PIC16F627A");
    view_.Log.clear();
    view_.Press(C::btnGo);
    EXPECT_EQ(view_.Questions, (std::vector<std::string>{"The adapter holds a PIC16F628A, not the PIC16F627A "
                                                         "selected. Write the PIC16F627A's image anyway?"}));
    EXPECT_TRUE(view_.Log.empty());

    // Remembered at the next start.
    core_->FormDestroy();
    core_.reset();
    Start();
    EXPECT_TRUE(core_->CheckBeforeWrite());
    EXPECT_TRUE(view_.MenuTicks[MenuCommand::CheckBeforeWrite]);
}

// Fast timing: remembered, and a Download then waits the maxima (the log
// says so in its first line); off, the described run's log is as before.
TEST_F(MenuTest, FastTimingIsRememberedAndTimesTheDownload) {
    StartSimulated();
    view_.Type(C::edtHexFile, kExample);
    view_.Tick(C::cbEraseAll, true);
    view_.Tick(C::cbWriteAll, true);
    view_.Tick(C::cbVerifyAll, true);
    EXPECT_FALSE(view_.MenuTicks[MenuCommand::FastTiming]);
    view_.Press(C::btnGo);
    const std::vector<std::string> described = view_.Log;
    ASSERT_EQ(described.back(), "complete.");

    core_->MenuChosen(MenuCommand::FastTiming);
    EXPECT_EQ(settings_.Values[kFastTiming], "1");
    EXPECT_TRUE(view_.MenuTicks[MenuCommand::FastTiming]);
    view_.Log.clear();
    view_.Press(C::btnGo);
    ASSERT_FALSE(view_.Log.empty());
    EXPECT_EQ(view_.Log.front().rfind("Fast timing, the maxima", 0), 0u) << view_.Log.front();
    EXPECT_EQ(std::vector<std::string>(view_.Log.begin() + 1, view_.Log.end()), described);

    core_->FormDestroy();
    core_.reset();
    Start();
    EXPECT_TRUE(core_->FastTiming());
    EXPECT_TRUE(view_.MenuTicks[MenuCommand::FastTiming]);
    core_->MenuChosen(MenuCommand::FastTiming);
    EXPECT_EQ(settings_.Values[kFastTiming], "0");
}

TEST_F(MenuTest, SaveLogWritesExactlyThePanesLinesAndCopyLogCopiesThem) {
    Start();
    view_.Log = {"first line", "", "ＭＳ third", "0000 3FFF"};
    const std::string path = dir_ / "log.txt";
    view_.SaveAnswers = {path};
    core_->MenuChosen(MenuCommand::SaveLog);
    EXPECT_EQ(Slurp(path), "first line\n\nＭＳ third\n0000 3FFF\n");
    core_->MenuChosen(MenuCommand::CopyLog);
    EXPECT_EQ(view_.Clipboard, "first line\n\nＭＳ third\n0000 3FFF\n");
    core_->MenuChosen(MenuCommand::About);
    ASSERT_EQ(view_.Infos.size(), 1u);
    EXPECT_NE(view_.Infos[0].find(device::DeviceSpecPath()), std::string::npos);
    EXPECT_NE(view_.Infos[0].find("GPL-3.0-or-later"), std::string::npos);
}

TEST(MenuTable, AccessKeysAndShortcutsClashWithNoControl) {
    std::set<char> controlKeys;
    for (const ControlSpec& spec : ControlTable())
        if (const char key = AccessKey(spec.Caption))
            controlKeys.insert(key);
    std::set<char> menuKeys;
    for (const MenuSpec& menu : MenuTable()) {
        const char key = AccessKey(menu.Caption);
        EXPECT_NE(key, 0) << menu.Name;
        EXPECT_FALSE(controlKeys.contains(key)) << menu.Name;
        EXPECT_TRUE(menuKeys.insert(key).second) << menu.Name;
    }
    std::set<std::string> shortcuts;
    for (const MenuCommandSpec& command : MenuCommandTable()) {
        EXPECT_EQ(MenuCommandOfId(MenuCommandId(command.Id)), command.Id);
        EXPECT_EQ(FindMenuCommand(command.Name), command.Id);
        if (const std::string keys = ShortcutText(command.Id); !keys.empty()) {
            EXPECT_TRUE(shortcuts.insert(keys).second) << keys;
        }
    }
    EXPECT_FALSE(ControlOfId(kFirstMenuId).has_value());
}

// The window writes a configuration word that locks the chip out of this
// adapter as it is told, in the described order, and says so in one line
// right after the configuration step; a word with MCLRE on gets no line.
TEST_F(FormCoreTest, DownloadWritesALockOutWordAsToldAndWarnsAfterTheConfigurationStep) {
    struct Case {
        const char* configRecord;
        bool warns;
    };
    for (const Case& c : {Case{":02400E00503F21", true}, Case{":02400E00703F01", false}}) {
        SCOPED_TRACE(c.configRecord);
        const std::string hex = dir_.Write("lock.hex", std::string(":020000040000FA\n:0400000005280000CF\n") +
                                                           c.configRecord + "\n:00000001FF\n");
        SetSimulator("PIC16F628A");
        ports_ = {{"COM0", "simulated"}};
        settings_.Values = {{kHexFilePath, hex}, {kPicDevice, "PIC16F628A"}};
        Start();
        view_.Tick(C::cbWriteAll, true);
        view_.Press(C::btnGo);
        EXPECT_EQ(view_.Log.back(), "complete.");
        EXPECT_EQ(core_->SimulatedChip()->ReadWord(0x2007), c.warns ? 0x3F50 : 0x3F70);
        // The window's order: program, configuration, EEPROM; the configuration
        // step logs no word of its own, so the warning follows its heading.
        const auto config = std::find(view_.Log.begin(), view_.Log.end(), "<LOAD CONFIGURATION DATA>");
        ASSERT_NE(config, view_.Log.end());
        EXPECT_LT(std::find(view_.Log.begin(), view_.Log.end(), "<LOAD PROGRAM MEMORY>"), config);
        const auto warning = std::find_if(view_.Log.begin(), view_.Log.end(),
                                          [](const std::string& line) { return line.starts_with("Warning: "); });
        EXPECT_EQ(warning != view_.Log.end(), c.warns);
        if (c.warns) {
            EXPECT_EQ(warning, config + 1) << ::testing::PrintToString(view_.Log);
            EXPECT_EQ(*(warning + 1), " Can't find EEPROM Data in hex file.") << "then the next step, as always";
            EXPECT_EQ(*warning, "Warning: configuration word 3F50 turns MCLRE off (bit 0020 = 0) with the internal "
                                "oscillator (bits 0013 = 0010): the chip then runs its program whenever it has "
                                "power, and this adapter, which keeps Vdd on, may never put it into programming "
                                "mode again; keep MCLRE = 1 while developing (3F70).");
        }
        core_->FormDestroy();
        core_.reset();
        view_.Log.clear();
    }
}

} // namespace
} // namespace vandrel::form::test
