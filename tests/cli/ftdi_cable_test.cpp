// The commands over an FT232R cable: the simulated one (--simulate with an
// ftdi port) against COM0 on the same chips, the cables of the USB bus as
// the ports command and the port checks see them, the time estimate, and a
// cable that fails before or during a run.
#include <algorithm>
#include <cctype>
#include <regex>

#include "cli/cli_test_env.h"
#include "common/convert.h"
#include "support/ftdi_fake.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

std::string ProgramFor(const std::string& device) {
    if (device == "PIC16F628A")
        return ExampleHex();
    std::string chip = device;
    std::transform(chip.begin(), chip.end(), chip.begin(), [](unsigned char c) { return std::tolower(c); });
    return VANDREL_SOURCE_DIR "/tests/data/programs/" + chip + ".hex";
}

// The lines of standard error that say how long a run took or will take,
// which differ between the links; the rest must not.
Strings WithoutTimes(const std::string& err) {
    Strings kept;
    for (const std::string& line : Lines(err))
        if (line.rfind("about ", 0) != 0 && line.rfind("The run took", 0) != 0)
            kept.push_back(line);
    return kept;
}

class CableRuns : public CliTest {
protected:
    struct Outcome {
        CliResult result;
        std::size_t violations = 0;
    };
    // `args` with the simulated chip of `device` behind `port`, in a state file of the port's own.
    Outcome On(const std::string& port, const std::string& device, Strings args) {
        const std::string state = dir / (port.substr(0, 4) + "-" + device + ".hex");
        Strings full{"--simulate", device, "--sim-state", state, "-p", port};
        full.insert(full.end(), args.begin(), args.end());
        Outcome outcome{Run(full)};
        outcome.violations = Chip() ? Chip()->Violations().size() : 0;
        return outcome;
    }
};

TEST_F(CableRuns, ProgramVerifyReadAndDetectGiveWhatCom0GivesOnEveryFamily) {
    for (const char* name : {"PIC16F628A", "PIC12F675", "PIC16F877A", "PIC16F88", "PIC16F819"}) {
        SCOPED_TRACE(name);
        const std::string hex = ProgramFor(name);
        for (const Strings& command : {Strings{"program", hex}, Strings{"verify", hex}, Strings{"read", "READ"},
                                       Strings{"detect"}}) {
            SCOPED_TRACE(command.front());
            Strings args = command;
            if (command.front() == "read")
                args.back() = dir / "read.hex";
            const Outcome com0 = On("COM0", name, args);
            const auto com0Words = WordsOf(dir / "read.hex");
            const Outcome cable = On("ftdi", name, args);
            ASSERT_EQ(com0.result.status, 0) << com0.result.err;
            EXPECT_EQ(cable.result.status, 0) << cable.result.err;
            EXPECT_EQ(cable.violations, 0u);
            EXPECT_EQ(cable.result.out, com0.result.out);
            Strings expectedErr = WithoutTimes(com0.result.err);
            for (std::string& line : expectedErr)
                if (line.rfind("COM0 (simulated ", 0) == 0)
                    line = "ftdi (simulated FT232R with " + line.substr(16);
            EXPECT_EQ(WithoutTimes(cable.result.err), expectedErr);
            EXPECT_FALSE(Cable() && Cable()->IsOpen());
            // The check and the run share one claim of the cable.
            EXPECT_EQ(Cable()->OpenCount(), 1);
            if (command.front() == "read") {
                EXPECT_EQ(WordsOf(dir / "read.hex"), com0Words);
                EXPECT_GT(com0Words.size(), 10u);
            }
            if (command.front() == "program") {
                EXPECT_NE(cable.result.out.find("complete."), std::string::npos);
            }
        }
    }
}

TEST_F(CableRuns, TheEstimateCountsTransfersAndBytesAndHolds) {
    for (const char* latency : {"1000", "250"}) {
        SCOPED_TRACE(latency);
        const CliResult r = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "-p", "ftdi", "--sim-latency",
                                 latency, "program", ExampleHex()});
        ASSERT_EQ(r.status, 0) << r.err;
        std::smatch m;
        static const std::regex line(R"(about [^:]+: ([0-9,]+) USB transfers × ([0-9.]+) (ms|µs) \+ [0-9,]+ )"
                                     R"(bit-bang bytes × 1\.0 µs \+ [0-9.]+ s of waits)");
        ASSERT_TRUE(std::regex_search(r.err, m, line)) << r.err;
        // Only the transfers that wait are counted; the run's own work while
        // the first of a stream is in flight hides a little of its latency.
        const double perTransferUs = std::stod(m[2]) * (m[3] == "ms" ? 1000.0 : 1.0);
        EXPECT_LE(perTransferUs, 1.05 * std::stod(latency));
        EXPECT_GE(perTransferUs, std::stod(latency) - 150);
        static const std::regex took(R"(The run took ([0-9.]+) s \(estimated ([0-9.]+) s\)\.)");
        ASSERT_TRUE(std::regex_search(r.err, m, took)) << r.err;
        EXPECT_NEAR(std::stod(m[2]), std::stod(m[1]), 0.05 * std::stod(m[1]));
        EXPECT_EQ(Cable()->LatencyTimerMs(), 1);
    }
}

