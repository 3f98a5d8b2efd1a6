// The ICSP link over the FT232R bit-bang cable against the link over a
// port that makes each call at once: the same line changes reach the chip in
// the same order, CTS is sampled at the same points of every frame, every
// wait is at least what the device file asks, and a cable pulled in the
// middle of a run ends it without a hang.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "programmer/run_plan.h"
#include "programmer/sim_rig.h"
#include "ftdi/ftdi_port_driver.h"
#include "simulator/sim_ft232r.h"
#include "simulator/sim_line_latency.h"
#include "support/modem_lines_fake.h"
#include "support/test_devices.h"

namespace vandrel::test {
namespace {

using programmer::IsClosingStatus;
using programmer::StepBox;
using programmer::TFarmLink;

// Passes every line call on to the chip and keeps the ones that move a line
// (a call that sets a line to the level it has is no edge on the wire); CTS
// may come from a script over the number of changes seen instead of from the
// chip.
class RecordingPeer : public serial::LinePeer {
public:
    explicit RecordingPeer(std::shared_ptr<serial::LinePeer> chip) : chip_(std::move(chip)) {}
    void OnEscape(std::uint32_t function) override {
        using namespace serial::win;
        bool& line = function == SETRTS || function == CLRRTS ? rts_ : dtr_;
        Change(line, function == SETRTS || function == SETDTR, LineCallName(function));
        chip_->OnEscape(function);
    }
    void OnBreak(bool on) override {
        Change(break_, on, on ? "BREAK" : "NOBREAK");
        chip_->OnBreak(on);
    }
    std::uint32_t ModemStatus() override {
        if (cts)
            return cts(seen.size()) ? serial::win::MS_CTS_ON : 0;
        return chip_->ModemStatus();
    }
    std::vector<std::string> seen;
    std::function<bool(std::size_t changes)> cts;

private:
    void Change(bool& line, bool asserted, std::string name) {
        if (line != asserted)
            seen.push_back(std::move(name));
        line = asserted;
    }
    std::shared_ptr<serial::LinePeer> chip_;
    bool rts_ = false, dtr_ = false, break_ = false; // as a port leaves them closed
};

// The operations over one of the two links, each with its own simulated chip.
struct Rig {
    // The FT232R link streams; Ft232rOneAtATime waits for each transfer in turn.
    enum class Link { PerCall, Ft232r, Ft232rOneAtATime };

    Rig(Link link, device::TPicDevice chosen, std::int64_t latencyUs = 1000)
        : device(std::move(chosen)), chip(std::make_shared<simulator::SimChip>(device, clock)),
          peer(std::make_shared<RecordingPeer>(chip)) {
        comm.SetClock(clock);
        comm.SetFlowCtrl(serial::cfcNone);
        host.Port = "COM0";
        if (link == Link::PerCall) {
            port->SetPeer(peer);
            port->SetClock(clock);
            port->SetRecording(false);
            comm.SetDriverFactory(serial::MakeSimPortFactory(port));
        } else {
            cable = std::make_shared<simulator::SimFt232r>(peer, clock, latencyUs);
            ftdi::Ft232rTiming timing;
            timing.stream = link == Link::Ft232r;
            comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(cable, ftdi::FtdiTarget{}, timing));
        }
    }
    ~Rig() { comm.Close(); }

