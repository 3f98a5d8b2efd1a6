// Every section of the shipped picspecs.ini against the assembler's own
// device table (`gpasm -s -p <chip>`): program size, user ID range,
// configuration word addresses and implemented bits, EEPROM range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "device/pic_device.h"

namespace vandrel::device {
namespace {

struct AssemblerFacts {
    long programWords = -1;
    long idFirst = -1, idLast = -1;
    long eepromFirst = -1, eepromLast = -1;
    std::vector<std::pair<long, long>> configWords; // address, mask
};

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

AssemblerFacts Ask(const std::string& chip) {
    AssemblerFacts f;
    const std::string text = Output("gpasm -s -p " + chip + " 2>/dev/null");
    std::smatch m;
    if (std::regex_search(text, m, std::regex(R"(Program Size\s*:\s*(\d+) words)")))
        f.programWords = std::stol(m[1]);
    if (std::regex_search(text, m, std::regex(R"(Idlocs Range\s*:\s*0x([0-9A-Fa-f]+) - 0x([0-9A-Fa-f]+))"))) {
        f.idFirst = std::stol(m[1], nullptr, 16);
        f.idLast = std::stol(m[2], nullptr, 16);
    }
    if (std::regex_search(text, m, std::regex(R"(EEPROM Range\s*:\s*0x([0-9A-Fa-f]+) - 0x([0-9A-Fa-f]+))"))) {
        f.eepromFirst = std::stol(m[1], nullptr, 16);
        f.eepromLast = std::stol(m[2], nullptr, 16);
    }
    const std::regex word(R"(Config Word\s*:\s*address = 0x([0-9A-Fa-f]+), mask = 0x([0-9A-Fa-f]+))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
        f.configWords.emplace_back(std::stol((*it)[1], nullptr, 16), std::stol((*it)[2], nullptr, 16));
    return f;
}

TEST(GpasmSpecs, EverySectionMatchesTheAssemblersDeviceTable) {
    if (Output("command -v gpasm").empty())
        GTEST_SKIP() << "gpasm (gputils) is not installed";
    SetDeviceSpecPathOverride(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini");
    std::vector<std::string> names;
    GetDeviceList(names);
    ASSERT_EQ(names.size(), 65u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const TPicDevice d = GetDeviceSpec(name);
        ASSERT_EQ(name.rfind("PIC", 0), 0u);
        // Built by appending: GCC 12 at -O3 takes "p" + string for an
        // overlapping copy (a false -Wrestrict that fails the release build).
        std::string processor = "p";
        processor.append(name, 3);
        const AssemblerFacts f = Ask(processor);
        ASSERT_GT(f.programWords, 0) << "gpasm does not know the chip";

        EXPECT_EQ(d.ProgramMemory.Address, 0);
        EXPECT_EQ(d.ProgramMemory.Size, f.programWords);
        EXPECT_EQ(d.UserID.Address, f.idFirst);
        EXPECT_EQ(d.UserID.Address + d.UserID.Size - 1, f.idLast);
        if (f.eepromFirst < 0) { // no data EEPROM
            EXPECT_EQ(d.DataMemory.Size, 0);
        } else {
            EXPECT_EQ(d.DataMemory.Address, f.eepromFirst);
            EXPECT_EQ(d.DataMemory.Address + d.DataMemory.Size - 1, f.eepromLast);
        }

        ASSERT_FALSE(f.configWords.empty());
        EXPECT_EQ(d.ConfigurationWord.Address, f.configWords.front().first);
        EXPECT_EQ(d.ConfigurationWord.Size, static_cast<long>(f.configWords.size()));
        // The configuration area runs from the user IDs to the last configuration word.
        EXPECT_EQ(d.ConfigurationMemory.Address, f.idFirst);
        EXPECT_EQ(d.ConfigurationMemory.Address + d.ConfigurationMemory.Size - 1, f.configWords.back().first);
        // Calibration words sit past the configuration area and are no configuration word.
        for (const std::int32_t w : d.Algorithm.Calibration.Words) {
            EXPECT_GE(w, d.ConfigurationMemory.Address + d.ConfigurationMemory.Size);
            EXPECT_LE(w, 0x2009);
        }
        const auto& masks = d.Algorithm.ConfigurationMasks;
        if (!masks.empty()) {
            ASSERT_EQ(masks.size(), f.configWords.size());
            for (std::size_t i = 0; i < masks.size(); ++i)
                EXPECT_EQ(masks[i], f.configWords[i].second) << i;
        }
    }
    SetDeviceSpecPathOverride("");
}

// The lock-out keys against gputils' own headers: every chip whose first
// configuration word has an MCLRE bit and an internal-oscillator choice names
// that bit, the oscillator bits and their internal values; no other chip has them.
TEST(GpasmSpecs, LockOutKeysNameTheMclreBitAndTheInternalOscillatorOfTheHeaders) {
    SetDeviceSpecPathOverride(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini");
    std::vector<std::string> names;
    GetDeviceList(names);
    const std::regex symbol(R"(^(_\w+)\s+EQU\s+H'([0-9A-Fa-f]+)')");
    int guarded = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        std::string chip = name.substr(3);
        for (char& ch : chip)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::ifstream header("/usr/share/gputils/header/p" + chip + ".inc");
        if (!header)
            GTEST_SKIP() << "gputils' headers are not installed";
        std::uint16_t mclre = 0, oscillator = 0;
        std::vector<std::uint16_t> internal; // the header's AND masks
        std::string line;
        while (std::getline(header, line)) {
            std::smatch m;
            if (!std::regex_search(line, m, symbol))
                continue;
            const std::string sym = m[1];
            const auto cleared = static_cast<std::uint16_t>(~std::stoul(m[2], nullptr, 16) & 0x3FFF);
            if (sym == "_MCLRE_OFF")
                mclre = cleared;
            if (sym.rfind("_FOSC_", 0) == 0) {
                oscillator |= cleared;
                if (sym.rfind("_FOSC_INTOSC", 0) == 0 || sym.rfind("_FOSC_INTRC", 0) == 0)
                    internal.push_back(static_cast<std::uint16_t>(~cleared & 0x3FFF));
            }
        }
        std::vector<std::uint16_t> values;
        for (const std::uint16_t v : internal)
            if (std::find(values.begin(), values.end(), v & oscillator) == values.end())
                values.push_back(v & oscillator);
        std::sort(values.begin(), values.end());
        const TLockOut lock = GetDeviceSpec(name).Algorithm.LockOut;
        if (mclre == 0 || values.empty()) {
            EXPECT_FALSE(lock.Any());
            continue;
        }
        ++guarded;
        EXPECT_EQ(lock.Mclre, mclre);
        EXPECT_EQ(lock.Oscillator, oscillator);
        EXPECT_EQ(lock.Internal, values);
    }
    EXPECT_EQ(guarded, 45);
    SetDeviceSpecPathOverride("");
}

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The committed HEX files of the test programs are what their sources assemble to.
TEST(GpasmSpecs, TestProgramsAreTheirSourcesAssembled) {
    if (Output("command -v gpasm").empty())
        GTEST_SKIP() << "gpasm (gputils) is not installed";
    namespace fs = std::filesystem;
    const fs::path committed = fs::path(VANDREL_SOURCE_DIR) / "tests/data/programs";
    const fs::path scratch = fs::temp_directory_path() / ("vandrel_programs_" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    int hexFiles = 0;
    for (const auto& entry : fs::directory_iterator(committed))
        if (entry.path().extension() != ".hex")
            fs::copy_file(entry.path(), scratch / entry.path().filename());
    Output("bash " + (scratch / "build.sh").string());
    for (const auto& entry : fs::directory_iterator(committed)) {
        if (entry.path().extension() != ".hex")
            continue;
        ++hexFiles;
        EXPECT_EQ(FileText(scratch / entry.path().filename()), FileText(entry.path())) << entry.path().filename();
    }
    EXPECT_EQ(hexFiles, 32); // 26 chips, 6 of them also with their protection on
    fs::remove_all(scratch);
}


// The value a configuration symbol of the assembler's header gives
// (`_CP_ALL EQU H'0FCF'`), or -1 when the header has no such symbol.
long HeaderSymbol(const std::string& header, const std::string& symbol) {
    std::smatch m;
    if (std::regex_search(header, m, std::regex("(^|\\n)" + symbol + R"(\s+EQU\s+H'([0-9A-Fa-f]+)')")))
        return std::stol(m[2], nullptr, 16);
    return -1;
}

// Every section's protection keys are the bits the assembler's header clears
// for full code protection (_CP_ALL, else _CP_ON) and for _CPD_ON; a chip
// whose CP bits guard the EEPROM too (16F84, 16F83) gives the same bits for both.
TEST(GpasmSpecs, ProtectionKeysAreTheHeadersProtectionBits) {
    const std::filesystem::path headers = "/usr/share/gputils/header";
    if (!std::filesystem::exists(headers))
        GTEST_SKIP() << "gputils headers are not installed";
    SetDeviceSpecPathOverride(std::string(VANDREL_SOURCE_DIR) + "/picspecs.ini");
    std::vector<std::string> names;
    GetDeviceList(names);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const TProtection protection = GetDeviceSpec(name).Algorithm.Protection;
        std::string chip = "p";
        chip.append(name, 3);
        for (char& c : chip)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::string header = FileText(headers / (chip + ".inc"));
        ASSERT_FALSE(header.empty());
        long cp = HeaderSymbol(header, "_CP_ALL");
        if (cp < 0)
            cp = HeaderSymbol(header, "_CP_ON");
        ASSERT_GE(cp, 0);
        EXPECT_EQ(protection.Code, ~cp & 0x3FFF);
        const long cpd = HeaderSymbol(header, "_CPD_ON");
        EXPECT_EQ(protection.Data, cpd >= 0 ? ~cpd & 0x3FFF : protection.Code == 0x3FF0 ? 0x3FF0 : 0);
        EXPECT_EQ(protection.Active, 0);
    }
    SetDeviceSpecPathOverride("");
}

} // namespace
} // namespace vandrel::device
