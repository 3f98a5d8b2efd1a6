// Runs of the window over the simulated FT232R and COM0: the cable entries
// of the port list, the estimate on the progress bar, the menu greyed while
// a run goes, and a chip read, written and read again through the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/set_env.h"
#include "device/pic_device.h"
#include "ftdi/ftdi_bus.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_programmer.h"
#include "scripted_view.h"
#include "support/temp_dir.h"

namespace vandrel::form::test {
namespace {

using C = Control;

using vandrel::test::SetEnv;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Two attached cables, one without a readable serial number.
class TwoCables final : public ftdi::FtdiBus {
public:
    std::vector<ftdi::FtdiDeviceInfo> List(ftdi::FtdiProblem&) override {
        ftdi::FtdiDeviceInfo named, unnamed;
        named.serial = "A50285BI";
        unnamed.bus = 1;
        unnamed.address = 5;
        return {named, unnamed};
    }
    std::unique_ptr<ftdi::FtdiDevice> Open(const ftdi::FtdiTarget&, ftdi::FtdiProblem& problem) override {
        problem = {ftdi::FtdiProblem::Kind::NotFound, "no such cable"};
        return nullptr;
    }
};

const std::string kExample = VANDREL_SOURCE_DIR "/examples/blink628a.hex";
constexpr const char* kSimCable = "FT232R VNDRL1SIM";

class WindowRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnv("VANDREL1_SIMULATOR", "PIC16F628A");
        device::CurrentDevice = {};
    }
    void TearDown() override {
        if (core_)
            core_->FormDestroy();
        core_.reset();
        device::CurrentDevice = {};
        SetEnv("VANDREL1_SIMULATOR", nullptr);
    }
    void Start(const std::string& port, const std::string& hexPath = kExample) {
        settings_.Values = {{kHexFilePath, hexPath}, {kPicDevice, "PIC16F628A"}, {kComPort, port}};
        core_ = std::make_unique<TFormCore>(view_, settings_, clock_, [this] { return SystemPorts(&cables_); });
        view_.Core = core_.get();
        core_->FormCreate();
        for (C box : {C::cbEraseAll, C::cbWriteAll, C::cbVerifyAll})
            view_.Tick(box, true);
    }
    // Presses Download; at each pump the estimate is waited for (it is
    // planned beside the run) and what the user sees is noted.
    void Download(bool waitForEstimate = true) {
        greyedDuringRun_ = true;
        bool inside = false;
        view_.OnPump = [&, waitForEstimate] {
            if (inside)
                return;
            inside = true;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            const std::size_t before = view_.ProgressTexts.size();
            while (waitForEstimate && view_.ProgressTexts.size() == before && !seenAbout_ &&
                   std::chrono::steady_clock::now() < deadline)
                core_->ProcessMessages();
            seenAbout_ = true; // waited once: the test says whether it came
            for (const MenuCommandSpec& command : MenuCommandTable())
                if (command.IdleOnly && view_.MenuEnabled[command.Id])
                    greyedDuringRun_ = false;
            if (onPump_)
                onPump_();
            inside = false;
        };
        seenAbout_ = false;
        view_.Press(C::btnGo);
        view_.OnPump = nullptr;
    }

    vandrel::test::TempDir dir_{"window_run"};
    Trace trace_;
    ScriptedView view_{trace_};
    ScriptedSettings settings_{trace_};
    TracingClock clock_{trace_};
    TwoCables cables_;
    std::unique_ptr<TFormCore> core_;
    bool seenAbout_ = false;
    bool greyedDuringRun_ = false;
    std::function<void()> onPump_;
};

