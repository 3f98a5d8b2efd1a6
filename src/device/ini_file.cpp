#include "device/ini_file.h"

#include <algorithm>

namespace vandrel::device {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string_view s)
{
    std::string lower(s);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

} // namespace

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

TIniFile::TIniFile(std::string_view text)
{
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);

    Section* current = nullptr;
    while (!text.empty()) {
        // Lines end at LF; a CR before it (CRLF) goes with the trimmed blanks.
        auto eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        line = Trim(line);
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            auto close = line.find(']');
            std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            if (!byName_.emplace(LowerText(name), sections_.size()).second) {
                // A repeated header adds nothing: the first section of a name
                // is the one read, and the list names it once.
                current = nullptr;
                continue;
            }
            sections_.push_back(Section{std::string(name), {}});
            current = &sections_.back();
            continue;
        }

        if (!current) continue; // text before the first section belongs to none
        auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            current->lines.emplace_back(line);
        } else {
            const std::string_view key = Trim(line.substr(0, eq));
            const std::string_view value = Trim(line.substr(eq + 1));
            std::string& entry = current->lines.emplace_back();
            entry.reserve(key.size() + 1 + value.size());
            entry.append(key).append(1, '=').append(value);
        }
    }
}

std::vector<std::string> TIniFile::SectionNames() const
{
    std::vector<std::string> names;
    std::size_t used = 1; // the list's closing terminator
    for (const auto& s : sections_) {
        if (used + s.name.size() + 1 > kSectionNamesBufferSize) break;
        used += s.name.size() + 1;
        names.push_back(s.name);
    }
    return names;
}

const std::vector<std::string>& TIniFile::ReadSection(std::string_view name) const
{
    static const std::vector<std::string> none;
    auto it = byName_.find(LowerText(name));
    return it == byName_.end() ? none : sections_[it->second].lines;
}

} // namespace vandrel::device
