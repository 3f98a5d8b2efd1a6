// config on the simulated chip: a configuration word that gpasm made from
// gputils' own names comes back under those names, for three families; and a
// names file that is missing or damaged ends the command with a clear message.
#include <cstdio>
#include <regex>

#include "cli/cli_test_env.h"

namespace vandrel::test {
namespace {

using Strings = std::vector<std::string>;

bool HaveGpasm() { return std::system("command -v gpasm >/dev/null 2>&1") == 0; }

class ConfigCommand : public CliTest {
protected:
    // Assembles a one-instruction program with these __CONFIG lines.
    std::string Assemble(const std::string& chip, const Strings& configLines) {
        std::string source = "    processor " + chip + "\n    #include <p" + chip + ".inc>\n";
        for (const std::string& line : configLines)
            source += "    __CONFIG " + line + "\n";
        source += "    org 0\n    goto $\n    end\n";
        const std::string asmPath = dir.Write(chip + ".asm", source), hex = dir / (chip + ".hex");
        const std::string command = "gpasm -q -p p" + chip + " -o '" + hex + "' '" + asmPath + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << source;
        return hex;
    }
};

TEST_F(ConfigCommand, AWordGpasmMadeFromGputilsNamesIsDecodedUnderTheSameNames) {
    if (!HaveGpasm())
        GTEST_SKIP() << "gpasm (gputils) is not installed";
    struct Case {
        std::string device, chip;
        Strings config; // __CONFIG operands: _FIELD_VALUE & ...
    };
    const std::vector<Case> cases = {
        {"PIC16F628A", "16f628a",
         {"_FOSC_HS & _WDTE_OFF & _PWRTE_ON & _MCLRE_OFF & _BOREN_OFF & _LVP_OFF & _CPD_OFF & _CP_OFF"}},
        {"PIC12F629", "12f629", {"_FOSC_INTRCIO & _WDTE_ON & _PWRTE_OFF & _MCLRE_ON & _BOREN_OFF & _CP_OFF & _CPD_OFF"}},
        {"PIC16F88", "16f88",
         {"_CONFIG1, _FOSC_INTOSCIO & _WDTE_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_ON & _LVP_OFF & _CPD_OFF & "
          "_WRT_OFF & _DEBUG_OFF & _CCPMX_RB0 & _CP_OFF",
          "_CONFIG2, _FCMEN_OFF & _IESO_OFF"}},
    };
    const std::regex setting("_([A-Z0-9]+)_([A-Z0-9]+)");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const std::string hex = Assemble(c.chip, c.config);
        const Strings sim = {"--simulate", c.device, "--sim-state", State(c.device)};
        Strings program = sim;
        program.insert(program.end(), {"program", hex});
        ASSERT_EQ(Run(program).status, 0);
        Strings config = sim;
        config.insert(config.end(), {"--json", "config"});
        const CliResult json = Run(config);
        ASSERT_EQ(json.status, 0) << json.err;
        Strings text = sim;
        text.push_back("config");
        const CliResult shown = Run(text);
        int fields = 0;
        for (const std::string& line : c.config)
            for (auto m = std::sregex_iterator(line.begin(), line.end(), setting); m != std::sregex_iterator(); ++m) {
                const std::string field = (*m)[1], value = (*m)[2];
                if (field == "CONFIG1" || field == "CONFIG2")
                    continue;
                ++fields;
                EXPECT_TRUE(std::regex_search(json.out, std::regex("\"name\":\"" + field +
                                                                   "\",\"mask\":[0-9]+,\"bits\":[0-9]+,\"value\":\"" +
                                                                   value + "\"")))
                    << field << " = " << value << " in " << json.out;
                EXPECT_TRUE(std::regex_search(shown.out, std::regex("\n  " + field + " +=  ?" + value + " ")))
                    << field << " = " << value << " in\n"
                    << shown.out;
            }
        EXPECT_GE(fields, 7);
        // The chip's bandgap bits are shown as its own, not as a field.
        EXPECT_EQ(shown.out.find("  BG    = calibration  [3000: ") != std::string::npos, c.device == "PIC12F629")
            << shown.out;
    }
}

TEST_F(ConfigCommand, AMissingOrDamagedNamesFileIsSaidBeforeThePortOpens) {
    const std::string specs = dir.Write("picspecs.ini", ReadWholeFile(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini"));
    struct Case {
        std::string names; // picconfig.ini beside it; "" none (the default one is read)
        int status;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"[PIC16F628A]\nField.CONFIG.FOSC=0x13\n", 3,
         "picconfig.ini [PIC16F628A]: 'Field.CONFIG.FOSC=0x13': the field does not follow the Word line of its word"},
        {"[PIC16F628A]\nWord.CONFIG=0x2007\nField.CONFIG.FOSC=0x13\nValue.CONFIG.FOSC.X=0x20,x\n", 3,
         "'Value.CONFIG.FOSC.X=0x20,x': the value's bits are not a number within the field's bits"},
        {"[PIC16F628A]\nWord.CONFIG=zz\n", 3, "'Word.CONFIG=zz': the address is not a number from 0 to 0x3FFF"},
        {"[PIC16F84A]\nWord.CONFIG=0x2007\n", 0, "names no configuration bits of the PIC16F628A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names);
        dir.Write("picconfig.ini", c.names);
        const CliResult r = Run({"--spec", specs, "--simulate", "PIC16F628A", "--sim-state", State("x"), "config"});
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(SimPort() != nullptr, c.status == 0);
    }
}

} // namespace
} // namespace vandrel::test