TEST_F(WindowRunTest, CablesFollowTheComNamesAndNameTheirCable) {
    Start(kSimCable);
    const std::vector<std::string> items = view_.Items(C::cmbSerialPortList);
    ASSERT_GE(items.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(items.end() - 3, items.end()),
              (std::vector<std::string>{"FT232R A50285BI", "FT232R 1-5", kSimCable}));
    EXPECT_EQ(view_.Text(C::cmbSerialPortList), kSimCable); // the remembered cable
    EXPECT_NE(std::find(items.begin(), items.end(), "COM0"), items.end());

    // Cables keep their order after the COM names, whatever order they came in.
    PortList sorted;
    ListComPorts(sorted, [] { return PortList{{"FT232R B", ""}, {"COM3", ""}, {"FT232R A", ""}, {"COM1", ""}}; });
    std::vector<std::string> names;
    for (const auto& port : sorted)
        names.push_back(port.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM3", "FT232R B", "FT232R A"}));

    struct Case { const char* name; std::optional<ftdi::FtdiTarget> target; };
    ftdi::FtdiTarget serial{ftdi::FtdiTarget::Kind::Serial, "A50285BI"};
    ftdi::FtdiTarget address{ftdi::FtdiTarget::Kind::BusAddress, "", 1, 5};
    for (const Case& c : {Case{"FT232R A50285BI", serial}, Case{"FT232R 1-5", address}, Case{"FT232R ", {}},
                          Case{"COM3", {}}, Case{"FT232RX", {}}})
        EXPECT_EQ(CableOfPortName(c.name), c.target) << c.name;
}

TEST_F(WindowRunTest, DownloadOnTheSimulatedCableShowsItsEstimateThenWhatItTook) {
    Start(kSimCable);
    simulator::SimFt232r& cable = *core_->SimulatedCable();
    simulator::SimChip& chip = *core_->SimulatedChip();
    chip.EraseAll();

    Download();
    EXPECT_EQ(view_.Log.back(), "complete.");
    EXPECT_EQ(view_.Status, "Process finished.");
    EXPECT_TRUE(view_.Errors.empty());
    EXPECT_TRUE(greyedDuringRun_);
    for (const MenuCommandSpec& command : MenuCommandTable())
        EXPECT_TRUE(view_.MenuEnabled.count(command.Id) == 0 || view_.MenuEnabled[command.Id]) << command.Name;
    ASSERT_EQ(view_.ProgressTexts.size(), 2u);
    EXPECT_TRUE(view_.ProgressTexts[0].starts_with("about ")) << view_.ProgressTexts[0];
    EXPECT_TRUE(view_.ProgressTexts[1].starts_with("took ")) << view_.ProgressTexts[1];
    image::THexFile image;
    ASSERT_TRUE(image.LoadFromFile(kExample));
    for (std::int32_t a = 0; a < 0x2008; ++a) {
        if (image.GetWord(a) >= 0) {
            EXPECT_EQ(chip.ReadWord(a), image.GetWord(a)) << a;
        }
    }
    EXPECT_EQ(cable.OpenCount(), 1); // one claim for the press
    EXPECT_FALSE(cable.IsOpen());    // given back after it

    // The first run measured the cable's pace: on the simulated clock the
    // next estimate is what the run then takes.
    Download();
    ASSERT_EQ(view_.ProgressTexts.size(), 4u);
    EXPECT_EQ(view_.ProgressTexts[2].substr(6), view_.ProgressTexts[3].substr(5));

    // Stopped, the text says after how long.
    int pumps = 0;
    onPump_ = [&] {
        if (++pumps == 20)
            view_.Press(C::btnGo);
    };
    Download();
    EXPECT_EQ(view_.Status, "Terminated by user.");
    EXPECT_TRUE(view_.ProgressTexts.back().starts_with("stopped after ")) << view_.ProgressTexts.back();
    onPump_ = nullptr;

    // A cable gone at the start is told as a COM port that has gone: the
    // reason in the log, the box, and no estimate left on the bar.
    const std::size_t logged = view_.Log.size();
    cable.RefuseOpen({ftdi::FtdiProblem::Kind::NotFound, "no such cable"});
    Download();
    EXPECT_EQ(view_.Errors, std::vector<std::string>{"Cannot open serial port."});
    ASSERT_EQ(view_.Log.size(), logged + 1);
    EXPECT_NE(view_.Log.back().find("no such cable"), std::string::npos) << view_.Log.back();
    EXPECT_EQ(view_.ProgressTexts.back(), "");
}

TEST_F(WindowRunTest, ChipReadWrittenToABlankChipReadsBackTheSame) {
    for (const char* port : {kSimCable, "COM0"}) {
        SCOPED_TRACE(port);
        Start(port);
        simulator::SimChip& chip = *core_->SimulatedChip();
        Download(false);
        ASSERT_EQ(view_.Log.back(), "complete.");
        const auto read = [&](const std::string& path) {
            view_.SaveAnswers.push_back(path);
            view_.YesNo = {false}; // load it: no
            core_->MenuChosen(MenuCommand::ReadChip);
            ASSERT_TRUE(view_.Errors.empty());
        };
        const std::string first = dir_ / (std::string(port).substr(0, 4) + "first.hex");
        const std::string second = dir_ / (std::string(port).substr(0, 4) + "second.hex");
        read(first);
        chip.EraseAll();
        view_.Type(C::edtHexFile, first);
        core_->EnterPressed(C::edtHexFile);
        Download(false);
        ASSERT_EQ(view_.Log.back(), "complete.");
        read(second);
        EXPECT_FALSE(Slurp(first).empty());
        EXPECT_EQ(Slurp(first), Slurp(second));
        core_->FormDestroy();
        core_.reset();
    }
}

// The window's core on the real clock, each line call or USB transfer 1 ms:
// run by hand (--gtest_also_run_disabled_tests) to time it.
TEST_F(WindowRunTest, DISABLED_TimeADownloadOnTheRealClock) {
    SetEnv("VANDREL1_SIM_LATENCY", "1000");
    for (const char* port : {kSimCable, "COM0"}) {
        settings_.Values = {{kHexFilePath, kExample}, {kPicDevice, "PIC16F628A"}, {kComPort, port}};
        core_ = std::make_unique<TFormCore>(view_, settings_, RealClock::Instance(),
                                            [this] { return SystemPorts(&cables_); });
        view_.Core = core_.get();
        core_->FormCreate();
        for (C box : {C::cbEraseAll, C::cbWriteAll, C::cbVerifyAll})
            view_.Tick(box, true);
        view_.OnPump = nullptr;
        const auto start = std::chrono::steady_clock::now();
        view_.Press(C::btnGo);
        const double press = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: press %.3f s, bar \"%s\", then \"%s\"\n", port, press,
                    view_.ProgressTexts.size() > 1 ? view_.ProgressTexts[view_.ProgressTexts.size() - 2].c_str() : "",
                    view_.ProgressTexts.empty() ? "" : view_.ProgressTexts.back().c_str());
        EXPECT_EQ(view_.Log.back(), "complete.");
        core_->FormDestroy();
        core_.reset();
    }
    SetEnv("VANDREL1_SIM_LATENCY", nullptr);

    // The plan alone, for each link.
    image::THexFile image;
    ASSERT_TRUE(image.LoadFromFile(kExample));
    programmer::OperationRequest request;
    request.hexPath = kExample;
    using programmer::StepBox;
    request.steps = {StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                     StepBox::WriteConfigurationMemory, StepBox::WriteDataMemory, StepBox::VerifyProgram,
                     StepBox::VerifyConfigurationMemory, StepBox::VerifyDataMemory};
    for (const auto link : {programmer::LinkKind::Ft232r, programmer::LinkKind::PerCall}) {
        const auto start = std::chrono::steady_clock::now();
        const programmer::OperationPlan plan =
            programmer::PlanOperation(device::GetDeviceSpec("PIC16F628A"), image, request, link);
        std::printf("plan %s: %lld waits asked %lld us, elapsed %lld us\n", "", static_cast<long long>(plan.span.Times().waits),
                    static_cast<long long>(plan.span.Times().askedUs), static_cast<long long>(plan.span.Times().elapsedUs));
        std::printf("plan %s: %.3f s (%llu calls, %llu transfers, %llu bytes)\n",
                    link == programmer::LinkKind::Ft232r ? "FT232R" : "per call",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                    static_cast<unsigned long long>(plan.span.Calls()),
                    static_cast<unsigned long long>(plan.span.Transfers()),
                    static_cast<unsigned long long>(plan.span.Bytes()));
    }
}

} // namespace
} // namespace vandrel::form::test
