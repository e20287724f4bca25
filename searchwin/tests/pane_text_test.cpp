// The result pane's text model: lines, positions, edits, formats, runs and find.
#include "pane_text.h"

#include "codec.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

TPaneFormat Red() {
    return {255, 12, true, false};
}

// The text as a reference keeps it: every byte (a line break as one "\n") with its format.
struct Reference {
    std::string bytes;
    std::vector<int> formats;
    std::string Text() const {
        std::string out;
        for (char c : bytes)
            out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    }
    // A pane position (a break counting two) as an index of `bytes`.
    std::size_t Index(std::int64_t pos) const {
        std::size_t i = 0;
        for (std::int64_t p = 0; i < bytes.size() && p < pos; ++i)
            p += bytes[i] == '\n' ? 2 : 1;
        return i;
    }
};

// Each byte's format as the model says, in the reference's form.
std::vector<int> FormatsOf(const TPaneText& t) {
    std::vector<int> out;
    for (int line = 0; line < t.LineCount(); ++line) {
        std::uint32_t start = 0;
        for (const TPaneText::Span& s : t.Spans(line)) {
            for (std::uint32_t k = start; k < s.end; ++k)
                out.push_back(s.format);
            start = s.end;
        }
        EXPECT_EQ(start, t.Line(line).size()) << "spans cover line " << line;
        if (line + 1 < t.LineCount()) out.push_back(-1); // the break: not compared
    }
    return out;
}

TEST(PaneText, LinesPositionsAndCharacterSteps) {
    TPaneText t;
    EXPECT_EQ(t.LineCount(), 1);
    EXPECT_EQ(t.Text(), "");
    t.AppendLine("", 0); // into the first line
    t.AppendLine(S("ソ表a"), 0);
    t.AppendLine(S("能ポ"), 0);
    ASSERT_EQ(t.LineCount(), 3);
    EXPECT_EQ(t.Text(), "\r\n" + S("ソ表a") + "\r\n" + S("能ポ"));
    EXPECT_EQ(t.Length(), 2 + 5 + 2 + 4);
    EXPECT_EQ(t.LineStart(1), 2);
    EXPECT_EQ(t.LineStart(2), 9);
    struct Case {
        std::int64_t pos;
        int line;
        std::int64_t snapped, next, prev;
    } cases[] = {
        {0, 0, 0, 2, 0},                          // an empty first line: its break is one step
        {1, 0, 0, 2, 0},                          // inside the break: the end of its line
        {2, 1, 2, 4, 0},                          // ソ
        {3, 1, 4, 6, 2},                          // inside ソ: behind it
        {5, 1, 6, 7, 4},                          // inside 表 (its second byte is "\")
        {7, 1, 7, 9, 6},                          // the end of the line
        {8, 1, 7, 9, 6},                          // inside the break
        {9, 2, 9, 11, 7},                         // 能 (second byte "\")
        {13, 2, 13, 13, 11}, {99, 2, 13, 13, 11}, // clamped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t.LineOf(c.pos), c.line) << c.pos;
        EXPECT_EQ(t.Snap(c.pos), c.snapped) << c.pos;
        EXPECT_EQ(t.NextChar(c.pos), c.next) << c.pos;
        EXPECT_EQ(t.PrevChar(c.pos), c.prev) << c.pos;
    }
    // Bytes the converters take one at a time: a lead byte before a byte that cannot follow it,
    // a lead byte at the line's end.
    TPaneText broken;
    broken.AppendLine("\x81 \x82", 0);
    broken.AppendLine("b", 0);
    EXPECT_EQ(broken.NextChar(0), 1);
    EXPECT_EQ(broken.NextChar(2), 3);
    EXPECT_EQ(broken.NextChar(3), 5); // the break, not the lead byte's partner
    EXPECT_EQ(broken.PrevChar(5), 3);
}

TEST(PaneText, ReplaceKeepsTheFormatsAroundAndTakesLineBreaks) {
    TPaneText t;
    const int red = t.Intern(Red());
    t.AppendLine(S("見出し.txt"), red);
    t.AppendLine(S("    本文ソ"), 0);
    // Typing in the middle of the header, a line break and two characters.
    const std::int64_t end = t.Replace(6, 6, {{"\r\n" + S("能"), 0}});
    EXPECT_EQ(end, 6 + 2 + 2);
    ASSERT_EQ(t.LineCount(), 3);
    EXPECT_EQ(t.Line(0), S("見出し"));
    EXPECT_EQ(t.Line(1), S("能") + ".txt");
    EXPECT_EQ(t.FormatAt(0, 0), red);
    EXPECT_EQ(t.FormatAt(1, 0), 0);
    EXPECT_EQ(t.FormatAt(1, 2), red);
    EXPECT_EQ(t.BreakFormat(0), 0); // the inserted break, in the inserted text's look
    EXPECT_EQ(t.BreakFormat(1), red);

    // Across lines: from inside line 1 to inside line 2, by text in another format, CR alone
    // and LF alone breaking lines too.
    const int blue = t.Intern({0xff0000, 0, false, true});
    const std::int64_t from = t.LineStart(1) + 2, to = t.LineStart(2) + 6;
    EXPECT_EQ(t.Replace(from, to, {{"x\ry\nz", blue}}), from + 7);
    ASSERT_EQ(t.LineCount(), 4);
    EXPECT_EQ(t.Line(1), S("能") + "x");
    EXPECT_EQ(t.Line(2), "y");
    EXPECT_EQ(t.Line(3), "z" + S("文ソ"));
    EXPECT_EQ(t.FormatAt(3, 0), blue);
    EXPECT_EQ(t.FormatAt(3, 1), 0);
    EXPECT_EQ(t.Length(), static_cast<std::int64_t>(t.Text().size()));

    // Deleting everything leaves one empty line.
    t.Replace(0, t.Length(), {});
    EXPECT_EQ(t.LineCount(), 1);
    EXPECT_EQ(t.Text(), "");
    EXPECT_EQ(t.Length(), 0);
}