    VirtualClock clock;
    device::TPicDevice device;
    std::shared_ptr<simulator::SimChip> chip;
    std::shared_ptr<RecordingPeer> peer;
    std::shared_ptr<serial::SimPort> port = std::make_shared<serial::SimPort>();
    std::shared_ptr<simulator::SimFt232r> cable;
    image::THexFile image;
    ScriptedHost host{clock};
    serial::TCommX comm;
    programmer::TFarmOperations ops{host, comm, image, device};
};

std::vector<std::int32_t> Memory(const simulator::SimChip& chip) {
    std::vector<std::int32_t> words;
    for (std::int32_t base : {0x0000, 0x2000, 0x2100})
        for (std::int32_t a = base, word; (word = chip.ReadWord(a)) >= 0; ++a)
            words.push_back(word);
    return words;
}

// An image with words in every area (none at a calibration address).
void FillImage(image::THexFile& image, const device::TPicDevice& d) {
    std::mt19937 random(static_cast<std::uint32_t>(d.DeviceIDValue));
    for (std::int32_t a = 0; a < d.ProgramMemory.Size; a += 1 + static_cast<std::int32_t>(random() % 5))
        if (a != d.Algorithm.Calibration.Osccal)
            image.SetWord(a, static_cast<std::int16_t>(random() & 0x3FFF));
    image.SetWord(d.UserID.Address, 0x0005);
    image.SetWord(d.ConfigurationWord.Address, 0x3F30);
    for (std::int32_t a = 0; a < d.DataMemory.Size; a += 3)
        image.SetWord(d.DataMemory.Address + a, static_cast<std::int16_t>(random() & 0xFF));
}

void ProgramAndDump(Rig& rig) {
    FillImage(rig.image, rig.device);
    rig.host.TickAllSteps();
    rig.ops.btnGoClick();
    rig.host.DumpAddress = "0";
    rig.host.DumpSize = "2110";
    rig.ops.btnDumpClick();
}

// Where two sequences of line changes part, with a few changes on each side.
std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    std::string text = " at " + std::to_string(i) + " of " + std::to_string(a.size()) + "/" + std::to_string(b.size());
    for (std::size_t j = i >= 5 ? i - 5 : 0; j < i + 5; ++j)
        text += " " + (j < a.size() ? a[j] : "-") + "|" + (j < b.size() ? b[j] : "-");
    return text;
}

class BothLinks : public ::testing::TestWithParam<const char*> {};

// The streaming FT232R link against the link that makes each call at once:
// the same line changes, log and chip, with few transfers waiting.
TEST_P(BothLinks, TheChipSeesTheSameLineChangesAndTheRunsTheSameWords) {
    const device::TPicDevice device = ShippedDevice(GetParam());
    Rig perCall(Rig::Link::PerCall, device);
    Rig cable(Rig::Link::Ft232r, device);
    ProgramAndDump(perCall);
    ProgramAndDump(cable);

    ASSERT_FALSE(perCall.host.Log.empty());
    EXPECT_EQ(cable.host.Log, perCall.host.Log);
    EXPECT_NE(std::find(cable.host.Log.begin(), cable.host.Log.end(), "complete."), cable.host.Log.end());
    EXPECT_EQ(cable.host.ErrorBoxes, perCall.host.ErrorBoxes);
    EXPECT_TRUE(cable.peer->seen == perCall.peer->seen)
        << "line changes differ" << FirstDifference(cable.peer->seen, perCall.peer->seen);
    EXPECT_GT(cable.peer->seen.size(), 10000u);
    EXPECT_EQ(Memory(*cable.chip), Memory(*perCall.chip));
    EXPECT_TRUE(cable.chip->Violations().empty()) << cable.chip->Violations().front().What;
    EXPECT_TRUE(perCall.chip->Violations().empty());
    EXPECT_FALSE(cable.cable->IsOpen()) << "the cable is given back after each run";
    EXPECT_EQ(cable.cable->OpenCount(), 2);
    // Streamed progress comes later, never less often.
    EXPECT_EQ(cable.host.Statuses.size(), perCall.host.Statuses.size());
    EXPECT_LT(cable.cable->WaitingTransfers() * 10, cable.cable->Transfers());
}

INSTANTIATE_TEST_SUITE_P(Families, BothLinks,
                         ::testing::Values("PIC16F628A", "PIC12F675", "PIC16F877A", "PIC16F88", "PIC16F819"));

TEST(Ft232rLink, CtsIsSampledAtTheSamePointsOfEachFrame) {
    // CTS from a pseudo-random script over the number of line changes the far
    // end has seen: a sample taken one change early or late reads other bits.
    const auto script = [](std::size_t changes) { return ((changes * 2654435761u) >> 7) % 3 == 0; };
    std::vector<std::uint16_t> words[2];
    for (const Rig::Link link : {Rig::Link::PerCall, Rig::Link::Ft232r}) {
        Rig rig(link, Pic16F628A());
        rig.peer->cts = script;
        rig.comm.Open();
        TFarmLink farm(*rig.comm.Driver(), rig.clock);
        farm.FarmReset();
        for (int i = 0; i < 40; ++i) {
            words[link == Rig::Link::Ft232r].push_back(farm.FarmRead(i % 2 ? 0x04 : 0x05));
            farm.FarmWrite(0x06, -1);
        }
        rig.comm.Close();
    }
    EXPECT_EQ(words[1], words[0]);
    EXPECT_GT(std::set<std::uint16_t>(words[0].begin(), words[0].end()).size(), 15u) << "the script varies";
}

