#include "pane_text.h"

#include "codec.h"
#include "sjis_text.h"

#include <algorithm>
#include <cctype>

namespace {

// The character boundary at or after byte `col` of a line. Walks back to the nearest byte that
// ends a character whatever came before it (any byte that is no lead byte), then forward: the
// cost is the run of lead-valued bytes before col, not the line's length.
std::size_t BoundaryAtOrAfter(const std::string& s, std::size_t col) {
    if (col >= s.size()) return s.size();
    std::size_t k = col;
    while (k > 0 && cp932::IsLeadByte(static_cast<unsigned char>(s[k - 1])))
        --k;
    while (k < col)
        k += cp932::CharLength(s, k);
    return k;
}

// Splits text at CR LF, lone CR and lone LF.
std::vector<std::string_view> Segments(const std::string& text) {
    return cp932::SplitLineViews(text, cp932::LoneCr::EndsLine,
                                 cp932::FinalLineEnd::StartsEmptyLine);
}

bool IsWordByte(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

// Whether `text` lies at `at` of `hay`; without `matchCase`, single-byte letters fold (never
// the second byte of a two-byte character).
bool MatchesAt(const std::string& hay, std::size_t at, const std::string& text, bool matchCase) {
    const auto there = std::string_view(hay).substr(at, text.size());
    return matchCase ? there == text : cp932::EqualsNoCase(there, text);
}

} // namespace

TPaneFormat TFormatChange::Applied(TPaneFormat f) const {
    if (color) f.color = *color;
    if (points) f.points = *points;
    if (bold) f.bold = *bold;
    if (underline) f.underline = *underline;
    return f;
}

TPaneText::TPaneText() {
    Clear();
}

int TPaneText::Intern(const TPaneFormat& f) {
    const auto [it, added] = formatIndex_.try_emplace(f.Key(), static_cast<int>(formats_.size()));
    if (added) formats_.push_back(f);
    return it->second;
}

void TPaneText::Clear() {
    lines_.assign(1, LineRec{});
    formats_.clear();
    formatIndex_.clear();
    Intern(TPaneFormat{});
    bytes_ = 0;
    fresh_ = true;
    starts_.assign(1, 0);
    startsValid_ = 1;
    text_.clear();
    textLines_ = 0;
}

void TPaneText::Touch(int line) {
    line = std::max(line, 0);
    if (textLines_ > line) {
        text_.resize(line == 0 ? 0 : static_cast<std::size_t>(LineStart(line) - 2));
        textLines_ = line;
    }
    startsValid_ = std::min(startsValid_, line + 1);
}

std::int64_t TPaneText::LineStart(int i) const {
    if (i >= startsValid_) {
        starts_.resize(lines_.size());
        for (int k = startsValid_; k <= i; ++k)
            starts_[static_cast<std::size_t>(k)] =
                starts_[static_cast<std::size_t>(k - 1)] +
                static_cast<std::int64_t>(lines_[static_cast<std::size_t>(k - 1)].text.size()) + 2;
        startsValid_ = i + 1;
    }
    return starts_[static_cast<std::size_t>(i)];
}

int TPaneText::LineOf(std::int64_t pos) const {
    const int last = LineCount() - 1;
    LineStart(last);
    const auto begin = starts_.begin(), end = begin + last + 1;
    const auto it = std::upper_bound(begin, end, pos);
    return std::max(0, static_cast<int>(it - begin) - 1);
}

const std::string& TPaneText::Text() const {
    if (textLines_ < LineCount()) {
        text_.reserve(static_cast<std::size_t>(bytes_));
        for (; textLines_ < LineCount(); ++textLines_) {
            if (textLines_ > 0) text_ += "\r\n";
            text_ += lines_[static_cast<std::size_t>(textLines_)].text;
        }
    }
    return text_;
}

std::string TPaneText::Slice(std::int64_t from, std::int64_t to) const {
    from = std::clamp<std::int64_t>(from, 0, bytes_);
    to = std::clamp<std::int64_t>(to, from, bytes_);
    return Text().substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
}

std::pair<int, std::size_t> TPaneText::Locate(std::int64_t pos) const {
    pos = std::clamp<std::int64_t>(pos, 0, bytes_);
    const int line = LineOf(pos);
    const std::string& s = Line(line);
    const auto col = static_cast<std::size_t>(pos - LineStart(line));
    return {line, BoundaryAtOrAfter(s, std::min(col, s.size()))};
}

std::int64_t TPaneText::Snap(std::int64_t pos) const {
    const auto [line, col] = Locate(pos);
    return LineStart(line) + static_cast<std::int64_t>(col);
}

std::int64_t TPaneText::NextChar(std::int64_t pos) const {
    const auto [line, col] = Locate(pos);
    const std::string& s = Line(line);
    if (col < s.size())
        return LineStart(line) + static_cast<std::int64_t>(col + cp932::CharLength(s, col));
    return line + 1 < LineCount() ? LineStart(line + 1) : bytes_;
}

std::int64_t TPaneText::PrevChar(std::int64_t pos) const {
    const auto [line, col] = Locate(pos);
    if (col == 0) return line > 0 ? LineEnd(line - 1) : 0;
    const std::string& s = Line(line);
    std::size_t k = col - 1;
    while (k > 0 && cp932::IsLeadByte(static_cast<unsigned char>(s[k - 1])))
        --k;
    std::size_t prev = k;
    while (k < col) {
        prev = k;
        k += cp932::CharLength(s, k);
    }
    return LineStart(line) + static_cast<std::int64_t>(prev);
}

std::vector<TPaneText::Span> TPaneText::Spans(int line) const {
    const LineRec& l = lines_[static_cast<std::size_t>(line)];
    if (l.spans.empty()) return {{static_cast<std::uint32_t>(l.text.size()), l.breakFormat}};
    return l.spans;
}

int TPaneText::FormatAt(int line, std::size_t col) const {
    const LineRec& l = lines_[static_cast<std::size_t>(line)];
    if (l.spans.empty() || col >= l.text.size()) return l.breakFormat;
    const auto it = std::upper_bound(l.spans.begin(), l.spans.end(), col,
                                     [](std::size_t c, const Span& s) { return c < s.end; });
    return it == l.spans.end() ? l.breakFormat : it->format;
}

int TPaneText::FormatForTyping(std::int64_t pos) const {
    const auto [line, col] = Locate(pos);
    if (Line(line).empty()) return BreakFormat(line);
    return FormatAt(line, col > 0 ? col - 1 : 0);
}

void TPaneText::Normalize(LineRec& l) {
    std::vector<Span> merged;
    std::uint32_t start = 0;
    for (const Span& s : l.spans) {
        if (s.end <= start) continue;
        if (!merged.empty() && merged.back().format == s.format)
            merged.back().end = s.end;
        else
            merged.push_back(s);
        start = s.end;
    }
    if (merged.empty() || (merged.size() == 1 && merged[0].format == l.breakFormat)) merged.clear();
    l.spans = std::move(merged);
}

void TPaneText::CopySpans(const LineRec& l, std::size_t a, std::size_t b, LineRec& out) const {
    if (a >= b) return;
    const auto base = static_cast<std::uint32_t>(out.text.size());
    out.text.append(l.text, a, b - a);
    if (l.spans.empty()) {
        out.spans.push_back({static_cast<std::uint32_t>(base + (b - a)), l.breakFormat});
        return;
    }
    std::size_t start = 0;
    for (const Span& s : l.spans) {
        const std::size_t from = std::max<std::size_t>(start, a),
                          to = std::min<std::size_t>(s.end, b);
        if (from < to) out.spans.push_back({static_cast<std::uint32_t>(base + (to - a)), s.format});
        start = s.end;
    }
}

void TPaneText::AppendLine(std::string text, int format) {
    if (fresh_) {
        fresh_ = false;
        Touch(0);
        bytes_ = static_cast<std::int64_t>(text.size());
        lines_[0] = LineRec{std::move(text), {}, format};
        return;
    }
    bytes_ += static_cast<std::int64_t>(text.size()) + 2;
    lines_.push_back(LineRec{std::move(text), {}, format});
}

std::int64_t TPaneText::Replace(std::int64_t from, std::int64_t to,
                                const std::vector<Piece>& pieces) {
    if (to < from) std::swap(from, to);
    const auto [l1, c1] = Locate(from);
    const auto [l2, c2] = Locate(to);
    fresh_ = false;
    const LineRec& first = lines_[static_cast<std::size_t>(l1)];
    const LineRec& last = lines_[static_cast<std::size_t>(l2)];
    const std::int64_t removed = LineStart(l2) + static_cast<std::int64_t>(c2) -
                                 (LineStart(l1) + static_cast<std::int64_t>(c1));

    std::vector<LineRec> made(1);
    CopySpans(first, 0, c1, made.back());
    std::int64_t inserted = 0;
    for (const Piece& p : pieces) {
        const std::vector<std::string_view> segments = Segments(p.text);
        for (std::size_t k = 0; k < segments.size(); ++k) {
            if (k > 0) {
                made.back().breakFormat = p.format;
                made.emplace_back();
                inserted += 2;
            }
            LineRec& cur = made.back();
            if (segments[k].empty()) {
                if (cur.text.empty()) cur.breakFormat = p.format;
                continue;
            }
            cur.text += segments[k];
            cur.spans.push_back({static_cast<std::uint32_t>(cur.text.size()), p.format});
            inserted += static_cast<std::int64_t>(segments[k].size());
        }
    }
    CopySpans(last, c2, last.text.size(), made.back());
    made.back().breakFormat = last.breakFormat; // the break that stays is the last line's
    for (LineRec& l : made)
        Normalize(l);

    const std::int64_t end = LineStart(l1) + static_cast<std::int64_t>(c1) + inserted;
    Touch(l1);
    if (static_cast<std::size_t>(l2 - l1 + 1) == made.size()) {
        std::move(made.begin(), made.end(), lines_.begin() + l1);
    } else {
        lines_.erase(lines_.begin() + l1, lines_.begin() + l2 + 1);
        lines_.insert(lines_.begin() + l1, std::make_move_iterator(made.begin()),
                      std::make_move_iterator(made.end()));
    }
    bytes_ += inserted - removed;
    return end;
}

void TPaneText::ChangeFormat(std::int64_t from, std::int64_t to, const TFormatChange& change) {
    if (to < from) std::swap(from, to);
    const auto [l1, c1] = Locate(from);
    const auto [l2, c2] = Locate(to);
    for (int line = l1; line <= l2; ++line) {
        LineRec& l = lines_[static_cast<std::size_t>(line)];
        const std::size_t a = line == l1 ? c1 : 0;
        const std::size_t b = line == l2 ? c2 : l.text.size();
        const bool withBreak = line < l2;
        if (a >= b && !withBreak) continue;
        LineRec out;
        out.breakFormat = l.breakFormat;
        CopySpans(l, 0, a, out);
        const std::size_t mid = out.spans.size();
        CopySpans(l, a, b, out);
        for (std::size_t k = mid; k < out.spans.size(); ++k)
            out.spans[k].format = Intern(change.Applied(Format(out.spans[k].format)));
        CopySpans(l, b, l.text.size(), out);
        if (withBreak) out.breakFormat = Intern(change.Applied(Format(l.breakFormat)));
        l.spans = std::move(out.spans);
        l.breakFormat = out.breakFormat;
        Normalize(l);
    }
}

std::vector<rtf::Run> TPaneText::Runs(std::int64_t from, std::int64_t to) const {
    if (to < from) std::swap(from, to);
    const auto [l1, c1] = Locate(from);
    const auto [l2, c2] = Locate(to);
    std::vector<rtf::Run> runs;
    auto add = [&](std::string_view text, int format) {
        const TPaneFormat& f = Format(format);
        rtf::Run r;
        r.color = f.color;
        r.points = f.points;
        r.bold = f.bold;
        r.underline = f.underline;
        if (!runs.empty() && runs.back().SameFormat(r)) {
            runs.back().text += text;
            return;
        }
        r.text = text;
        runs.push_back(std::move(r));
    };
    for (int line = l1; line <= l2; ++line) {
        const LineRec& l = lines_[static_cast<std::size_t>(line)];
        const std::size_t a = line == l1 ? c1 : 0;
        const std::size_t b = line == l2 ? c2 : l.text.size();
        std::size_t start = 0;
        for (const Span& s : Spans(line)) {
            const std::size_t x = std::max(start, a), y = std::min<std::size_t>(s.end, b);
            if (x < y) add(std::string_view(l.text).substr(x, y - x), s.format);
            start = s.end;
        }
        // The break goes with the text before it, as word processors keep it; an empty line's
        // break carries the line's own look.
        if (line < l2) add("\r\n", l.text.empty() ? l.breakFormat : FormatAt(line, b - 1));
    }
    return rtf::Merge(std::move(runs));
}

std::int64_t TPaneText::Find(const std::string& what, std::int64_t from, std::int64_t to,
                             bool wholeWord, bool matchCase) const {
    const std::string& hay = Text();
    const auto n = static_cast<std::int64_t>(hay.size());
    const auto m = static_cast<std::int64_t>(what.size());
    if (m == 0) return -1;
    if (to < 0 || to > n) to = n;
    from = std::clamp<std::int64_t>(from, 0, n);
    // Every candidate lies on a character boundary: the walk starts behind a byte that ends a
    // character whatever precedes it (no lead byte), one character or more before `from`, so
    // that the character before the first candidate is known for whole words.
    auto byteAt = [&hay](std::int64_t k) {
        return static_cast<unsigned char>(hay[static_cast<std::size_t>(k)]);
    };
    std::int64_t i = from;
    while (i > 0 && cp932::IsLeadByte(byteAt(i - 1)))
        --i;
    if (i > 0) {
        --i;
        while (i > 0 && cp932::IsLeadByte(byteAt(i - 1)))
            --i;
    }
    std::int64_t prev = -1; // the character before i, for whole words
    while (i + m <= to) {
        const auto at = static_cast<std::size_t>(i);
        const auto width = static_cast<std::int64_t>(cp932::CharLength(hay, at));
        if (i >= from && MatchesAt(hay, at, what, matchCase)) {
            const std::int64_t end = i + m;
            if (!wholeWord ||
                ((prev < 0 || !IsWordByte(byteAt(prev))) && (end >= n || !IsWordByte(byteAt(end)))))
                return i;
        }
        prev = i;
        i += width;
    }
    return -1;
}