TEST_F(CableRuns, APulledCableOrAShortReadEndsTheRunWithAPortError) {
    struct Case {
        const char* what;
        std::function<void(simulator::SimFt232r&)> fault;
        const char* says;
    };
    const Case cases[] = {
        {"pulled in the check", [](simulator::SimFt232r& c) { c.PullCableAtTransfer(4); }, "the cable is gone"},
        {"pulled while writing", [](simulator::SimFt232r& c) { c.PullCableAtTransfer(60); }, "the cable is gone"},
        {"short read", [](simulator::SimFt232r& c) { c.ShortReadAtTransfer(60, 1); }, "short read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        onCable = c.fault;
        const CliResult r = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "-p", "ftdi", "program",
                                 ExampleHex()});
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.err.find("ftdi (simulated FT232R with PIC16F628A): "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        ASSERT_NE(Cable(), nullptr);
        EXPECT_FALSE(Cable()->IsOpen()) << "the cable is given back";
        EXPECT_TRUE(Chip()->Violations().empty());
    }
}

TEST_F(CableRuns, ACableThatCannotBeOpenedSaysWhatToDo) {
    using Kind = ftdi::FtdiProblem::Kind;
    struct Case {
        Kind kind;
        const char* hint;
    };
    for (const Case& c : {Case{Kind::Permission, "plugdev group"}, Case{Kind::Busy, "another program has the cable"}}) {
        onCable = [&](simulator::SimFt232r& cable) { cable.RefuseOpen({c.kind, "refused"}); };
        const CliResult r = Run({"--simulate", "PIC16F628A", "--sim-state", dir / "s", "-p", "ftdi", "detect"});
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.err.find("ftdi (simulated FT232R with PIC16F628A): refused \u2014 "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.hint), std::string::npos) << r.err;
    }
    onCable = nullptr;
    const CliResult other = Run({"--simulate", "PIC16F628A", "-p", "ftdi:A6008isP", "detect"});
    EXPECT_EQ(other.status, 3);
    EXPECT_NE(other.err.find("ftdi:A6008isP: no such FT232R cable (the simulated one is ftdi:VNDRL1SIM)"),
              std::string::npos)
        << other.err;
}

TEST_F(CableRuns, TheUsbBusCablesAreListedAndCheckedBeforeARun) {
    auto bus = std::make_shared<FakeFtdiBus>();
    bus->cables = {{"A6008isP", "FT232R USB UART", 1, 5, true}, {"", "FT232R USB UART", 3, 9, false}};
    system.UsbBus = bus;
    EXPECT_EQ(Run({"ports"}).out, "ftdi:A6008isP  FT232R USB UART A6008isP, bus 1 device 5\n"
                                  "ftdi:3-9       FT232R USB UART, bus 3 device 9 (no access: see the README's "
                                  "udev rule)\n");

    // The cable without access is refused before anything opens; so is one
    // that is not there, and a serial number nobody can read.
    const CliResult denied = Run({"-p", "ftdi:3-9", "detect"});
    EXPECT_EQ(denied.status, 3);
    EXPECT_NE(denied.err.find("ftdi:3-9 (FT232R USB UART, bus 3 device 9): permission denied \u2014 install the udev"),
              std::string::npos)
        << denied.err;
    const CliResult unread = Run({"-p", "ftdi:B0000001", "detect"});
    EXPECT_NE(unread.err.find("serial numbers cannot be read"), std::string::npos) << unread.err;
    bus->cables.pop_back();
    const CliResult missing = Run({"-p", "ftdi:B0000001", "detect"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("ftdi:B0000001: no such FT232R cable \u2014 is the cable plugged in?"),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(bus->state->opens, 0);

    bus->listProblem = {ftdi::FtdiProblem::Kind::Unavailable, "no libftdi here"};
    const CliResult none = Run({"-p", "ftdi", "detect"});
    EXPECT_EQ(none.status, 3);
    EXPECT_NE(none.err.find("ftdi: no libftdi here"), std::string::npos) << none.err;
    EXPECT_EQ(Run({"ports"}).err, "No COM port found.\n") << "an absent libftdi is no error of the listing";
}

TEST_F(CableRuns, ACableOfTheUsbBusCarriesTheRunLikeTheSimulatedOne) {
    // The bus of the machine, standing in: a simulated FT232R with a chip.
    auto chip = std::make_shared<simulator::SimChip>(ShippedDevice("PIC16F628A"), clock);
    auto cable = std::make_shared<simulator::SimFt232r>(chip, clock);
    system.UsbBus = cable;
    const CliResult r = Run({"-p", std::string("ftdi:") + simulator::kSimFt232rSerial, "detect"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "PIC16F628A revision 0 (device ID 1060)\n");
    EXPECT_FALSE(cable->IsOpen());

    cable->RefuseOpen({ftdi::FtdiProblem::Kind::Busy, "unable to claim usb device"});
    const CliResult busy = Run({"-p", "ftdi", "detect"});
    EXPECT_EQ(busy.status, 3);
    EXPECT_NE(busy.err.find("ftdi (FT232R USB UART (simulated) VNDRL1SIM, bus 0 device 0): unable to claim usb "
                            "device \u2014 another program has the cable open"),
              std::string::npos)
        << busy.err;
}

} // namespace
} // namespace vandrel::test