TEST(Ft232rLink, AWriteAndItsReadBackTravelInOneTransferWithTheWaitInTheStream) {
    Rig rig(Rig::Link::Ft232r, Pic16F628A());
    rig.comm.Open();
    TFarmLink farm(*rig.comm.Driver(), rig.clock);
    farm.FarmReset();
    farm.FarmWrite(0x06, -1);
    const std::int64_t waited = rig.clock.TotalWaitedMs();
    const std::uint64_t before = rig.cable->Transfers();
    const std::int64_t start = rig.clock.NowUs();
    farm.FarmWrite(0x02, 0x1234);
    farm.FarmWrite(0x08, -1);
    farm.Wait(8);
    EXPECT_EQ(farm.FarmRead(0x04), 0x1234);
    EXPECT_EQ(rig.cable->Transfers(), before + 1);
    // The transfer's latency, the 8 ms in idle bytes, and the frames around them.
    EXPECT_GE(rig.clock.NowUs() - start, 1000 + 8000);
    EXPECT_LT(rig.clock.NowUs() - start, 1000 + 8000 + 400);
    EXPECT_EQ(rig.clock.TotalWaitedMs(), waited) << "nothing waited on the clock";
    EXPECT_TRUE(rig.chip->Violations().empty());
    rig.comm.Close();
}

// The simulated cable seen through a wrapper: it can clock its bytes faster
// than the link asks, and tells after each transfer how it went.
class WrappedCable final : public ftdi::FtdiBus {
public:
    explicit WrappedCable(std::shared_ptr<simulator::SimFt232r> inner) : inner_(std::move(inner)) {}
    int speedUpPercent = 0;
    std::function<void(bool ok)> afterTransfer = [](bool) {};

    std::vector<ftdi::FtdiDeviceInfo> List(ftdi::FtdiProblem& problem) override { return inner_->List(problem); }
    std::unique_ptr<ftdi::FtdiDevice> Open(const ftdi::FtdiTarget& target, ftdi::FtdiProblem& problem) override {
        auto device = std::make_unique<Device>(*this);
        device->inner = inner_->Open(target, problem);
        if (!device->inner)
            return nullptr;
        return device;
    }

private:
    struct Device final : ftdi::FtdiDevice {
        explicit Device(WrappedCable& owner) : owner(owner) {}
        bool SetSyncBitBang(std::uint8_t mask, int bytesPerSecond, int latencyMs,
                            ftdi::FtdiProblem& problem) override {
            return inner->SetSyncBitBang(mask, bytesPerSecond / 100 * (100 + owner.speedUpPercent), latencyMs,
                                         problem);
        }
        bool Exchange(const std::vector<std::uint8_t>& out, std::vector<std::uint8_t>& in,
                      ftdi::FtdiProblem& problem) override {
            const bool ok = inner->Exchange(out, in, problem);
            owner.afterTransfer(ok);
            return ok;
        }
        void Close() override { inner->Close(); }
        WrappedCable& owner;
        std::unique_ptr<ftdi::FtdiDevice> inner;
    };
    std::shared_ptr<simulator::SimFt232r> inner_;
};

TEST(Ft232rLink, AWaitCutShortByAFasterCableIsAViolation) {
    Rig rig(Rig::Link::Ft232r, Pic16F628A());
    auto fast = std::make_shared<WrappedCable>(rig.cable);
    fast->speedUpPercent = 25;
    rig.comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(fast, ftdi::FtdiTarget{}));
    rig.image.SetWord(0, 0x2805);
    rig.host.TickOnly({StepBox::WriteProgram});
    rig.ops.btnGoClick();
    ASSERT_FALSE(rig.chip->Violations().empty());
    EXPECT_NE(rig.chip->Violations().front().What.find("ms into the 8 ms"), std::string::npos)
        << rig.chip->Violations().front().What;
}