TEST(PaneText, FormatChangesMergeAndReachLineBreaks) {
    TPaneText t;
    t.AppendLine(S("一二三四"), 0);
    t.AppendLine("", 0);
    t.AppendLine("abc", 0);
    TFormatChange bold;
    bold.bold = true;
    bold.color = 255;
    t.ChangeFormat(2, 6, bold); // 二三
    const int marked = t.Intern({255, 0, true, false});
    EXPECT_EQ(t.Spans(0), (std::vector<TPaneText::Span>{{2, 0}, {6, marked}, {8, 0}}));
    t.ChangeFormat(0, 2, bold); // 一 joins them
    EXPECT_EQ(t.Spans(0), (std::vector<TPaneText::Span>{{6, marked}, {8, 0}}));
    // From the end of line 0 through the empty line into line 2: the breaks and the empty line
    // change, the rest of line 0 does not.
    TFormatChange under;
    under.underline = true;
    t.ChangeFormat(8, t.LineStart(2) + 1, under);
    const int u = t.Intern({rtf::kAutoColor, 0, false, true});
    EXPECT_EQ(t.FormatAt(0, 7), 0);
    EXPECT_EQ(t.BreakFormat(0), u);
    EXPECT_EQ(t.BreakFormat(1), u);
    EXPECT_EQ(t.Spans(2), (std::vector<TPaneText::Span>{{1, u}, {3, 0}}));
    // The typing format: the character before, at a line's start the first one, on an empty
    // line the line's own.
    EXPECT_EQ(t.FormatForTyping(2), marked);
    EXPECT_EQ(t.FormatForTyping(0), marked);
    EXPECT_EQ(t.FormatForTyping(8), 0);
    EXPECT_EQ(t.FormatForTyping(t.LineStart(1)), u);
    EXPECT_EQ(t.FormatForTyping(t.LineStart(2)), u);
}

TEST(PaneText, RunsMergeNeighboursAndCarryBreaksWithTheTextBefore) {
    TPaneText t;
    const int red = t.Intern(Red());
    t.AppendLine("", 0);
    t.AppendLine("head", red);
    t.AppendLine("a", red);
    const std::vector<rtf::Run> runs = t.Runs(0, t.Length());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "\r\n");
    EXPECT_EQ(runs[1].text, "head\r\na");
    EXPECT_EQ(runs[1].color, 255u);
    EXPECT_EQ(runs[1].points, 12);
    EXPECT_TRUE(runs[1].bold);
    // A part of a line.
    const std::vector<rtf::Run> part = t.Runs(t.LineStart(1) + 1, t.LineStart(1) + 3);
    ASSERT_EQ(part.size(), 1u);
    EXPECT_EQ(part[0].text, "ea");
    // A line coloured without its break: the break goes with the coloured text before it.
    TFormatChange green;
    green.color = 0x8000;
    t.ChangeFormat(t.LineStart(1), t.LineEnd(1), green);
    const std::vector<rtf::Run> coloured = t.Runs(t.LineStart(1), t.LineStart(2));
    ASSERT_EQ(coloured.size(), 1u);
    EXPECT_EQ(coloured[0].text, "head\r\n");
    EXPECT_EQ(coloured[0].color, 0x8000u);
}

