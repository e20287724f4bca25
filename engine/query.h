// How the search window turns up to three keyword fields into one pattern: a line holding all
// keywords, in any order. Shared by the window and quelvra-grep so that both find the same lines.
#pragma once

#include <string>
#include <vector>

namespace engine {

// A field holding exactly one, two or three full-width spaces (and nothing else) counts as empty.
std::string ClearFullWidthSpaces(const std::string& field);

// Removes leading and trailing bytes with codes up to 32; full-width spaces stay.
std::string TrimKeyword(const std::string& field);

// The pattern for the non-empty keywords, in field order (empty ones are skipped): one keyword
// is itself; two give ((X).*(Y))|((Y).*(X)); three give the six orders joined by "|".
// Keywords are inserted as they are, so operators typed into a field keep their meaning.
// All keywords empty: the empty string.
std::string ComposePattern(const std::vector<std::string>& keywords);

} // namespace engine