TEST(Ft232rLink, APulledCableEndsTheRunAndTheChipIsNotDrivenAgain) {
    const device::TPicDevice small = MidrangeDevice({"PIC16F628A", 64, 16, 0x1060, 8, 8, 10, true});
    std::uint64_t transfers = 0;
    {
        Rig clean(Rig::Link::Ft232r, small);
        FillImage(clean.image, small);
        clean.host.TickAllSteps();
        clean.ops.btnGoClick();
        ASSERT_EQ(clean.host.Log.back(), "complete.");
        transfers = clean.cable->Transfers();
    }
    ASSERT_GT(transfers, 40u);
    for (const std::uint64_t pull : {std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3}, std::uint64_t{40},
                                     transfers / 2, transfers - 1, transfers}) {
        SCOPED_TRACE(pull);
        Rig rig(Rig::Link::Ft232r, small);
        FillImage(rig.image, small);
        rig.host.TickAllSteps();
        auto watched = std::make_shared<WrappedCable>(rig.cable);
        std::size_t changesWhileConnected = 0;
        watched->afterTransfer = [&](bool ok) {
            if (ok)
                changesWhileConnected = rig.peer->seen.size();
        };
        rig.comm.SetDriverFactory(ftdi::MakeFtdiPortFactory(watched, ftdi::FtdiTarget{}));
        rig.cable->PullCableAtTransfer(pull);
        rig.ops.btnGoClick();

        EXPECT_FALSE(rig.cable->IsOpen());
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
        EXPECT_EQ(rig.peer->seen.size(), changesWhileConnected) << "nothing reached the chip after the pull";
        ASSERT_FALSE(rig.host.Log.empty());
        const std::string& last = rig.host.Log.back();
        if (pull == 1) {
            // Pulled before the port was fully open.
            EXPECT_EQ(rig.host.ErrorBoxes, std::vector<std::string>{"Cannot open serial port."});
        } else if (pull == transfers) {
            // The closing line changes were all that was lost.
            EXPECT_EQ(last, "complete.");
        } else {
            // The words it could no longer check are counted, each read as 3FFF.
            EXPECT_NE(last.find(" errors."), std::string::npos) << last;
        }
    }
}


TEST(StreamingLink, AWrongWordIsLoggedAtItsAddressInItsPlace) {
    const device::TPicDevice device = Pic16F628A();
    std::vector<std::string> logs[3];
    for (const Rig::Link link : {Rig::Link::PerCall, Rig::Link::Ft232r, Rig::Link::Ft232rOneAtATime}) {
        Rig rig(link, device);
        for (std::int32_t a = 0; a < 0x800; ++a)
            rig.image.SetWord(a, static_cast<std::int16_t>((a * 7) & 0x3FFF));
        for (std::int32_t a = 0x2100; a < 0x2180; ++a)
            rig.image.SetWord(a, static_cast<std::int16_t>(a & 0xFF));
        for (const std::int32_t a : {0x0003, 0x0400, 0x07FF, 0x2104})
            rig.chip->SetWriteProtected(a);
        rig.host.TickOnly({StepBox::EraseProgram, StepBox::EraseDataMemory, StepBox::WriteProgram,
                           StepBox::WriteDataMemory, StepBox::VerifyProgram, StepBox::VerifyDataMemory});
        rig.ops.btnGoClick();
        logs[static_cast<int>(link)] = rig.host.Log;
    }
    std::vector<std::string> errors;
    for (const std::string& line : logs[1])
        if (line.find(" Error at ") != std::string::npos || line.front() == '<')
            errors.push_back(line);
    EXPECT_EQ(errors, (std::vector<std::string>{"<RESET>",
                                                "<BULK ERASE PROGRAM/CONFIG MEMORY>",
                                                "<RESET>",
                                                "<BULK ERASE DATA MEMORY>",
                                                "<RESET>",
                                                "<LOAD PROGRAM MEMORY>",
                                                "Write Error at [0003]: 0015 -> 3FFF NG",
                                                "Write Error at [0400]: 1C00 -> 3FFF NG",
                                                "Write Error at [07FF]: 37F9 -> 3FFF NG",
                                                "<RESET>",
                                                "<LOAD EEPROM DATA>",
                                                "Write Error at [2104]: 0004 -> 00FF NG",
                                                "<RESET>",
                                                "<VERIFY PROGRAM MEMORY>",
                                                "Verify Error at [0003]: 0015 -> 3FFF NG",
                                                "Verify Error at [0400]: 1C00 -> 3FFF NG",
                                                "Verify Error at [07FF]: 37F9 -> 3FFF NG",
                                                "<RESET>",
                                                "<VERIFY EEPROM DATA>",
                                                "Verify Error at [2104]: 0004 -> 00FF NG"}));
    EXPECT_EQ(logs[1], logs[0]) << "the same log as the link that makes each call at once";
    EXPECT_EQ(logs[1], logs[2]) << "the same log as the link that waits for each transfer";
    EXPECT_EQ(logs[1].back(), "8 errors.");
}

