#pragma once
// The names of the configuration bits: picconfig.ini, made at build time
// from gputils' processor headers (cmake/ConfigNames.cmake) and kept beside
// picspecs.ini. One section per device:
//   Word.CONFIG1=0x2007                    a configuration word and its address
//   Field.CONFIG1.FOSC=0x13                a field of it: its bits
//   Value.CONFIG1.FOSC.INTOSCIO=0x10,text  a value of the field, and what it means
// A word's fields follow it, a field's values follow the field.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::device {

inline constexpr const char* kConfigNamesFileName = "picconfig.ini";

struct ConfigValueName {
    std::string name;        // "INTOSCIO"
    std::uint16_t bits = 0;  // the field's bits for it
    std::string description; // "INTOSC oscillator: I/O function on ..."
};

struct ConfigFieldNames {
    std::string name;        // "FOSC"
    std::uint16_t mask = 0;  // its bits in the word, never 0
    std::vector<ConfigValueName> values;
};

struct ConfigWordNames {
    std::string name;        // "CONFIG", "CONFIG1"
    std::int32_t address = 0;
    std::vector<ConfigFieldNames> fields;
};

// What ReadConfigNames found: the device's words, or why not ("" and no
// words: the file has no section for the device).
struct ConfigNamesResult {
    std::vector<ConfigWordNames> words;
    std::string error;
};

// The section of `device` (letter case ignored) in the text of picconfig.ini.
// A line that does not fit the form gives an error naming it; nothing the
// text holds ends in anything but a result.
ConfigNamesResult ReadConfigNames(std::string_view text, std::string_view device);

// One field of a word read from a chip.
struct DecodedField {
    const ConfigFieldNames* field = nullptr;
    std::uint16_t bits = 0;                 // word & field->mask
    const ConfigValueName* value = nullptr; // none: no name for these bits
};
std::vector<DecodedField> DecodeConfigWord(const ConfigWordNames& names, std::uint16_t word);

// picconfig.ini in the folder of `deviceFile` (a path to picspecs.ini).
std::string ConfigNamesPathBeside(const std::string& deviceFile);

} // namespace vandrel::device
