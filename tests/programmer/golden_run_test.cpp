// Full programming runs and dumps of the four one-word devices, compared with
// a digest recorded from the run as first built: every line call (split at
// each reset), every wait, every log line, status text and progress maximum.
//
// Regenerate (only when a change of the one-word run is intended):
//   VANDREL_WRITE_GOLDEN=tests/data/golden_runs.txt
//   build/dev/tests/programmer_tests --gtest_filter='GoldenRun.*'
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "programmer/sim_rig.h"
#include "support/modem_lines_fake.h"

namespace vandrel::test {
namespace {

using programmer::StepBox;

// One recorded part of a run: how many items and a 64-bit FNV-1a over their text.
struct Digest {
    std::size_t Count = 0;
    std::uint64_t Hash = 0xcbf29ce484222325ULL;
    void Add(const std::string& item) {
        ++Count;
        for (unsigned char c : item + "\n") {
            Hash ^= c;
            Hash *= 0x100000001b3ULL;
        }
    }
    friend bool operator==(const Digest&, const Digest&) = default;
};

std::string Text(const Digest& d) {
    std::ostringstream out;
    out << d.Count << " " << std::hex << d.Hash;
    return out.str();
}

// Part name -> digest. Line calls come as "calls NN", one part per reset.
using Recording = std::map<std::string, Digest>;

std::string SegmentName(std::size_t index) {
    return std::string(index < 10 ? "calls 0" : "calls ") + std::to_string(index);
}

// The line calls of the owner thread (the port's workers call the driver at
// times of their own), split at every SetCommBreak: each reset starts a segment.
std::vector<Digest> Segments(const std::vector<serial::SimCall>& calls) {
    std::vector<Digest> segments(1);
    for (const auto& call : calls) {
        if (call.Name != "EscapeCommFunction" && call.Name != "GetCommModemStatus" &&
            call.Name != "SetCommBreak" && call.Name != "ClearCommBreak" && call.Name != "CreateFileA" &&
            call.Name != "CloseHandle")
            continue;
        if (call.Name == "SetCommBreak")
            segments.emplace_back();
        segments.back().Add(call.Name + ":" + std::to_string(call.Arg));
    }
    return segments;
}

// The same image shape for every device: program words spread over the whole
// area (one with bit 14 set, one on a cell that will not take it), user IDs,
// the configuration word, and data cells up to the last.
void FillImage(SimRig& rig) {
    const std::int32_t words = rig.device.ProgramMemory.Size;
    for (std::int32_t a = 0; a < words; a += 37)
        rig.image.SetWord(a, static_cast<std::int16_t>((a * 0x1357 + 0x0A5) & 0x3FFF));
    rig.image.SetWord(words - 1, 0x2805);
    rig.image.SetWord(5, 0x4001);
    rig.chip->WriteWord(74, 0x0000);
    rig.chip->SetWriteProtected(74);
    for (std::int32_t a = 0x2000; a < 0x2004; ++a)
        rig.image.SetWord(a, static_cast<std::int16_t>(a - 0x1FFF));
    rig.image.SetWord(0x2007, 0x3F70);
    const std::int32_t cells = rig.device.DataMemory.Size;
    for (std::int32_t a = 0; a < cells; a += 5)
        rig.image.SetWord(0x2100 + a, static_cast<std::int16_t>((a * 7) & 0xFF));
    rig.image.SetWord(0x2100 + cells - 1, 0x5A);
}

std::string Hex(std::int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

// Erase + write + verify of all three areas, then dumps across every area
// boundary of the device.
Recording RecordRun(const device::TPicDevice& device) {
    SimRig rig(device);
    FillImage(rig);
    rig.host.TickAllSteps();
    rig.ops.btnGoClick();

    const std::int32_t words = device.ProgramMemory.Size;
    const std::int32_t cells = device.DataMemory.Size;
    const std::vector<std::pair<std::int32_t, std::int32_t>> dumps = {
        {0, 0x10}, {words - 4, 8}, {0x1FFE, 0xC}, {0x20FE, 6}, {0x2100 + cells - 2, 4}};
    for (const auto& [start, count] : dumps) {
        rig.host.DumpAddress = Hex(start);
        rig.host.DumpSize = Hex(count);
        rig.ops.btnDumpClick();
    }

    Recording r;
    const std::vector<Digest> segments = Segments(rig.port->Calls());
    for (std::size_t i = 0; i < segments.size(); ++i)
        r[SegmentName(i)] = segments[i];
    for (auto w : rig.host.Hooked.Waits)
        r["waits"].Add(std::to_string(w));
    for (const auto& line : rig.host.Log)
        r["log"].Add(line);
    for (const auto& status : rig.host.Statuses)
        r["status"].Add(status);
    for (auto max : rig.host.MaxHistory)
        r["progress"].Add(std::to_string(max));
    return r;
}

const char* const kDevices[] = {"PIC16F84A", "PIC16F627A", "PIC16F628A", "PIC16F648A"};

std::string GoldenPath() { return VANDREL_SOURCE_DIR "/tests/data/golden_runs.txt"; }

// device -> part -> digest
std::map<std::string, Recording> ReadGolden() {
    std::map<std::string, Recording> golden;
    std::ifstream in(GoldenPath());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string device, part, index;
        Digest d;
        fields >> device >> part;
        if (part == "calls") {
            fields >> index;
            part += " " + index;
        }
        fields >> d.Count >> std::hex >> d.Hash;
        golden[device][part] = d;
    }
    return golden;
}

TEST(GoldenRun, WriteWhenAsked) {
    const char* target = std::getenv("VANDREL_WRITE_GOLDEN");
    if (target == nullptr)
        GTEST_SKIP() << "VANDREL_WRITE_GOLDEN not set";
    std::ofstream out(target);
    out << "# Digests of full runs (erase, write, verify all areas) and dumps of the one-word\n"
           "# devices: part, item count, FNV-1a 64 of the items. Written by golden_run_test.cpp.\n";
    for (const char* name : kDevices)
        for (const auto& [part, digest] : RecordRun(ShippedDevice(name)))
            out << name << " " << part << " " << Text(digest) << "\n";
}

void ExpectMatches(const Recording& now, const Recording& then, const std::set<std::string>& except = {}) {
    ASSERT_EQ(now.size(), then.size());
    for (const auto& [part, digest] : then) {
        if (except.count(part) == 0) {
            EXPECT_EQ(Text(now.at(part)), Text(digest)) << part;
        }
    }
}

// The line calls of the link primitives, as the run issues them.
Digest LineCalls(const std::function<void(programmer::TFarmLink&)>& frames) {
    RecordingModemLines lines;
    VirtualClock clock;
    programmer::TFarmLink link(lines, clock);
    frames(link);
    // The port's own names and arguments, as the segments hold them.
    Digest d;
    for (const auto& call : lines.calls) {
        if (call == "BREAK")
            d.Add("SetCommBreak:0");
        else if (call == "NOBREAK")
            d.Add("ClearCommBreak:0");
        else if (call == "STATUS")
            d.Add("GetCommModemStatus:0");
        else
            d.Add("EscapeCommFunction:" + std::to_string(call == "SETRTS" ? 3 : call == "CLRRTS" ? 4 : call == "SETDTR" ? 5 : 6));
    }
    return d;
}

TEST(GoldenRun, OneWordDevicesRunAsFirstBuilt) {
    const auto golden = ReadGolden();
    ASSERT_EQ(golden.size(), 4u) << GoldenPath();
    for (const char* name : kDevices) {
        SCOPED_TRACE(name);
        device::TPicDevice device = ShippedDevice(name);
        // Without its algorithm keys any section runs exactly as first built.
        device.Algorithm = {};
        ExpectMatches(RecordRun(device), golden.at(name));
    }
}

// The shipped sections differ from the one-word run only in their erase
// steps: the 16F84A's gain the code-protect disable, a preload and a trigger
// (its protection keys leave the golden image, CP off, in the usual order);
// the 16F62xA's program erase gains Load Configuration and the preload of
// DS41196G 3.1. Every other call, every line, status and progress maximum stay.
TEST(GoldenRun, ShippedSectionsChangeOnlyInTheirEraseSteps) {
    using programmer::TFarmLink;
    namespace p = programmer;
    const auto eraseFrom = [](std::function<void(TFarmLink&)> frames) {
        return Text(LineCalls([&](TFarmLink& link) {
            link.FarmReset();
            frames(link);
        }));
    };
    const auto golden = ReadGolden();
    for (const char* name : kDevices) {
        SCOPED_TRACE(name);
        const bool f84 = std::string(name) == "PIC16F84A";
        const Recording& then = golden.at(name);
        const Recording now = RecordRun(ShippedDevice(name));
        ExpectMatches(now, then, {"calls 01", "calls 02", "waits"});
        EXPECT_EQ(Text(then.at("calls 01")), eraseFrom([](TFarmLink& link) {
                      link.FarmWrite(p::kBulkEraseProgramMemory, -1);
                  }));
        EXPECT_EQ(Text(now.at("calls 01")), eraseFrom([&](TFarmLink& link) {
                      if (f84) {
                          link.FarmWrite(p::kLoadConfiguration, 0x3FFF);
                          for (int i = 0; i < 7; ++i)
                              link.FarmWrite(p::kIncrementAddress, -1);
                          for (int command : {p::kBulkEraseSetup1, p::kBulkEraseSetup2,
                                              p::kBeginEraseProgrammingCycle, p::kBulkEraseSetup1,
                                              p::kBulkEraseSetup2})
                              link.FarmWrite(command, -1);
                      } else {
                          link.FarmWrite(p::kLoadConfiguration, 0x3FFF);
                      }
                      link.FarmWrite(p::kLoadDataForProgramMemory, 0x3FFF);
                      link.FarmWrite(p::kBulkEraseProgramMemory, -1);
                      if (f84)
                          link.FarmWrite(p::kBeginEraseProgrammingCycle, -1);
                  }));
        EXPECT_EQ(Text(now.at("calls 02")), eraseFrom([&](TFarmLink& link) {
                      if (f84)
                          link.FarmWrite(p::kLoadDataForDataMemory, 0x3FFF);
                      link.FarmWrite(p::kBulkEraseDataMemory, -1);
                      if (f84)
                          link.FarmWrite(p::kBeginEraseProgrammingCycle, -1);
                  }));
        // The code-protect disable waits Tera once more; no other wait changes.
        EXPECT_EQ(now.at("waits").Count, then.at("waits").Count + (f84 ? 1 : 0));
        if (!f84) {
            EXPECT_EQ(Text(now.at("waits")), Text(then.at("waits")));
        }
    }
}

} // namespace
} // namespace vandrel::test
