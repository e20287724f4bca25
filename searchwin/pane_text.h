// The result pane's text: lines of Shift-JIS, each stretch of them in a format (colour, point
// size, bold, underline). Positions count bytes of the text, 0-based, a line break counting two
// (CR LF). Standard library only: the pane's widget shows it, and every pane command works on
// it. A search appends its hit lines at a few tens of nanoseconds a line; edits and format
// changes touch the lines they cover.
#pragma once

#include "rtf.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

// The look of a stretch of text. kAutoColor and 0 points: the control's own colour and size.
struct TPaneFormat {
    std::uint32_t color = rtf::kAutoColor; // 0x00BBGGRR
    double points = 0;
    bool bold = false, underline = false;
    bool operator==(const TPaneFormat&) const = default;
    std::tuple<std::uint32_t, double, bool, bool> Key() const {
        return {color, points, bold, underline};
    }
};

// A change of look: the attributes it sets, the others left as they are.
struct TFormatChange {
    std::optional<std::uint32_t> color;
    std::optional<double> points;
    std::optional<bool> bold, underline;
    TPaneFormat Applied(TPaneFormat f) const;
};

class TPaneText {
  public:
    // A stretch of text to insert; its line breaks (CR LF, CR or LF) start lines.
    struct Piece {
        std::string text;
        int format = 0;
    };
    // The formats of a line: each span runs from the previous one's end to its own.
    struct Span {
        std::uint32_t end;
        int format;
        bool operator==(const Span&) const = default;
    };

    TPaneText();

    // Formats are numbered; 0 is the default look. A number stays valid until Clear.
    int Intern(const TPaneFormat& f);
    const TPaneFormat& Format(int index) const { return formats_[static_cast<std::size_t>(index)]; }

    // Lines. There is always at least one (an empty text is one empty line).
    int LineCount() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int i) const { return lines_[static_cast<std::size_t>(i)].text; }
    std::int64_t LineStart(int i) const;
    std::int64_t LineEnd(int i) const {
        return LineStart(i) + static_cast<std::int64_t>(Line(i).size());
    }
    // The line holding a position (a position in a line break belongs to the line it ends).
    int LineOf(std::int64_t pos) const;
    std::int64_t Length() const { return bytes_; }
    // The whole text, lines joined by CR LF. Kept between calls: appended lines extend it, an
    // edit drops it from the first line it touches.
    const std::string& Text() const;
    std::string Slice(std::int64_t from, std::int64_t to) const;

    // A position on a character boundary: one inside a two-byte character moves behind it, one
    // inside a line break to the end of its line; clamped to the text.
    std::int64_t Snap(std::int64_t pos) const;
    std::int64_t NextChar(std::int64_t pos) const; // a line break is one step
    std::int64_t PrevChar(std::int64_t pos) const;

    // The spans of a line, covering its text (an empty line: one span of length 0 in its
    // format); the format of its line break.
    std::vector<Span> Spans(int line) const;
    int BreakFormat(int line) const { return lines_[static_cast<std::size_t>(line)].breakFormat; }
    int FormatAt(int line, std::size_t col) const; // col == the line's length: its break
    // The format text typed at pos takes: the character's before it; at the start of a line
    // the first character's, on an empty line the line's own.
    int FormatForTyping(std::int64_t pos) const;

    void Clear();
    // A line at the end, in one format; into the first line while nothing has been appended or
    // inserted since the text was cleared.
    void AppendLine(std::string text, int format);
    // Replaces [from, to) (snapped) by the pieces; returns the end of the inserted text.
    std::int64_t Replace(std::int64_t from, std::int64_t to, const std::vector<Piece>& pieces);
    void ChangeFormat(std::int64_t from, std::int64_t to, const TFormatChange& change);

    // [from, to) as runs of one format each, line breaks CR LF in the runs; neighbours of one
    // format merged, empty ones dropped.
    std::vector<rtf::Run> Runs(std::int64_t from, std::int64_t to) const;

    // First occurrence of `what` at or after `from`, ending at or before `to` (-1: the end), on
    // character boundaries; -1 if none. Only single-byte letters fold when !matchCase. Whole
    // words: no letter, digit, "_" or two-byte character touches it on either side.
    std::int64_t Find(const std::string& what, std::int64_t from, std::int64_t to = -1,
                      bool wholeWord = false, bool matchCase = false) const;

  private:
    struct LineRec {
        std::string text;
        std::vector<Span> spans; // empty: the whole text in breakFormat
        int breakFormat = 0;
    };
    std::deque<LineRec> lines_; // a line inserted near the top (a summary) moves no others
    std::vector<TPaneFormat> formats_;
    std::map<decltype(TPaneFormat().Key()), int> formatIndex_;
    std::int64_t bytes_ = 0;
    bool fresh_ = true; // nothing appended or inserted since Clear

    // starts_[i] is right for i < startsValid_; text_ holds lines [0, textLines_).
    mutable std::vector<std::int64_t> starts_;
    mutable int startsValid_ = 1;
    mutable std::string text_;
    mutable int textLines_ = 0;
    // Line `line` and those after it are about to change.
    void Touch(int line);
    // The byte within its line of a snapped position.
    std::pair<int, std::size_t> Locate(std::int64_t pos) const;
    static void Normalize(LineRec& l);
    // The line's spans from byte a to b, appended to `out` shifted to start at out's text end.
    void CopySpans(const LineRec& l, std::size_t a, std::size_t b, LineRec& out) const;
};
