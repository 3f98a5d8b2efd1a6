// The simulated FT232R: its byte stream as line changes at the far end, the
// read-back one byte behind, the USB timing model, and its faults.
#include "simulator/sim_ft232r.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ftdi/adapter_pins.h"

namespace vandrel::simulator {
namespace {

using ftdi::FtdiProblem;
using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kTxd = 0x01, kRts = 0x04, kCts = 0x08, kDtr = 0x10, kAll = kTxd | kRts | kDtr;

// Records each line change with the clock's time; drives CTS from the
// number of changes it has seen.
class TimedPeer : public serial::LinePeer {
public:
    explicit TimedPeer(Clock& clock) : clock_(clock) {}
    void OnEscape(std::uint32_t function) override { Seen(Name(function)); }
    void OnBreak(bool on) override { Seen(on ? "BREAK" : "NOBREAK"); }
    std::uint32_t ModemStatus() override { return ctsAfter(events.size()) ? serial::win::MS_CTS_ON : 0; }

    std::vector<std::string> events;
    std::vector<std::int64_t> atUs;
    std::function<bool(std::size_t changes)> ctsAfter = [](std::size_t) { return false; };

private:
    static std::string Name(std::uint32_t function) {
        switch (function) {
        case serial::win::SETRTS: return "SETRTS";
        case serial::win::CLRRTS: return "CLRRTS";
        case serial::win::SETDTR: return "SETDTR";
        case serial::win::CLRDTR: return "CLRDTR";
        default: return "?";
        }
    }
    void Seen(std::string name) {
        events.push_back(std::move(name));
        atUs.push_back(clock_.NowUs());
    }
    Clock& clock_;
};

struct CableFixture : ::testing::Test {
    VirtualClock clock;
    std::shared_ptr<TimedPeer> peer = std::make_shared<TimedPeer>(clock);
    SimFt232r cable{peer, clock, 1000};

