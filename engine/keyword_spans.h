// Where each keyword matches inside a hit line: for colouring the matches or handing their
// places on. Each keyword is compiled on its own, widened by the dictionary as the search widens
// it, and walked over the line's characters as the grep reads them (its line anchors at the
// line's ends).
#pragma once

#include "grep.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TKeywordSpans {
  public:
    // A keyword's match: its bytes [start, end) in the line, and which keyword it is.
    struct TSpan {
        std::size_t start, end;
        std::size_t keyword;
    };

    // `keywords` as the search composed them (trimmed; empty ones are skipped); `fuzzy`: the
    // dictionary is on. A keyword the engine rejects on its own matches nothing.
    TKeywordSpans(const std::vector<std::string>& keywords, bool fuzzy);

    // The matches in `line` (Shift-JIS, without its line end), by start: from every character,
    // the longest match of each keyword, the next looked for after its end.
    std::vector<TSpan> Find(std::string_view line) const;

    // The same spans joined where they overlap or touch, for colouring.
    static std::vector<TSpan> Merged(std::vector<TSpan> spans);

  private:
    std::vector<std::unique_ptr<TGrep>> patterns_;
    std::vector<std::size_t> index_; // the keyword each pattern is
};

} // namespace engine
