// Strings that every match of a pattern holds: sets of byte strings such that each match reads
// (as consecutive characters) one string of every set. The fast search looks for the rarest of
// them first and passes over the lines that lack one.
#pragma once

#include "parser.h"

#include <string>
#include <vector>

namespace engine {

// Every match of the tree at `root` holds one string of each set. Strings are the bytes of
// codes that read the same on every path through the text (no line ends, zero bytes or lone
// lead bytes); a set is never empty and never holds the empty string. At most a few sets of
// at most kMaxFactorStrings strings each; nothing when no such set is known.
std::vector<std::vector<std::string>> RequiredStrings(const TRENode* root);

constexpr std::size_t kMaxFactorStrings = 64;

} // namespace engine