TEST(PaneText, FindStartsOnCharacterBoundariesFromAnyPosition) {
    TPaneText t;
    // 表 0x95 0x5C and 能 0x94 0x5C: a "\" that is a second byte; ポ 0x83 0x7C: a "|" that is.
    t.AppendLine(S("表能ポ\\|x表"), 0);
    t.AppendLine(S("ソ表"), 0);
    struct Case {
        const char* what;
        std::int64_t from;
        std::int64_t at;
    } cases[] = {
        {"\\", 0, 6},       {"\\", 1, 6},   {"\\", 5, 6},   {"|", 0, 7},    {"|", 3, 7},
        {"表", 0, 0},       {"表", 1, 9},   {"表", 9, 9},   {"表", 10, 15}, {"x表", 2, 8},
        {"表\r\nソ", 0, 9}, {"ソ", 11, 13}, {"ソ", 14, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(t.Find(S(c.what), c.from), c.at) << c.what << " from " << c.from;
    // Whole words: a two-byte character beside it is part of the word.
    TPaneText w;
    w.AppendLine(S("表abc abc"), 0);
    EXPECT_EQ(w.Find("abc", 0, -1, true), 6);
    EXPECT_EQ(w.Find("abc", 3, -1, true), 6);
    EXPECT_EQ(w.Find("ABC", 0, -1, true), 6);
    EXPECT_EQ(w.Find("ABC", 0, -1, true, true), -1);
}

// Random edits beside a plain restatement: every byte's place, text and format must agree, and
// the kept text and line starts must follow every edit.
TEST(PaneText, RandomEditsAgreeWithAPlainRestatement) {
    std::mt19937 rng(2024);
    const std::string alphabet[] = {"a",     "Z",    " ",  S("ソ"), S("表"), S("能"),
                                    S("ポ"), "\r\n", "\n", "\r",    "\\",    "|"};
    auto randomText = [&](int maxChars) {
        std::string s;
        const int n = static_cast<int>(rng() % static_cast<unsigned>(maxChars + 1));
        for (int i = 0; i < n; ++i)
            s += alphabet[rng() % std::size(alphabet)];
        return s;
    };
    for (int round = 0; round < 60; ++round) {
        TPaneText t;
        Reference ref;
        bool fresh = true; // the first append goes into the first line
        std::vector<int> formats = {0, t.Intern(Red()), t.Intern({0x8000, 0, true, true})};
        for (int step = 0; step < 40; ++step) {
            const std::int64_t length = t.Length();
            auto pos = [&] { return t.Snap(static_cast<std::int64_t>(rng() % (length + 1))); };
            switch (rng() % 4) {
            case 0: { // append
                std::string line;
                for (char c : randomText(6))
                    if (c != '\r' && c != '\n') line += c;
                const int f = formats[rng() % formats.size()];
                t.AppendLine(line, f);
                if (!fresh) {
                    ref.bytes += '\n';
                    ref.formats.push_back(-1);
                }
                ref.bytes += line;
                ref.formats.insert(ref.formats.end(), line.size(), f);
                fresh = false;
                break;
            }
            case 1:
            case 2: { // replace
                std::int64_t a = pos(), b = pos();
                if (b < a) std::swap(a, b);
                const std::string text = randomText(5);
                const int f = formats[rng() % formats.size()];
                const std::int64_t end = t.Replace(a, b, {{text, f}});
                fresh = false;
                std::string plain;
                std::vector<int> fs;
                for (std::size_t k = 0; k < text.size(); ++k) {
                    if (text[k] == '\r' || text[k] == '\n') {
                        if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
                        plain += '\n';
                        fs.push_back(-1);
                    } else {
                        plain += text[k];
                        fs.push_back(f);
                    }
                }
                const std::size_t ia = ref.Index(a), ib = ref.Index(b);
                ref.bytes.replace(ia, ib - ia, plain);
                ref.formats.erase(ref.formats.begin() + static_cast<std::ptrdiff_t>(ia),
                                  ref.formats.begin() + static_cast<std::ptrdiff_t>(ib));
                ref.formats.insert(ref.formats.begin() + static_cast<std::ptrdiff_t>(ia),
                                   fs.begin(), fs.end());
                EXPECT_EQ(ref.Index(end), ia + plain.size());
                break;
            }
            case 3: { // format
                std::int64_t a = pos(), b = pos();
                if (b < a) std::swap(a, b);
                TFormatChange c;
                c.color = 0xff0000;
                if (rng() % 2) c.underline = true;
                t.ChangeFormat(a, b, c);
                for (std::size_t k = ref.Index(a); k < ref.Index(b); ++k)
                    if (ref.formats[k] >= 0)
                        ref.formats[k] = t.Intern(c.Applied(t.Format(ref.formats[k])));
                break;
            }
            }
            ASSERT_EQ(t.Text(), ref.Text()) << "round " << round << " step " << step;
            ASSERT_EQ(t.Length(), static_cast<std::int64_t>(ref.Text().size()));
            std::vector<int> got = FormatsOf(t), want = ref.formats;
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t k = 0; k < got.size(); ++k) {
                if (want[k] >= 0) {
                    ASSERT_EQ(got[k], want[k]) << "byte " << k;
                }
            }
            // Line starts against the joined text.
            std::int64_t start = 0;
            for (int line = 0; line < t.LineCount(); ++line) {
                ASSERT_EQ(t.LineStart(line), start);
                ASSERT_EQ(t.LineOf(start), line);
                start += static_cast<std::int64_t>(t.Line(line).size()) + 2;
            }
            // The runs spell the text.
            std::string spelled;
            for (const rtf::Run& r : t.Runs(0, t.Length()))
                spelled += r.text;
            ASSERT_EQ(spelled, t.Text());
        }
    }
}

} // namespace