// How a streaming run over a small chip goes when it is clean.
struct CleanRun {
    std::uint64_t transfers = 0;
    std::vector<std::int32_t> memory;
    std::vector<std::string> log;
};

const device::TPicDevice& SmallChip() {
    static const device::TPicDevice small = MidrangeDevice({"PIC16F628A", 64, 16, 0x1060, 8, 8, 10, true});
    return small;
}

// Old contents where the download must erase or overwrite them.
void PrepareDownload(Rig& rig) {
    for (const std::int32_t a : {0x000, 0x004, 0x03F})
        rig.chip->WriteWord(a, 0x1000);
    rig.chip->WriteWord(0x2100, 0x5A);
    FillImage(rig.image, rig.device);
    rig.host.TickAllSteps();
}

void Download(Rig& rig) { rig.ops.btnGoClick(); }

void PrepareDump(Rig& rig) {
    for (std::int32_t a = 0; a < 64; ++a)
        rig.chip->WriteWord(a, static_cast<std::uint16_t>((a * 0x0511) & 0x3FFF));
    rig.chip->WriteWord(0x2007, 0x3F10);
}

void Dump(Rig& rig) {
    for (const auto& [address, size] : {std::pair{"0", "40"}, std::pair{"2000", "8"}}) {
        rig.host.DumpAddress = address;
        rig.host.DumpSize = size;
        rig.ops.btnDumpClick();
    }
}

template <class Prepare, class Operation>
CleanRun RunClean(Prepare prepare, Operation operation) {
    Rig clean(Rig::Link::Ft232r, SmallChip());
    prepare(clean);
    operation(clean);
    return {clean.cable->Transfers(), Memory(*clean.chip), clean.host.Log};
}

TEST(StreamingLink, APulledCableEndsTheRunCleanly) {
    const CleanRun clean = RunClean(PrepareDownload, Download);
    ASSERT_EQ(clean.log.back(), "complete.");
    ASSERT_GT(clean.transfers, 20u);
    for (const std::uint64_t pull : {std::uint64_t{2}, std::uint64_t{3}, clean.transfers / 3, clean.transfers / 2,
                                     clean.transfers - 2, clean.transfers - 1}) {
        SCOPED_TRACE(pull);
        Rig rig(Rig::Link::Ft232r, SmallChip());
        PrepareDownload(rig);
        rig.cable->PullCableAtTransfer(pull);
        Download(rig);
        EXPECT_FALSE(rig.cable->IsOpen());
        EXPECT_EQ(rig.host.LastStatus(), "Process finished.");
        ASSERT_FALSE(rig.host.Log.empty());
        EXPECT_NE(rig.host.Log.back().find(" errors."), std::string::npos) << rig.host.Log.back();
        EXPECT_EQ(rig.cable->Transfers(), pull) << "nothing is sent after the failed transfer";
    }
}

