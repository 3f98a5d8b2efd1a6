#pragma once
// A small reader of initialization files of the Windows kind: [sections] of
// key=value lines. It stands in for the platform's profile functions, which
// is all the device list and the device specifications need.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vandrel::device {

class TIniFile {
public:
    // The size of the buffer the section names are fetched into: each name
    // takes its length plus one terminating byte, and the list ends with one
    // more terminating byte. Names that no longer fit are not listed.
    static constexpr std::size_t kSectionNamesBufferSize = 16384;

    TIniFile() = default;
    // Parses text already in memory. Any bytes are accepted; a NUL ends the text.
    explicit TIniFile(std::string_view text);

    // Section names in file order, each name once (the first spelling counts),
    // limited as if fetched into a buffer of kSectionNamesBufferSize bytes.
    std::vector<std::string> SectionNames() const;

    // The lines of the first section of that name (letter case ignored) as
    // "key=value", blanks around key and value removed, in file order. Lines
    // of the section without "=" come as they stand. An unknown section gives
    // an empty list. The list lives as long as this reader.
    const std::vector<std::string>& ReadSection(std::string_view name) const;

private:
    struct Section {
        std::string name;
        std::vector<std::string> lines;
    };
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> byName_; // lower-case name -> index
};

// Letter-case-blind comparison of two 8-bit texts (ASCII letters only).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

} // namespace vandrel::device
