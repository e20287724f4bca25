// Rich text files: the pane's documents written and read as RTF. Standard library only.
//
// The text inside is Shift-JIS. The writer puts every byte above 0x7F out as an \'hh escape
// under \ansicpg932 and a \fcharset128 font, so word processors read it as Japanese. The reader
// takes what word processors write: groups, the font and colour tables, \uN with its \ucN
// fallback, skipped destinations; it keeps what the result pane can show (text, line breaks,
// tabs, colour, bold, underline, point size).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rtf {

// A colour outside the 0x00BBGGRR range: the text has no colour of its own.
constexpr std::uint32_t kAutoColor = 0xFF000000u;

// A stretch of text in one format. Line breaks inside `text` are CR LF.
struct Run {
    std::string text;                 // Shift-JIS
    std::uint32_t color = kAutoColor; // 0x00BBGGRR, or kAutoColor
    double points = 0;                // point size; 0: the document's own size
    bool bold = false, underline = false;

    bool SameFormat(const Run& o) const {
        return color == o.color && points == o.points && bold == o.bold && underline == o.underline;
    }
    bool operator==(const Run& o) const { return text == o.text && SameFormat(o); }
};

struct WriteOptions {
    std::string fontName;   // Shift-JIS face name of the document's font
    double plainPoints = 0; // the size of text without a size of its own (0: 10 points)
};

// The runs as an RTF document. Runs of one format next to each other may be given separately.
std::string Write(const std::vector<Run>& runs, const WriteOptions& options = {});

// Whether the data is RTF: it begins with "{\rtf" (after white space).
bool IsRtf(std::string_view data);

// The runs of an RTF document, adjacent runs of one format merged; nullopt when the data is not
// RTF. A damaged or truncated document gives what could be read before the damage. Text whose
// size equals the one the writer gave as plainPoints comes back without a size of its own.
std::optional<std::vector<Run>> Read(std::string_view data);

// Adjacent runs of one format joined, empty runs dropped.
std::vector<Run> Merge(std::vector<Run> runs);

} // namespace rtf
