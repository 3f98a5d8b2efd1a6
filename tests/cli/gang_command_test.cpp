// program on several simulated adapters at once: each port runs alone, one
// that fails or is pulled mid-run leaves the others to complete, the table
// and the report say which failed, and Ctrl-C stops them all.
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

// The chip behind a simulated port, with something done to it once the
// port's run has made `after` line changes (the check takes a few hundred,
// the example's program run about ten thousand).
class MidRunPeer final : public serial::LinePeer {
public:
    MidRunPeer(std::shared_ptr<simulator::SimChip> chip, int after, std::function<void()> act)
        : chip_(std::move(chip)), left_(after), act_(std::move(act)) {}
    void OnEscape(std::uint32_t function) override {
        if (--left_ == 0)
            act_();
        chip_->OnEscape(function);
    }
    void OnBreak(bool on) override { chip_->OnBreak(on); }
    std::uint32_t ModemStatus() override { return chip_->ModemStatus(); }

private:
    std::shared_ptr<simulator::SimChip> chip_;
    std::atomic<int> left_;
    std::function<void()> act_;
};

// The threads of the process; 0 where they cannot be counted. A thread made
// and joined first lets the sanitizers start their own helpers beforehand.
std::size_t ThreadsOfThisProcess() {
    std::thread([] {}).join();
#ifdef __linux__
    std::error_code ec;
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task", ec);
    return ec ? 0 : static_cast<std::size_t>(std::distance(tasks, std::filesystem::directory_iterator()));
#else
    return 0;
#endif
}

class GangCommand : public CliTest {
protected:
    GangCommand() {
        onParts = [this](const cli::SimulatedParts& parts) {
            std::lock_guard lock(mutex_);
            parts_[parts.portName] = parts;
            // The port holds its peer: the peer holds the port weakly.
            const std::weak_ptr<serial::SimPort> port = parts.port;
            if (const auto act = midRun.find(parts.portName); act != midRun.end())
                parts.port->SetPeer(std::make_shared<MidRunPeer>(
                    parts.chip, act->second.first, [act = act->second.second, chip = parts.chip, port, name = parts.portName] {
                        act({chip, port.lock(), nullptr, name});
                    }));
        };
    }

    CliResult Gang(const Strings& args) {
        Strings all = {"--simulate", "PIC16F628A", "--sim-state", State("gang")};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }
    cli::SimulatedParts Parts(const std::string& port) {
        std::lock_guard lock(mutex_);
        return parts_.at(port);
    }
    // The table's line of a port.
    static std::string Row(const CliResult& r, const std::string& port) {
        for (const std::string& line : Lines(r.out))
            if (line.rfind(port + "  ", 0) == 0)
                return line;
        return "";
    }

    // Port -> (line changes, what happens then), set before the run.
    std::map<std::string, std::pair<int, std::function<void(const cli::SimulatedParts&)>>> midRun;

private:
    std::mutex mutex_;
    std::map<std::string, cli::SimulatedParts> parts_;
};

