// The run control both buttons share: required fields, opening the port,
// the Stop caption, and the closing steps however an operation ends.
#include <gtest/gtest.h>

#include "common/convert.h"
#include "programmer/sim_rig.h"

namespace vandrel::test {
namespace {

using programmer::OperationButton;
using programmer::RequiredField;
using programmer::StepBox;
using Lines = std::vector<std::string>;

// A port the OS refuses to open for this user.
class DeniedDriver final : public serial::PortDriver {
public:
    bool Open(const std::string&, std::string& osError) override {
        osError = "Permission denied";
        return false;
    }
    void CloseHandle() override {}
    std::uint32_t NativeHandle() const override { return serial::INVALID_HANDLE_VALUE; }
    bool SetupComm(std::int32_t, std::int32_t) override { return false; }
    bool PurgeComm(std::uint32_t) override { return false; }
    bool GetCommState(serial::PortState&) override { return false; }
    bool SetCommState(const serial::PortState&) override { return false; }
    bool GetCommTimeouts(serial::CommTimeouts&) override { return false; }
    bool SetCommTimeouts(const serial::CommTimeouts&) override { return false; }
    bool SetCommMask(std::uint32_t) override { return false; }
    bool WaitCommEvent(std::uint32_t&) override { return false; }
    void WakeCommEventWaiter() override {}
    bool ClearCommError(std::uint32_t&, std::uint32_t&) override { return false; }
    serial::IoResult Read(std::uint8_t*, std::uint32_t, std::uint32_t&) override { return serial::IoResult::Failed; }
    serial::IoResult ReadResult(std::uint32_t&) override { return serial::IoResult::Failed; }
    serial::IoResult Write(const std::uint8_t*, std::uint32_t, std::uint32_t&) override {
        return serial::IoResult::Failed;
    }
    bool WaitWrite(std::uint32_t&) override { return false; }
    bool EscapeCommFunction(std::uint32_t) override { return false; }
    bool GetCommModemStatus(std::uint32_t&) override { return false; }
    bool SetCommBreak() override { return false; }
    bool ClearCommBreak() override { return false; }
};

void Press(SimRig& rig, OperationButton button) {
    if (button == OperationButton::Go)
        rig.ops.btnGoClick();
    else
        rig.ops.btnDumpClick();
}

const char* IdleCaption(OperationButton button) { return button == OperationButton::Go ? "&Go" : "D&ump"; }

void ExpectClosed(const SimRig& rig, OperationButton button, const std::string& status) {
    EXPECT_EQ(rig.host.LastStatus(), status);
    EXPECT_EQ(rig.host.Captions.at(button), IdleCaption(button));
    EXPECT_TRUE(rig.host.Enabled.at(OperationButton::Go));
    EXPECT_TRUE(rig.host.Enabled.at(OperationButton::Dump));
    EXPECT_FALSE(rig.port->IsOpen());
    EXPECT_EQ(rig.host.Position, 0);
}

TEST(RunControl, FirstEmptyRequiredFieldFlashesAndNothingOpens) {
    struct Case {
        OperationButton button;
        std::set<RequiredField> empty;
        std::vector<RequiredField> flashed;
    };
    const std::vector<Case> cases = {
        {OperationButton::Go, {RequiredField::SerialPort, RequiredField::DeviceSelect}, {RequiredField::SerialPort}},
        {OperationButton::Go, {RequiredField::DeviceSelect}, {RequiredField::DeviceSelect}},
        {OperationButton::Dump, {RequiredField::DeviceSelect, RequiredField::DumpSize}, {RequiredField::DeviceSelect}},
        {OperationButton::Dump, {RequiredField::DumpAddress, RequiredField::DumpSize}, {RequiredField::DumpAddress}},
        {OperationButton::Dump, {RequiredField::DumpSize}, {RequiredField::DumpSize}},
    };
    for (const Case& c : cases) {
        SimRig rig;
        rig.host.EmptyFields = c.empty;
        Press(rig, c.button);
        EXPECT_EQ(rig.host.Flashed, c.flashed);
        EXPECT_EQ(rig.port->OpenCount(), 0);
        ExpectClosed(rig, c.button, "Process finished.");
    }
    { // the dump fields are none of the Download button's business
        SimRig rig;
        rig.host.EmptyFields = {RequiredField::DumpAddress, RequiredField::DumpSize};
        rig.host.TickOnly({});
        rig.ops.btnGoClick();
        EXPECT_TRUE(rig.host.Flashed.empty());
        EXPECT_EQ(rig.host.Log, (Lines{"complete."}));
    }
}

TEST(RunControl, PortThatIsOpenOrWillNotOpen) {
    for (OperationButton button : {OperationButton::Go, OperationButton::Dump}) {
        { // already open: refused, and the closing steps close it
            SimRig rig;
            rig.comm.SetPortNo(0);
            rig.comm.Open();
            Press(rig, button);
            EXPECT_EQ(rig.host.ErrorBoxes, (Lines{"Serial port has already opend."}));
            EXPECT_TRUE(rig.Commands().empty());
            ExpectClosed(rig, button, "Process finished.");
        }
        { // missing device: the box, and the OS's reason in the log
            SimRig rig;
            rig.port->SetExists(false);
            Press(rig, button);
            EXPECT_EQ(rig.host.ErrorBoxes, (Lines{"Cannot open serial port."}));
            EXPECT_EQ(rig.host.Log, (Lines{"No such file or directory"}));
            EXPECT_TRUE(rig.Commands().empty());
            ExpectClosed(rig, button, "Process finished.");
        }
    }
    { // no permission: the hint names the group that grants it
        SimRig rig;
        rig.comm.SetDriverFactory([](const std::string&) { return std::make_unique<DeniedDriver>(); });
        rig.ops.btnGoClick();
        EXPECT_EQ(rig.host.ErrorBoxes, (Lines{"Cannot open serial port."}));
        ASSERT_EQ(rig.host.Log.size(), 1u);
        EXPECT_EQ(rig.host.Log[0].rfind("Permission denied", 0), 0u);
        EXPECT_NE(rig.host.Log[0].find("'dialout'"), std::string::npos);
    }
}

TEST(RunControl, PortTextWithoutANumberPassesItsErrorOnAfterClosing) {
    SimRig rig;
    rig.host.Port = "COMX";
    EXPECT_THROW(rig.ops.btnGoClick(), EConvertError);
    EXPECT_EQ(rig.port->OpenCount(), 0);
    ExpectClosed(rig, OperationButton::Go, "Process finished.");
}

TEST(RunControl, RunningButtonIsAStopButtonAndTheOtherIsDisabled) {
    for (OperationButton button : {OperationButton::Go, OperationButton::Dump}) {
        const OperationButton other = button == OperationButton::Go ? OperationButton::Dump : OperationButton::Go;
        SimRig rig;
        rig.image.SetWord(0, 0x0100);
        rig.image.SetWord(1, 0x0101);
        rig.host.TickOnly({StepBox::WriteProgram});
        std::string caption;
        bool ownEnabled = false, otherEnabled = true, stopAfterFirstPress = false;
        rig.host.OnPump = [&](int pump) {
            if (pump != 2)
                return;
            caption = rig.host.Captions.at(button);
            ownEnabled = rig.host.Enabled.at(button);
            otherEnabled = rig.host.Enabled.at(other);
            Press(rig, button);
            stopAfterFirstPress = rig.host.Stop;
            Press(rig, button); // a second press before the run notices: still only a request
        };
        Press(rig, button);
        EXPECT_EQ(caption, "&Stop");
        EXPECT_TRUE(ownEnabled);
        EXPECT_FALSE(otherEnabled);
        EXPECT_TRUE(stopAfterFirstPress);
        EXPECT_EQ(rig.port->OpenCount(), 1);
        EXPECT_TRUE(rig.host.ErrorBoxes.empty());
        ExpectClosed(rig, button, "Terminated by user.");

        // The next press starts afresh: the old request is cleared.
        rig.host.OnPump = nullptr;
        Press(rig, button);
        ExpectClosed(rig, button, "Process finished.");
    }
}

TEST(RunControl, UntickedFarmWareBoxOpensAndClosesThePortOnly) {
    for (auto [button, box] : {std::pair{OperationButton::Go, StepBox::FarmWare},
                               std::pair{OperationButton::Dump, StepBox::FarmOnDump}}) {
        SimRig rig;
        rig.host.Checked.erase(box);
        Press(rig, button);
        EXPECT_EQ(rig.port->OpenCount(), 1);
        EXPECT_TRUE(rig.Commands().empty());
        EXPECT_TRUE(rig.host.Log.empty());
        ExpectClosed(rig, button, "Process finished.");
    }
}

} // namespace
} // namespace vandrel::test
