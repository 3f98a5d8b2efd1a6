// blank-check, program --skip-same and --json on the simulated chip: what
// each reports of the chip, the programming cycles a second run spares, and
// the separation of the JSON document from the log.
#include <regex>

#include "cli/cli_test_env.h"
#include "cli/json_writer.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

std::string TestProgram(const std::string& chip) {
    return std::string(VANDREL_SOURCE_DIR) + "/tests/data/programs/" + chip + ".hex";
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class InspectCommands : public CliTest {
protected:
    CliResult Sim(const std::string& device, Strings args) {
        Strings all = {"--simulate", device, "--sim-state", State(device)};
        all.insert(all.end(), args.begin(), args.end());
        return Run(all);
    }
};

TEST_F(InspectCommands, BlankCheckFindsTheFirstWordLeftOfEachAreaAndIgnoresTheChipsCalibration) {
    struct Case {
        std::string device, hex;
        std::string programmed; // the first row that is not blank after program
    };
    const std::vector<Case> cases = {
        {"PIC16F877A", TestProgram("pic16f877a"), "program memory  0000-1FFF  not blank: 0000 reads "},
        {"PIC16F88", TestProgram("pic16f88"), "program memory  0000-0FFF  not blank: 0000 reads "},
        // OSCCAL (03FF) and the bandgap bits are the chip's own: an erased 12F629 is blank.
        {"PIC12F629", TestProgram("pic12f629"), "program memory  0000-03FF  not blank: 0000 reads "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const CliResult fresh = Sim(c.device, {"blank-check"});
        EXPECT_EQ(fresh.status, 0) << fresh.err;
        EXPECT_EQ(Lines(fresh.out).back(), "The chip is blank.");
        EXPECT_FALSE(Has(fresh.out, "<RESET>")) << "the log goes to standard error";

        ASSERT_EQ(Sim(c.device, {"program", c.hex}).status, 0);
        const CliResult programmed = Sim(c.device, {"blank-check"});
        EXPECT_EQ(programmed.status, 1);
        EXPECT_EQ(Lines(programmed.out).front().rfind(c.programmed, 0), 0u) << programmed.out;
        EXPECT_EQ(Lines(programmed.out).back(), "The chip is not blank.");

        ASSERT_EQ(Sim(c.device, {"erase"}).status, 0);
        const CliResult erased = Sim(c.device, {"blank-check"});
        EXPECT_EQ(erased.status, 0) << erased.out;
        EXPECT_EQ(c.device == "PIC12F629", Has(erased.err, "OSCCAL (03FF) and the bandgap bits 3000 of 2007: "
                                                           "the chip's own calibration, not counted"))
            << erased.err;
        EXPECT_FALSE(Chip()->CalibrationLost());
    }
}

TEST_F(InspectCommands, BlankCheckSaysWhatABulkEraseLeavesAndReadsOnlyTheAreasChosen) {
    // The 16F628A's erase starts in the configuration area: it takes the user IDs and
    // the configuration word along, and the chip is blank.
    ASSERT_EQ(Sim("PIC16F628A", {"program", ExampleHex()}).status, 0);
    ASSERT_EQ(Sim("PIC16F628A", {"erase"}).status, 0);
    // With --device auto the chip's ID names the device, as for every command that reads a chip.
    for (const char* command : {"blank-check", "config"}) {
        const CliResult autoDevice = Sim("PIC16F628A", {"-d", "auto", command});
        EXPECT_EQ(autoDevice.status, 0) << autoDevice.err;
        EXPECT_NE(autoDevice.err.find("taken for --device auto"), std::string::npos) << autoDevice.err;
    }
    const CliResult erased = Sim("PIC16F628A", {"blank-check"});
    EXPECT_EQ(erased.status, 0) << erased.err;
    EXPECT_EQ(Lines(erased.out).back(), "The chip is blank.");

    // Words left in the ID and configuration areas are named, the first of each.
    onSimulator = [](simulator::SimChip& chip) {
        for (std::int32_t a = 0x2000; a < 0x2004; ++a)
            chip.WriteWord(a, static_cast<std::uint16_t>((a - 0x2000) * 3 + 1));
        chip.WriteWord(0x2007, 0x3F70);
    };
    const CliResult all = Sim("PIC16F628A", {"blank-check"});
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(Lines(all.out), (Strings{
                                  "program memory  0000-07FF  blank",
                                  "user IDs        2000-2003  not blank: 2000 reads 0001, erased 3FFF (4 words not blank)",
                                  "configuration   2007       not blank: 2007 reads 3F70, erased 3FFF (1 word not blank)",
                                  "data EEPROM     2100-217F  blank",
                                  "The chip is not blank.",
                              }));
    const CliResult chosen = Sim("PIC16F628A", {"blank-check", "--area", "program,data"});
    EXPECT_EQ(chosen.status, 0) << chosen.out;
    EXPECT_EQ(Lines(chosen.out).size(), 3u);

    const CliResult json = Sim("PIC16F628A", {"--json", "blank-check"});
    EXPECT_EQ(json.status, 1);
    EXPECT_TRUE(Has(json.out, R"({"area":"config","first":8199,"last":8199,"blank":false,"notBlankWords":1,)"
                              R"("firstNotBlank":{"address":8199,"value":16240,"erased":16383}})"))
        << json.out;
}

TEST_F(InspectCommands, SkipSameWritesNothingWhenTheChipAlreadyHoldsTheFile) {
    struct Case {
        std::string what;
        Strings args;
        std::function<void(simulator::SimChip&)> change; // to the chip before the run
        bool skips;
    };
    // Gaps at 0001-000F and 2101-2102.
    const std::string hex =
        dir.Write("gaps.hex", HexOf({{0x0000, 0x2805}, {0x0010, 0x0008}, {0x2007, 0x3F70}, {0x2100, 0x12}, {0x2103, 0x34}}));
    const auto set = [](std::int32_t address, std::uint16_t value) {
        return [=](simulator::SimChip& chip) { chip.WriteWord(address, value); };
    };
    const std::vector<Case> cases = {
        {"the same chip", {}, nullptr, true},
        {"a program word of the file changed", {}, set(0x0010, 0x0009), false},
        {"an EEPROM byte changed", {}, set(0x2103, 0x00), false},
        {"configuration bits changed", {}, set(0x2007, 0x3F74), false},
        // The erase would clear a word the file leaves out; without the erase it stays.
        {"a word in a gap of the file", {}, set(0x0005, 0x1234), false},
        {"a byte in a gap of the file", {}, set(0x2101, 0x00), false},
        {"a word in a gap, no erase", {"--no-erase"}, set(0x0005, 0x1234), true},
        // Past the file's last word nothing is read.
        {"a word past the file", {}, set(0x0700, 0x1234), true},
        {"only the data area", {"--area", "data"}, set(0x0010, 0), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(State("PIC16F628A"));
        onSimulator = nullptr;
        ASSERT_EQ(Sim("PIC16F628A", {"program", hex}).status, 0);
        EXPECT_GT(Chip()->CyclesBegun(), 0u);
        onSimulator = [&](simulator::SimChip& chip) {
            if (c.change)
                c.change(chip);
        };
        Strings args = {"program", "--skip-same"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(hex);
        const CliResult r = Sim("PIC16F628A", args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Has(r.err, "The chip already holds " + hex + ": nothing written (--skip-same)."), c.skips)
            << r.err;
        EXPECT_EQ(Chip()->CyclesBegun() == 0, c.skips) << Chip()->CyclesBegun();
        if (!c.skips) {
            EXPECT_TRUE(Has(r.err, "The chip differs from " + hex + " from ")) << r.err;
            EXPECT_EQ(Lines(r.out).back(), "complete.");
        }
    }
}

TEST_F(InspectCommands, JsonGoesAloneToStandardOutputAndDetectRefusesAnotherChip) {
    const CliResult program = Sim("PIC16F628A", {"--json", "program", ExampleHex()});
    EXPECT_EQ(program.status, 0);
    EXPECT_EQ(Lines(program.out),
              Strings{R"({"command":"program","device":"PIC16F628A","file":")" + ExampleHex() +
                      R"(","result":"complete","errors":0,"errorLines":[]})"});
    EXPECT_TRUE(Has(program.err, "<VERIFY EEPROM DATA>\ncomplete.\n")) << program.err;

    onSimulator = [](simulator::SimChip& chip) { chip.WriteWord(0x0000, 0x0000); };
    const CliResult verify = Sim("PIC16F628A", {"--json", "verify", "--area", "program", ExampleHex()});
    EXPECT_EQ(verify.status, 1);
    EXPECT_TRUE(Has(verify.out, R"("result":"errors","errors":1,"errorLines":["Verify Error at [0000]: 2805 -> 0000 NG"])"))
        << verify.out;
    onSimulator = nullptr;

    struct Case {
        Strings args;
        int status;
        std::string out;
    };
    const std::vector<Case> cases = {
        {{"detect"}, 0, "PIC16F628A revision 0 (device ID 1060)\n"},
        {{"-d", "PIC16F84A", "detect"}, 1, "PIC16F628A revision 0 (device ID 1060)\n"},
        {{"-d", "PIC16F84A", "--json", "detect"},
         1,
         R"j({"port":"COM0 (simulated PIC16F628A)","deviceId":4192,"chip":"known",)j"
         R"j("description":"PIC16F628A revision 0 (device ID 1060)","device":"PIC16F628A","revision":0,)j"
         R"("expected":"PIC16F84A","matches":false})"
         "\n"},
        {{"--json", "ports"},
         0,
         R"j({"ports":[{"name":"COM0","description":"simulated PIC16F628A"},)j"
         R"j({"name":"ftdi:VNDRL1SIM","description":"simulated FT232R with PIC16F628A"}]})j"
         "\n"},
        {{"--json", "--spec", "/nonexistent/picspecs.ini", "devices"},
         3,
         R"({"error":"/nonexistent/picspecs.ini: No such file or directory","status":3})"
         "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliResult r = Sim("PIC16F628A", c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
    const CliResult devices = Run({"devices", "--json"});
    const std::regex name(R"j(\{"name":"(PIC[0-9A-Z]+)","programWords":[0-9]+,"eepromBytes":[0-9]+,"lvp":(true|false),"deviceId":([0-9]+|null)\})j");
    EXPECT_EQ(std::distance(std::sregex_iterator(devices.out.begin(), devices.out.end(), name), std::sregex_iterator()),
              65)
        << devices.out;
    EXPECT_EQ(Run({"--json", "dump", "0", "1"}).status, 2);
}

TEST(JsonWriter, EscapesWhatJsonCannotHoldAndPlacesTheCommas) {
    EXPECT_EQ(cli::JsonString("a\"b\\c\n\t\x01\x7F"), R"("a\"b\\c\n\t\u0001\u007f")");
    EXPECT_EQ(cli::JsonString("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
    // Not UTF-8: a lone continuation byte, a cut sequence, an overlong form, a surrogate.
    EXPECT_EQ(cli::JsonString("\x80|\xC3|\xC0\xAF|\xED\xA0\x80"),
              "\"\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
    cli::JsonWriter json;
    json.BeginObject().Key("a").BeginArray().Number(-1).Bool(true).Null().BeginObject().EndObject().EndArray();
    json.Member("b", "x").EndObject();
    EXPECT_EQ(json.Text(), R"({"a":[-1,true,null,{}],"b":"x"})");
}

} // namespace
} // namespace vandrel::test
