// The FT232R bit-bang link below the ICSP link: the pin table, the byte
// stream and its read-back, the batching of line changes into transfers,
// the waits in the stream, and what a failed transfer does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ftdi/adapter_pins.h"
#include "ftdi/ft232r_lines.h"
#include "ftdi/ft232r_stream.h"
#include "support/ftdi_fake.h"

namespace vandrel::ftdi {
namespace {

using namespace serial;

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kTxd = 0x01, kRts = 0x04, kCts = 0x08, kDtr = 0x10;

TEST(AdapterPins, EachPortOperationDrivesItsFt232rPinLowWhileAsserted) {
    EXPECT_EQ(OutputMask(), kTxd | kRts | kDtr);
    EXPECT_EQ(kReleasedPins, kTxd | kRts | kDtr); // break off, RTS and DTR released: all high

    struct Row {
        std::uint32_t function;
        std::uint8_t bit;
        bool pinHigh;
    };
    for (const Row& row : {Row{win::SETRTS, kRts, false}, Row{win::CLRRTS, kRts, true},
                           Row{win::SETDTR, kDtr, false}, Row{win::CLRDTR, kDtr, true}}) {
        SCOPED_TRACE(row.function);
        AdapterLine line{};
        bool asserted = false;
        ASSERT_TRUE(LineOfEscape(row.function, line, asserted));
        for (const std::uint8_t before : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
            const std::uint8_t after = WithLine(before, line, asserted);
            EXPECT_EQ((after & row.bit) != 0, row.pinHigh);
            EXPECT_EQ(after & ~row.bit, before & ~row.bit) << "no other pin moves";
            EXPECT_EQ(IsAsserted(after, line), asserted);
        }
    }
    // The break holds TXD low; CTS# low reads as MS_CTS_ON (a 0 bit from the chip).
    EXPECT_EQ(WithLine(0xFF, AdapterLine::Txd, true), 0xFF & ~kTxd);
    EXPECT_EQ(WithLine(0x00, AdapterLine::Txd, false), kTxd);
    EXPECT_EQ(ModemStatusOfPins(0xFF & ~kCts), win::MS_CTS_ON);
    EXPECT_EQ(ModemStatusOfPins(kCts), 0u);
    AdapterLine line{};
    bool asserted = false;
    EXPECT_FALSE(LineOfEscape(7, line, asserted)) << "SETXON and friends are no line of ours";
}

TEST(Ft232rStream, OneBytePerCallAndASampleReadsTheByteAfterIt) {
    Ft232rStream stream;
    stream.Set(AdapterLine::Txd, true);  // break on
    stream.Set(AdapterLine::Rts, true);  // SETRTS
    stream.Set(AdapterLine::Rts, true);  // again: a byte all the same
    stream.Sample();                     // read back with byte 3
    stream.Set(AdapterLine::Rts, false); // CLRRTS
    stream.Hold(2);
    stream.Sample(); // nothing after it: a repeating byte is added
    const Ft232rStream::Batch batch = stream.Take();
    const std::uint8_t low = kDtr;
    EXPECT_EQ(batch.bytes, (Bytes{kRts | kDtr, low, low, kRts | kDtr, kRts | kDtr, kRts | kDtr, kRts | kDtr}));
    EXPECT_EQ(batch.samples, (std::vector<std::size_t>{3, 6}));
    EXPECT_TRUE(stream.Empty());
    EXPECT_EQ(stream.Take().bytes, Bytes{});
}

TEST(Ft232rTiming, IdleBytesNeverFallShortOfTheWait) {
    Ft232rTiming timing;
    timing.bytesPerSecond = 1'000'000;
    EXPECT_EQ(timing.IdleBytes(8), 8000u);
    EXPECT_EQ(timing.IdleBytes(0), 0u);
    EXPECT_EQ(timing.IdleBytes(-1), 0u);
    timing.bytesPerSecond = 300'001; // 300.001 bytes per ms: 3 ms need 900.003, so 901
    EXPECT_EQ(timing.IdleBytes(3), 901u);
}

struct LinesFixture : ::testing::Test {
    std::shared_ptr<test::FakeFtdiState> state = std::make_shared<test::FakeFtdiState>();
    test::FakeFtdiDevice device{state};
    Ft232rTiming timing;
    VirtualClock clock;

