#include "device/config_names.h"

#include <algorithm>
#include <filesystem>

#include "device/ini_file.h"
#include "device/pic_device.h"

namespace vandrel::device {

namespace {

bool IsName(std::string_view s) {
    return !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// A number of the file's rule within 1..limit (0..limit with `zero`).
std::optional<std::uint16_t> Bits(std::string_view text, std::int32_t limit, bool zero) {
    const std::optional<std::int32_t> n = ParseSpecNumber(text);
    if (!n || *n < (zero ? 0 : 1) || *n > limit)
        return std::nullopt;
    return static_cast<std::uint16_t>(*n);
}

// Checks one line and adds what it says; "" or why it cannot.
std::string Take(std::string_view line, std::vector<ConfigWordNames>& words) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return "not a KEY=VALUE line";
    const std::vector<std::string_view> key = Split(line.substr(0, eq), '.');
    const std::string_view value = line.substr(eq + 1);
    if (!std::all_of(key.begin() + 1, key.end(), IsName))
        return "a name of the key is empty or has other characters than letters, digits and _";
    if (key[0] == "Word" && key.size() == 2) {
        const auto address = Bits(value, 0x3FFF, true);
        if (!address)
            return "the address is not a number from 0 to 0x3FFF";
        if (std::any_of(words.begin(), words.end(), [&](const ConfigWordNames& w) { return w.name == key[1]; }))
            return "the word is named twice";
        words.push_back({std::string(key[1]), *address, {}});
        return "";
    }
    if (key[0] == "Field" && key.size() == 3) {
        if (words.empty() || words.back().name != key[1])
            return "the field does not follow the Word line of its word";
        const auto mask = Bits(value, 0xFFFF, false);
        if (!mask)
            return "the field's bits are not a number from 1 to 0xFFFF";
        words.back().fields.push_back({std::string(key[2]), *mask, {}});
        return "";
    }
    if (key[0] == "Value" && key.size() == 4) {
        if (words.empty() || words.back().name != key[1] || words.back().fields.empty() ||
            words.back().fields.back().name != key[2])
            return "the value does not follow the Field line of its field";
        ConfigFieldNames& field = words.back().fields.back();
        const auto comma = value.find(',');
        const auto bits = Bits(value.substr(0, comma), 0xFFFF, true);
        if (!bits || (*bits & ~field.mask) != 0)
            return "the value's bits are not a number within the field's bits";
        const std::string_view description = comma == std::string_view::npos ? "" : value.substr(comma + 1);
        field.values.push_back({std::string(key[3]), *bits, std::string(description)});
        return "";
    }
    return "the key is none of Word.W, Field.W.F and Value.W.F.V";
}

} // namespace

ConfigNamesResult ReadConfigNames(std::string_view text, std::string_view device) {
    const TIniFile file(text);
    ConfigNamesResult result;
    for (const std::string& line : file.ReadSection(device)) {
        if (std::string error = Take(line, result.words); !error.empty()) {
            const std::string shown = line.size() > 72 ? line.substr(0, 69) + "..." : line;
            result.words.clear();
            result.error = "'" + shown + "': " + error;
            return result;
        }
    }
    return result;
}

std::vector<DecodedField> DecodeConfigWord(const ConfigWordNames& names, std::uint16_t word) {
    std::vector<DecodedField> decoded;
    for (const ConfigFieldNames& field : names.fields) {
        DecodedField d;
        d.field = &field;
        d.bits = static_cast<std::uint16_t>(word & field.mask);
        for (const ConfigValueName& value : field.values)
            if (value.bits == d.bits) {
                d.value = &value;
                break;
            }
        decoded.push_back(d);
    }
    return decoded;
}

std::string ConfigNamesPathBeside(const std::string& deviceFile) {
    return (std::filesystem::path(deviceFile).parent_path() / kConfigNamesFileName).string();
}

} // namespace vandrel::device