TEST_F(GangCommand, OneAdapterFailingMidRunLeavesTheOthersCompleteAndTheTableAndReportSayWhichFailed) {
    struct Case {
        const char* what;
        std::function<void(const cli::SimulatedParts&)> act;
        const char* result; // in the table
    };
    const std::vector<Case> cases = {
        {"the chip gone", [](const cli::SimulatedParts& p) { p.chip->SetNoChip(true); }, "errors."},
        {"the adapter pulled",
         [](const cli::SimulatedParts& p) {
             p.port->FailAlways("EscapeCommFunction");
             p.port->FailAlways("GetCommModemStatus");
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string report = dir / "report.json";
        midRun = {{"COM0:2", {5000, c.act}}};
        const std::size_t threadsBefore = ThreadsOfThisProcess();
        const CliResult r = Gang({"-p", "COM0:1,COM0:2", "--port", "COM0:3", "program", "--report", report,
                                  ExampleHex()});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);

        for (const char* port : {"COM0:1", "COM0:3"}) {
            SCOPED_TRACE(port);
            EXPECT_NE(Row(r, port).find("1060 PIC16F628A  complete."), std::string::npos) << r.out;
            EXPECT_NE(r.out.find(std::string("[") + port + "] complete."), std::string::npos) << r.out;
            EXPECT_EQ(Parts(port).chip->ReadWord(0), 0x2805);
            EXPECT_TRUE(Parts(port).chip->Violations().empty());
            EXPECT_FALSE(Parts(port).port->IsOpen());
        }
        const std::string failed = Row(r, "COM0:2");
        EXPECT_EQ(failed.find("complete."), std::string::npos) << r.out;
        EXPECT_NE(failed.find(c.result), std::string::npos) << r.out;
        EXPECT_FALSE(Parts("COM0:2").port->IsOpen());
        EXPECT_NE(r.out.find("2 of 3 chips complete."), std::string::npos) << r.out;

        // Each chip keeps its own state file; the one that failed is not one of them.
        EXPECT_EQ(WordsOf(dir / "gang.state-1.hex").at(0), 0x2805);
        EXPECT_EQ(WordsOf(dir / "gang.state-3.hex").at(0), 0x2805);
        EXPECT_FALSE(std::filesystem::exists(State("gang")));

        std::ifstream in(report);
        const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(json.find("\"complete\":2,\"failed\":1"), std::string::npos) << json;
        EXPECT_NE(json.find("{\"port\":\"COM0:1\",\"result\":\"complete\",\"summary\":\"complete.\""),
                  std::string::npos)
            << json;
        EXPECT_EQ(json.find("{\"port\":\"COM0:2\",\"result\":\"complete\""), std::string::npos) << json;
        EXPECT_NE(json.find("\"deviceId\":4192,\"chip\":\"known\",\"device\":\"PIC16F628A\""), std::string::npos);
    }
}

TEST_F(GangCommand, CtrlCStopsEveryAdapterCleanlyWithStatus130) {
    // Every port is held mid-run until all three are there; the last one in
    // gets the signal, as a user's Ctrl-C reaches whichever thread runs.
    std::mutex mutex;
    std::condition_variable arrived;
    int there = 0;
    const auto interrupt = [&](const cli::SimulatedParts&) {
        std::unique_lock lock(mutex);
        if (++there == 3)
            std::raise(SIGINT);
        arrived.notify_all();
        EXPECT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return there == 3; }));
    };
    for (const char* port : {"COM0:1", "COM0:2", "COM0:3"})
        midRun[port] = {4000, interrupt};
    const std::string report = dir / "report.json";
    const std::size_t threadsBefore = ThreadsOfThisProcess();
    const CliResult r = Gang({"-p", "COM0:1,COM0:2,COM0:3", "program", "--report", report, ExampleHex()});
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore);
    for (const char* port : {"COM0:1", "COM0:2", "COM0:3"}) {
        SCOPED_TRACE(port);
        EXPECT_NE(Row(r, port).find("interrupted"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(std::string("[") + port + "] Terminated by user."), std::string::npos) << r.err;
        EXPECT_FALSE(Parts(port).port->IsOpen()); // the closing steps ran
    }
    std::ifstream in(report);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"complete\":0,\"failed\":3"), std::string::npos) << json;
}

TEST_F(GangCommand, PortsThatCannotRunTogetherAreRefusedBeforeAnyOpens) {
    const std::vector<std::pair<Strings, std::string>> cases = {
        {{"-p", "COM0:1,com0:1", "program", ExampleHex()}, "--port: COM0:1 is given twice"},
        {{"-p", "COM0,ftdi", "program", ExampleHex()}, "COM0 and ftdi would share one simulated chip"},
        {{"-p", "COM0:1,COM0:100", "program", ExampleHex()}, "'COM0:100' is not a port name"},
        {{"-p", "COM0:1,COM0:2", "detect"}, "several ports: detect runs on one"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        const CliResult r = Gang(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // A report that cannot be written is found before the chips are touched.
    const CliResult r = Gang({"-p", "COM0:1,COM0:2", "program", "--report", dir / "no/such/folder/r.json",
                              ExampleHex()});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("r.json: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "gang.state-1.hex"));
}

} // namespace
} // namespace vandrel::test