    std::unique_ptr<ftdi::FtdiDevice> OpenInBitBang(int bytesPerSecond = 1'000'000) {
        FtdiProblem problem;
        auto device = cable.Open({}, problem);
        EXPECT_TRUE(device) << problem.text;
        if (device) {
            EXPECT_TRUE(device->SetSyncBitBang(ftdi::OutputMask(), bytesPerSecond, 1, problem));
        }
        return device;
    }
};

TEST_F(CableFixture, EachByteChangesThePinsOnItsTickAndReadsBackThePinsBeforeIt) {
    auto device = OpenInBitBang(500'000); // 2 us a tick
    // CTS asserted once the far end has seen two changes.
    peer->ctsAfter = [](std::size_t changes) { return changes >= 2; };
    const Bytes out{kAll & ~kTxd, kDtr, kDtr, kDtr, 0, kAll};
    Bytes in;
    FtdiProblem problem;
    const std::int64_t start = clock.NowUs();
    ASSERT_TRUE(device->Exchange(out, in, problem));
    EXPECT_EQ(peer->events, (std::vector<std::string>{"BREAK", "SETRTS", "SETDTR", "NOBREAK", "CLRRTS", "CLRDTR"}))
        << "one change a line, TXD first, then RTS, then DTR";
    // Latency, then byte i at 2i us.
    EXPECT_EQ(peer->atUs, (std::vector<std::int64_t>{start + 1000, start + 1002, start + 1008, start + 1010,
                                                     start + 1010, start + 1010}));
    EXPECT_EQ(clock.NowUs(), start + 1000 + 12);
    // Read-back n: the pins before byte n, CTS (bit 3) low once two changes were seen.
    EXPECT_EQ(in, (Bytes{kAll | kCts, (kAll & ~kTxd) | kCts, kDtr, kDtr, kDtr, 0}));
    EXPECT_EQ(cable.Pins(), kAll);
    EXPECT_EQ(cable.Transfers(), 1u);
    EXPECT_EQ(cable.BytesWritten(), 6u);
}

// Transfers in flight: each one's latency runs from its submission beside
// those before it, and its bytes follow theirs on the wire. Every transfer
// here opens with a change of RTS, so the far end sees when each one starts.
TEST_F(CableFixture, TransfersInFlightOverlapTheirLatencyWithTheBytesBeforeThem) {
    struct Case {
        const char* what;
        std::size_t depth; // in flight at most; the oldest is collected to make room
        std::vector<std::size_t> sizes;
        std::vector<std::int64_t> startsUs; // from the first submission
        std::uint64_t waiting;
    };
    const Case cases[] = {
        {"one at a time: every transfer waits its latency", 1, {100, 100, 100}, {1000, 2100, 3200}, 3},
        {"all in flight: one latency", 4, {100, 100, 100}, {1000, 1100, 1200}, 1},
        {"long transfers hide the next one's latency", 2, {2000, 2000, 2000}, {1000, 3000, 5000}, 1},
        {"short ones do not: the third waits what is left", 2, {300, 300, 300}, {1000, 1300, 2300}, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        VirtualClock clock;
        auto peer = std::make_shared<TimedPeer>(clock);
        SimFt232r cable(peer, clock, 1000);
        FtdiProblem problem;
        auto device = cable.Open({}, problem);
        ASSERT_TRUE(device && device->SetSyncBitBang(ftdi::OutputMask(), 1'000'000, 1, problem));
        const std::int64_t start = clock.NowUs();
        std::vector<std::uint64_t> tickets;
        std::size_t collected = 0;
        Bytes in;
        for (std::size_t i = 0; i < k.sizes.size(); ++i) {
            if (tickets.size() - collected == k.depth) {
                ASSERT_TRUE(device->Collect(tickets[collected++], in, problem));
            }
            tickets.push_back(device->Submit(Bytes(k.sizes[i], i % 2 ? kAll : kAll & ~kRts)));
        }
        EXPECT_TRUE(peer->events.size() <= collected) << "bytes reach the far end when collected";
        while (collected < tickets.size()) {
            ASSERT_TRUE(device->Collect(tickets[collected++], in, problem));
            EXPECT_EQ(in.size(), k.sizes[collected - 1]);
        }
        std::vector<std::int64_t> starts;
        for (const std::int64_t at : peer->atUs)
            starts.push_back(at - start);
        EXPECT_EQ(starts, k.startsUs);
        EXPECT_EQ(clock.NowUs() - start, k.startsUs.back() + static_cast<std::int64_t>(k.sizes.back()));
        EXPECT_EQ(cable.WaitingTransfers(), k.waiting);
        EXPECT_EQ(cable.Transfers(), k.sizes.size());
    }
}

TEST_F(CableFixture, InputPinsIgnoreWhatIsWrittenToThem) {
    auto device = OpenInBitBang();
    Bytes in;
    FtdiProblem problem;
    ASSERT_TRUE(device->Exchange({kAll | kCts | 0xE2}, in, problem));
    EXPECT_TRUE(peer->events.empty());
    EXPECT_EQ(cable.Pins(), kAll);
}

TEST_F(CableFixture, OneOpeningAtATimeAndClosingGivesTheLinesBack) {
    auto device = OpenInBitBang();
    EXPECT_TRUE(cable.IsOpen());
    EXPECT_TRUE(cable.InBitBang());
    EXPECT_EQ(cable.OutputMask(), kAll);
    FtdiProblem problem;
    EXPECT_EQ(cable.Open({}, problem), nullptr);
    EXPECT_EQ(problem.kind, FtdiProblem::Kind::Busy);

    Bytes in;
    ASSERT_TRUE(device->Exchange({kTxd}, in, problem)); // RTS and DTR asserted
    peer->events.clear();
    device->Close();
    EXPECT_EQ(peer->events, (std::vector<std::string>{"CLRRTS", "CLRDTR"}));
    EXPECT_FALSE(cable.IsOpen());
    EXPECT_FALSE(device->Exchange({kTxd}, in, problem));
    device->Close(); // twice is harmless
    EXPECT_EQ(cable.OpenCount(), 1);
    EXPECT_NE(cable.Open({}, problem), nullptr) << "free again";
}

TEST_F(CableFixture, FindsItsCableBySerialOrBusAddressOnly) {
    FtdiProblem problem;
    ASSERT_EQ(cable.List(problem).size(), 1u);
    EXPECT_EQ(cable.List(problem)[0].serial, kSimFt232rSerial);
    for (const char* name : {"ftdi:OTHER", "ftdi:1-1"}) {
        EXPECT_EQ(cable.Open(*ftdi::ParseFtdiPortName(name), problem), nullptr) << name;
        EXPECT_EQ(problem.kind, FtdiProblem::Kind::NotFound);
    }
    EXPECT_NE(cable.Open(*ftdi::ParseFtdiPortName(std::string("ftdi:") + kSimFt232rSerial), problem), nullptr);
}

TEST_F(CableFixture, APulledCableFailsThatTransferAndIsGoneFromTheBus) {
    auto device = OpenInBitBang();
    cable.PullCableAtTransfer(2);
    Bytes in;
    FtdiProblem problem;
    ASSERT_TRUE(device->Exchange({kTxd}, in, problem));
    peer->events.clear();
    EXPECT_FALSE(device->Exchange({kAll, kAll & ~kRts}, in, problem));
    EXPECT_EQ(problem.kind, FtdiProblem::Kind::Transfer);
    EXPECT_TRUE(peer->events.empty()) << "nothing of that transfer reached the chip";
    EXPECT_TRUE(cable.List(problem).empty());
    device->Close();
    EXPECT_EQ(cable.Open({}, problem), nullptr);
    EXPECT_EQ(problem.kind, FtdiProblem::Kind::NotFound);
}

TEST_F(CableFixture, AShortReadBringsBackFewerBytesThanWritten) {
    auto device = OpenInBitBang();
    cable.ShortReadAtTransfer(1, 3);
    Bytes in;
    FtdiProblem problem;
    ASSERT_TRUE(device->Exchange(Bytes(10, kAll), in, problem));
    EXPECT_EQ(in.size(), 7u);
    ASSERT_TRUE(device->Exchange(Bytes(10, kAll), in, problem));
    EXPECT_EQ(in.size(), 10u);
}

TEST_F(CableFixture, ARefusedOpeningSaysWhyUntilItIsLifted) {
    cable.RefuseOpen({FtdiProblem::Kind::Permission, "inappropriate permissions on device!"});
    FtdiProblem problem;
    EXPECT_EQ(cable.Open({}, problem), nullptr);
    EXPECT_EQ(problem.kind, FtdiProblem::Kind::Permission);
    cable.RefuseOpen({});
    EXPECT_NE(cable.Open({}, problem), nullptr);
}

} // namespace
} // namespace vandrel::simulator
