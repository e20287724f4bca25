// Dictionaries of interchangeable forms, and the built-in character-equivalence dictionary that
// lets one keyword find its full-width, half-width, hiragana, katakana, voiced-mark and
// digit spellings.
#pragma once

#include "charcode.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine {

// Rows of entries (Shift-JIS strings, possibly empty); all entries of a row are interchangeable.
struct TCharDictionary {
    std::vector<std::vector<std::string>> Rows;
};

// Splits one comma-separated row text into its entries: blanks before an entry are skipped, a
// double-quoted entry may hold commas ("" stands for "), and a final comma adds an empty entry.
std::vector<std::string> SplitRowText(const std::string& text);

// The 145 rows, built once on first use and shared by every grep.
const TCharDictionary& EquivalenceDictionary();

struct TDictMatch {
    std::size_t Consumed = 0; // pattern characters the matched entry covers
    std::string Replacement;  // "(" the row's entries, quoted and joined by "|", ")"
};

// The first entry (rows in order, entries in order) whose characters equal run[start...]
// without reaching past the end of the run; nullopt when none does.
std::optional<TDictMatch> MatchDictionary(const TCharDictionary& dictionary,
                                          const std::vector<TCharCode>& run, std::size_t start);

} // namespace engine