// Every USB transfer of a Download and of a Dump fails once (a short read),
// and, in another run, from then on (the cable pulled): the run never says
// "complete." over a chip that is not the image, a dump never changes the
// chip, and the cable is always given back.
TEST(StreamingLink, AFailedTransferAtAnyPointNeverPassesAWrongChip) {
    struct Operation {
        const char* name;
        void (*prepare)(Rig&);
        void (*run)(Rig&);
        bool reads;
    };
    int points = 0;
    for (const Operation& operation : {Operation{"Download", PrepareDownload, Download, false},
                                       Operation{"Dump", PrepareDump, Dump, true}}) {
        const CleanRun clean = RunClean(operation.prepare, operation.run);
        std::vector<std::int32_t> before;
        {
            Rig fresh(Rig::Link::Ft232r, SmallChip());
            operation.prepare(fresh);
            before = Memory(*fresh.chip);
        }
        for (std::uint64_t nth = 1; nth <= clean.transfers; ++nth) {
            for (const bool pulled : {false, true}) {
                SCOPED_TRACE(std::string(operation.name) + (pulled ? " pulled at " : " short read at ") +
                             std::to_string(nth));
                Rig rig(Rig::Link::Ft232r, SmallChip());
                operation.prepare(rig);
                if (pulled)
                    rig.cable->PullCableAtTransfer(nth);
                else
                    rig.cable->ShortReadAtTransfer(nth, 1);
                operation.run(rig);
                ++points;
                EXPECT_FALSE(rig.cable->IsOpen());
                EXPECT_TRUE(IsClosingStatus(rig.host.LastStatus())) << rig.host.LastStatus();
                if (operation.reads) {
                    EXPECT_EQ(Memory(*rig.chip), before) << "a dump changed the chip";
                } else if (!rig.host.Log.empty() && rig.host.Log.back() == "complete.") {
                    EXPECT_EQ(Memory(*rig.chip), clean.memory) << "complete. over a wrong chip";
                }
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
    std::printf("FT232R streaming campaign: %d failed-transfer points\n", points);
    EXPECT_GT(points, 100);
}


// A pulse maximum against the link's own pace: a per-call link as slow as a
// USB serial cable is refused before the chip is touched; the fast per-call
// link and the FT232R link keep to it, and the chip sees no overlong pulse.
TEST(PulseLimit, ASlowLinkIsRefusedBeforeTheChipIsTouchedAndFastLinksKeepTheMaximum) {
    struct Case {
        const char* device;
        Rig::Link link;
        std::int64_t latencyUs; // per line call (per USB transfer on the FT232R)
        bool refused;
    };
    for (const Case& k : {Case{"PIC16F73", Rig::Link::PerCall, 1000, true},
                          Case{"PIC16F72", Rig::Link::PerCall, 200, true},
                          Case{"PIC16F767", Rig::Link::PerCall, 20, false},
                          Case{"PIC16F72", Rig::Link::PerCall, 0, false},
                          Case{"PIC16F73", Rig::Link::Ft232r, 1000, false},
                          Case{"PIC16F777", Rig::Link::Ft232r, 1000, false}}) {
        SCOPED_TRACE(std::string(k.device) + " at " + std::to_string(k.latencyUs) + " us");
        Rig rig(k.link, ShippedDevice(k.device), k.latencyUs);
        if (k.link == Rig::Link::PerCall)
            rig.port->SetPeer(std::make_shared<simulator::LineLatency>(rig.peer, rig.clock, k.latencyUs));
        rig.chip->WriteWord(0x0005, 0x0000);
        rig.image.SetWord(0x0000, 0x2805);
        rig.image.SetWord(0x2007, 0x3FFA);
        rig.host.TickAllSteps();
        rig.ops.btnGoClick();
        if (k.refused) {
            ASSERT_EQ(rig.host.ErrorBoxes.size(), 1u);
            EXPECT_NE(rig.host.ErrorBoxes[0].find(std::string(k.device) + ": this link ends a programming pulse of "
                                                                          "program memory after "),
                      std::string::npos)
                << rig.host.ErrorBoxes[0];
            EXPECT_NE(rig.host.ErrorBoxes[0].find("Use a faster link: an RS-232 port or the FT232R link."),
                      std::string::npos);
            EXPECT_EQ(rig.chip->ReadWord(0x0005), 0x0000) << "not erased";
            EXPECT_EQ(rig.chip->ReadWord(0x0000), 0x3FFF) << "not written";
        } else {
            EXPECT_TRUE(rig.host.ErrorBoxes.empty()) << rig.host.ErrorBoxes[0];
            EXPECT_EQ(rig.host.Log.back(), "complete.");
            EXPECT_EQ(rig.chip->ReadWord(0x0000), 0x2805);
        }
        for (const auto& v : rig.chip->Violations())
            ADD_FAILURE() << v.What;
    }
}

// A section without the keys runs as before on the slowest link: the
// pulse is too long for the chip, which records it, but nothing refuses.
TEST(PulseLimit, WithoutTheKeysTheRunIsNotChecked) {
    device::TPicDevice d = ShippedDevice("PIC16F73");
    d.Algorithm.Program.MaxPulseUs.reset();
    d.Algorithm.Configuration.MaxPulseUs.reset();
    Rig rig(Rig::Link::PerCall, d);
    rig.port->SetPeer(std::make_shared<simulator::LineLatency>(rig.peer, rig.clock, 1000));
    rig.image.SetWord(0x0000, 0x2805);
    rig.host.TickOnly({programmer::StepBox::WriteProgram});
    rig.ops.btnGoClick();
    EXPECT_TRUE(rig.host.ErrorBoxes.empty());
    ASSERT_FALSE(rig.chip->Violations().empty());
    EXPECT_NE(rig.chip->Violations().front().What.find("maximum"), std::string::npos);
    EXPECT_EQ(rig.chip->ReadWord(0x0000), 0x3FFF) << "the overlong pulse wrote nothing";
}

} // namespace
} // namespace vandrel::test
