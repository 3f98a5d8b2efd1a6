#pragma once
// Names as people type them: the nearest of a list to a slip of the keyboard,
// and device names written in any case, with or without their "PIC".
#include <string>
#include <vector>

namespace vandrel::cli {

// The candidates nearest to `word` (edits of one letter, letter case
// ignored), in list order; none when even the nearest is further than a slip
// (a third of the word's length, at most 3 edits).
std::vector<std::string> ClosestNames(const std::string& word, const std::vector<std::string>& candidates);

// "; did you mean PIC16F628A?", "; did you mean read or dump?", or "" for none.
std::string DidYouMean(const std::vector<std::string>& names);

// A device name as the device file spells its sections: upper case, with
// "PIC" in front when it starts with a digit ("16f628a" -> "PIC16F628A").
std::string CanonicalDeviceName(const std::string& name);

} // namespace vandrel::cli