    LinesFixture() { state->mask = OutputMask(); }

    // One read cycle as the ICSP link clocks it: clock high, clock low, sample.
    static void ReadCycle(Ft232rLines& lines) {
        lines.EscapeCommFunction(win::CLRRTS);
        lines.EscapeCommFunction(win::SETRTS);
        lines.SampleModemStatus();
    }
};

TEST_F(LinesFixture, LineChangesWaitForAResultAndSamplesReadThePinsAfterEachFallingEdge) {
    Ft232rLines lines(device, timing);
    // CTS asserted at the read-back of bytes 2 and 10 of the stream only.
    state->cts = [](std::size_t n) { return n == 2 || n == 10; };
    for (int i = 0; i < 5; ++i)
        ReadCycle(lines);
    EXPECT_TRUE(state->transfers.empty()) << "nothing needed a result yet";

    std::vector<StatusSample> samples;
    ASSERT_TRUE(lines.CollectSamples(samples));
    ASSERT_EQ(state->transfers.size(), 1u);
    // Ten line changes and one byte after the last falling edge to read it.
    EXPECT_EQ(state->transfers[0].size(), 11u);
    // Sample k is read back with byte 2k+2, the one after the kth SETRTS.
    const std::vector<StatusSample> expected{
        {true, win::MS_CTS_ON}, {true, 0}, {true, 0}, {true, 0}, {true, win::MS_CTS_ON}};
    EXPECT_EQ(samples, expected);
    // The clock rests low between frames: the repeated byte is RTS asserted.
    EXPECT_EQ(state->transfers[0].back() & kRts, 0);

    ASSERT_TRUE(lines.CollectSamples(samples));
    EXPECT_TRUE(samples.empty());
    EXPECT_EQ(state->transfers.size(), 1u) << "no transfer without anything to send";
    EXPECT_EQ(lines.Transfers(), 1u);
    EXPECT_EQ(lines.BytesSent(), 11u);
}

TEST_F(LinesFixture, ShortWaitsTravelAsIdleBytesLongOnesAreFlushedAndWaitedOnTheClock) {
    timing.bytesPerSecond = 250'000; // 4 us a byte
    timing.maxStreamWaitMs = 20;
    Ft232rLines lines(device, timing);
    lines.SetCommBreak();
    ASSERT_TRUE(lines.Pause(clock, 20));
    lines.ClearCommBreak();
    EXPECT_TRUE(state->transfers.empty());
    EXPECT_EQ(clock.TotalWaitedMs(), 0);
    ASSERT_TRUE(lines.Flush());
    ASSERT_EQ(state->transfers.size(), 1u);
    const Bytes& stream = state->transfers[0];
    ASSERT_EQ(stream.size(), 1u + 5000u + 1u);
    EXPECT_TRUE(std::all_of(stream.begin() + 1, stream.end() - 1, [](std::uint8_t b) { return (b & kTxd) == 0; }))
        << "the break holds through the idle bytes";
    EXPECT_EQ(stream.back() & kTxd, kTxd);

    // A wait longer than the stream takes: what is batched goes first, then the clock.
    lines.SetCommBreak();
    ASSERT_TRUE(lines.Pause(clock, 21));
    EXPECT_EQ(state->transfers.size(), 2u);
    EXPECT_EQ(state->transfers[1], Bytes{kRts | kDtr});
    EXPECT_EQ(clock.TotalWaitedMs(), 21);

    // The pause after End Programming: microseconds, rounded up to whole bytes.
    ASSERT_TRUE(lines.PauseUs(clock, 101));
    lines.ClearCommBreak();
    ASSERT_TRUE(lines.Flush());
    ASSERT_EQ(state->transfers.size(), 3u);
    EXPECT_EQ(state->transfers[2].size(), 26u + 1u);
    EXPECT_EQ(clock.TotalWaitedMs(), 21);
}

TEST_F(LinesFixture, ALongStreamGoesInSeveralTransfersWithItsSamplesInPlace) {
    timing.maxTransferBytes = 8;
    Ft232rLines lines(device, timing);
    state->cts = [](std::size_t n) { return n % 2 == 0; };
    for (int i = 0; i < 6; ++i)
        ReadCycle(lines); // 12 changes: the first 8 go as soon as they are there
    EXPECT_EQ(state->transfers.size(), 1u);
    std::vector<StatusSample> samples;
    ASSERT_TRUE(lines.CollectSamples(samples));
    ASSERT_EQ(state->transfers.size(), 2u);
    EXPECT_EQ(state->transfers[1].size(), 5u);
    ASSERT_EQ(samples.size(), 6u);
    for (const StatusSample& sample : samples)
        EXPECT_EQ(sample, (StatusSample{true, win::MS_CTS_ON})) << "every sample is an even byte of the stream";
}

TEST_F(LinesFixture, AFailedOrShortTransferEndsTheLinkForGood) {
    for (const bool shortRead : {false, true}) {
        SCOPED_TRACE(shortRead);
        auto failing = std::make_shared<test::FakeFtdiState>();
        failing->mask = OutputMask();
        (shortRead ? failing->shortTransfer : failing->failTransfer) = 2;
        test::FakeFtdiDevice cable(failing);
        Ft232rLines lines(cable, timing);
        std::vector<StatusSample> samples;
        ReadCycle(lines);
        ASSERT_TRUE(lines.CollectSamples(samples));
        ReadCycle(lines);
        EXPECT_FALSE(lines.CollectSamples(samples));
        EXPECT_TRUE(samples.empty());
        EXPECT_EQ(lines.Problem().kind, FtdiProblem::Kind::Transfer);
        if (shortRead) {
            EXPECT_NE(lines.Problem().text.find("short read"), std::string::npos) << lines.Problem().text;
        }

        // Nothing is driven any more, and nothing is waited through the lines.
        EXPECT_FALSE(lines.EscapeCommFunction(win::CLRRTS));
        EXPECT_FALSE(lines.SetCommBreak());
        EXPECT_FALSE(lines.Flush());
        EXPECT_FALSE(lines.Pause(clock, 100));
        std::uint32_t status = 0;
        EXPECT_FALSE(lines.GetCommModemStatus(status));
        EXPECT_EQ(failing->transfers.size(), 2u);
        EXPECT_EQ(clock.TotalWaitedMs(), 0);
    }
}

// Streaming: a stream goes once it holds the latency's worth of bytes, up to
// four transfers are in flight before the oldest is collected, the samples
// come back in order, and a failed transfer still hands over what came back
// before it.
TEST_F(LinesFixture, StreamedSamplesComeBackInOrderAndAFailureKeepsWhatCameBefore) {
    // CTS on every third byte of the whole stream: the samples tell the frames apart.
    state->cts = [](std::size_t n) { return n % 3 == 0; };
    struct Run {
        std::vector<std::size_t> handed; // samples handed over after each frame
        std::vector<StatusSample> samples;
        bool ok = true;
        std::size_t transfers = 0;
    };
    const auto run = [&](int shortTransfer) {
        *state = test::FakeFtdiState{};
        state->mask = OutputMask();
        state->cts = [](std::size_t n) { return n % 3 == 0; };
        state->shortTransfer = shortTransfer;
        Ft232rLines lines(device, timing);
        Run result;
        for (int frame = 0; frame < 24 && result.ok; ++frame) {
            lines.PauseUs(clock, 300); // 300 idle bytes
            ReadCycle(lines);
            std::vector<StatusSample> got;
            result.ok = lines.TakeSamples(got, false);
            result.samples.insert(result.samples.end(), got.begin(), got.end());
            result.handed.push_back(result.samples.size());
        }
        std::vector<StatusSample> rest;
        result.ok = lines.TakeSamples(rest, true) && result.ok;
        result.samples.insert(result.samples.end(), rest.begin(), rest.end());
        result.transfers = state->transfers.size();
        return result;
    };

    const Run clean = run(0);
    ASSERT_TRUE(clean.ok);
    // A transfer every fourth frame (4 x 302 bytes); the first is collected
    // when the fifth goes, the second when the sixth does.
    std::vector<std::size_t> handed(24, 0);
    std::fill(handed.begin() + 19, handed.end() - 1, 4u);
    handed.back() = 8;
    EXPECT_EQ(clean.handed, handed);
    EXPECT_EQ(clean.transfers, 6u);
    ASSERT_EQ(clean.samples.size(), 24u);
    EXPECT_EQ(std::count(clean.samples.begin(), clean.samples.end(), StatusSample{true, win::MS_CTS_ON}), 6)
        << "CTS read where the script drives it";
    const Run broken = run(2);
    EXPECT_FALSE(broken.ok);
    EXPECT_EQ(broken.samples, std::vector<StatusSample>(clean.samples.begin(), clean.samples.begin() + 4))
        << "the first transfer's samples still count";
    EXPECT_EQ(broken.transfers, 5u) << "the second failed as the sixth was to go: nothing more is sent";
}

TEST_F(LinesFixture, ADirectStatusQuerySendsTheBatchAndReadsThePinsAfterIt) {
    Ft232rLines lines(device, timing);
    state->cts = [](std::size_t n) { return n == 1; };
    lines.EscapeCommFunction(win::SETDTR);
    std::uint32_t status = 0;
    ASSERT_TRUE(lines.GetCommModemStatus(status));
    EXPECT_EQ(status, win::MS_CTS_ON);
    EXPECT_EQ(state->transfers, (std::vector<Bytes>{{kTxd | kRts, kTxd | kRts}}));
}

TEST(FtdiPortName, NamesTheFirstCableASerialNumberOrABusAndAddress) {
    using Kind = FtdiTarget::Kind;
    struct Row {
        const char* text;
        bool valid;
        Kind kind;
        const char* serial;
        int bus, address;
        const char* canonical;
    };
    const Row rows[] = {
        {"ftdi", true, Kind::First, "", 0, 0, "ftdi"},
        {"FTDI", true, Kind::First, "", 0, 0, "ftdi"},
        {"ftdi:A6008isP", true, Kind::Serial, "A6008isP", 0, 0, "ftdi:A6008isP"},
        {"ftdi:3-7", true, Kind::BusAddress, "", 3, 7, "ftdi:3-7"},
        {"ftdi:003-012", true, Kind::BusAddress, "", 3, 12, "ftdi:3-12"},
        {"ftdi:3-", true, Kind::Serial, "3-", 0, 0, "ftdi:3-"},
        {"ftdi:1234-5", true, Kind::Serial, "1234-5", 0, 0, "ftdi:1234-5"},
        {"ftdi:", false, Kind::First, "", 0, 0, ""},
        {"ftdi0", false, Kind::First, "", 0, 0, ""},
        {"COM3", false, Kind::First, "", 0, 0, ""},
        {"", false, Kind::First, "", 0, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::optional<FtdiTarget> target = ParseFtdiPortName(row.text);
        ASSERT_EQ(target.has_value(), row.valid);
        if (!target)
            continue;
        EXPECT_EQ(target->kind, row.kind);
        EXPECT_EQ(target->serial, row.serial);
        EXPECT_EQ(target->bus, row.bus);
        EXPECT_EQ(target->address, row.address);
        EXPECT_EQ(FtdiPortName(*target), row.canonical);
    }
    const FtdiDeviceInfo cable{"A6008isP", "FT232R USB UART", 3, 7, true};
    EXPECT_TRUE(cable.Matches(*ParseFtdiPortName("ftdi")));
    EXPECT_TRUE(cable.Matches(*ParseFtdiPortName("ftdi:A6008isP")));
    EXPECT_TRUE(cable.Matches(*ParseFtdiPortName("ftdi:3-7")));
    EXPECT_FALSE(cable.Matches(*ParseFtdiPortName("ftdi:a6008isp"))) << "serial numbers are exact";
    EXPECT_FALSE(cable.Matches(*ParseFtdiPortName("ftdi:3-8")));
    EXPECT_FALSE(FtdiDeviceInfo{}.Matches(*ParseFtdiPortName("ftdi:x"))) << "an unread serial matches none";
}

} // namespace
} // namespace vandrel::ftdi
