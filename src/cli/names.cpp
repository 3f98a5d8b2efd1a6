#include "cli/names.h"

#include <algorithm>
#include <cctype>

namespace vandrel::cli {

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Letters inserted, dropped or changed to make one word the other.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

std::vector<std::string> ClosestNames(const std::string& word, const std::vector<std::string>& candidates) {
    const std::string key = Upper(word);
    const std::size_t slip = std::clamp<std::size_t>(key.size() / 3, 1, 3);
    std::size_t best = slip + 1;
    std::vector<std::string> nearest;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(key, Upper(candidate));
        if (distance < best) {
            best = distance;
            nearest.clear();
        }
        if (distance == best)
            nearest.push_back(candidate);
    }
    return nearest;
}

std::string DidYouMean(const std::vector<std::string>& names) {
    if (names.empty())
        return {};
    std::string text = "; did you mean ";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text + "?";
}

std::string CanonicalDeviceName(const std::string& name) {
    const std::string upper = Upper(name);
    return !upper.empty() && std::isdigit(static_cast<unsigned char>(upper.front())) ? "PIC" + upper : upper;
}

} // namespace vandrel::cli
