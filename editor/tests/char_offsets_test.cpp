// The text as characters: offsets kept edit by edit against a count from scratch, and every
// edit reported as what it removed and inserted.
#include "char_offsets.h"
#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

// The characters of a Shift-JIS text with CR LF line ends, a line end being one "\n".
std::vector<std::string> Chars(const std::string& Text) {
    std::vector<std::string> out;
    for (size_t i = 0; i < Text.size();) {
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') {
            out.emplace_back("\n");
            i += 2;
            continue;
        }
        const size_t n =
            cp932::IsLeadByte(static_cast<unsigned char>(Text[i])) && i + 1 < Text.size() ? 2 : 1;
        out.push_back(Text.substr(i, n));
        i += n;
    }
    return out;
}

std::string Join(const std::vector<std::string>& C, size_t From, size_t To) {
    std::string s;
    for (size_t i = From; i < To && i < C.size(); ++i)
        s += C[i];
    return s;
}

// A focused model whose edits are followed as characters, recording what each reported.
struct Model : TEditorModel {
    Model() {
        MutableMetrics().VisibleRowCount = 20;
        MutableMetrics().VisibleColCount = 40;
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
    bool TextEditsWanted() const override { return true; }
    void TextChangedView(const TTextEdit* Edit) override {
        edits.push_back(Edit ? *Edit : TTextEdit{-1, {}, {}});
    }
    std::vector<TTextEdit> edits;
};

TEST(CharOffsets, CountCharactersAndLineEndsOnce) {
    Model m;
    // ソ 表 能 ポ have a second byte that is an ASCII character.
    m.Lines().SetText(Sjis("aソ表\r\n能ポｱ\r\n\r\nx"));
    TCharOffsets& c = m.CharOffsets();
    EXPECT_EQ(c.Length(), 10);
    EXPECT_EQ(c.Text(0, 10), Sjis("aソ表\n能ポｱ\n\nx"));
    EXPECT_EQ(c.Text(2, 6), Sjis("表\n能ポ"));
    struct Case {
        int offset;
        TCharOffsets::TPlace place;
    } cases[] = {{0, {0, 0}}, {1, {0, 1}}, {2, {0, 3}}, {3, {0, 5}}, {4, {1, 0}}, {5, {1, 2}},
                 {6, {1, 4}}, {7, {1, 5}}, {8, {2, 0}}, {9, {3, 0}}, {10, {3, 1}}};
    for (const Case& k : cases) {
        EXPECT_EQ(c.PlaceOf(k.offset), k.place) << k.offset;
        EXPECT_EQ(c.OffsetOf(k.place.Row, k.place.Byte), k.offset) << k.offset;
    }
    // A byte inside a two-byte character counts the character before it.
    EXPECT_EQ(c.OffsetOf(0, 2), 2);
    // After a final line end the text's end is the row after the last.
    m.Lines().SetText("ab\r\n");
    EXPECT_EQ(m.CharOffsets().Length(), 3);
    EXPECT_EQ(m.CharOffsets().PlaceOf(3), (TCharOffsets::TPlace{1, 0}));
    EXPECT_EQ(m.CharOffsets().OffsetOf(1, 0), 3);
}

// Random edits of every kind, with and without wrapping: after each the kept offsets are those
// of a count from scratch, and the edit reported turns the old text into the new one.
TEST(CharOffsets, EveryEditIsReportedAndTheOffsetsFollowIt) {
    const char* pieces[] = {"a", "ソ", "表", "能", "ポ", "\t", " ", "\r\n", "x", "ｱ", "、", "。"};
    std::mt19937 rng(5);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto text = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i)
            t += Sjis(pieces[pick(12)]);
        return t;
    };
    for (bool wrap : {false, true}) {
        Model m;
        m.WrapOption().SetWrapByte(12);
        m.SetWordWrap(wrap);
        m.Lines().SetText(text(120));
        m.CharOffsets().Length(); // followed from here on
        std::vector<std::string> before = Chars(m.Lines().Text());
        const std::vector<std::function<void()>> commands = {
            [&] { m.InsertString(text(1 + pick(3))); },
            [&] { m.KeyChar(static_cast<unsigned char>('z')); },
            [&] { m.BackSpace(); },
            [&] { m.DeleteKey(); },
            [&] { m.ReturnKey(); },
            [&] {
                m.SetSelLength(pick(12));
                m.SetSelText(text(pick(4)));
            },
            [&] {
                m.SetSelLength(1 + pick(8));
                m.DeleteSelection();
            },
            [&] { m.Undo(); },
            [&] { m.Redo(); },
            [&] { m.Lines().Put(0, text(pick(5))); },
        };
        for (int step = 0; step < 400; ++step) {
            m.SetSelStart(pick(m.TextLength() + 1));
            m.edits.clear();
            const int which = pick(static_cast<int>(commands.size()));
            commands[static_cast<size_t>(which)]();
            const std::vector<std::string> after = Chars(m.Lines().Text());
            SCOPED_TRACE("step " + std::to_string(step) + " command " + std::to_string(which));
            // Each command is one edit, reported once, unless it changed nothing.
            ASSERT_LE(m.edits.size(), 1u);
            if (m.edits.empty()) {
                ASSERT_EQ(after, before);
            } else {
                const TTextEdit& e = m.edits[0];
                ASSERT_GE(e.Offset, 0);
                const size_t o = static_cast<size_t>(e.Offset);
                const size_t removed = Chars(e.Removed).size();
                EXPECT_EQ(Join(before, o, o + removed), e.Removed);
                EXPECT_EQ(Join(before, 0, o) + e.Inserted +
                              Join(before, o + removed, before.size()),
                          Join(after, 0, after.size()));
            }
            TCharOffsets& c = m.CharOffsets();
            ASSERT_EQ(c.Length(), static_cast<int>(after.size()));
            TCharOffsets fresh(m.List());
            for (int r = 0; r <= m.RowCount(); ++r)
                ASSERT_EQ(c.RowStart(r), fresh.RowStart(r)) << "row " << r;
            const int o = pick(static_cast<int>(after.size()) + 1);
            EXPECT_EQ(c.Text(o, o + 3), Join(after, static_cast<size_t>(o), o + 3u));
            const TCharOffsets::TPlace p = c.PlaceOf(o);
            EXPECT_EQ(c.OffsetOf(p.Row, p.Byte), o);
            before = after;
        }
    }
}

// A long text is kept in blocks of rows: edits that take out rows of several blocks, or put in
// more rows than a block holds, keep every offset right.
TEST(CharOffsets, EditsOverManyRowsKeepTheOffsetsOfEveryRow) {
    std::mt19937 rng(9);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto lines = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i)
            t +=
                Sjis(i % 3 ? "表ソ" : "ab") + std::string(static_cast<size_t>(i % 5), 'x') + "\r\n";
        return t;
    };
    Model m;
    m.Lines().SetText(lines(3000));
    m.CharOffsets().Length();
    for (int step = 0; step < 60; ++step) {
        m.SetSelStart(pick(m.TextLength() + 1));
        m.edits.clear();
        switch (step % 3) {
        case 0: // a selection over many rows taken out
            m.SetSelLength(pick(8000));
            m.DeleteSelection();
            break;
        case 1: // more rows than a block holds put in
            m.InsertString(lines(600 + pick(1200)));
            break;
        default:
            m.KeyChar('z');
            break;
        }
        SCOPED_TRACE("step " + std::to_string(step));
        ASSERT_EQ(m.edits.size(), 1u);
        ASSERT_GE(m.edits[0].Offset, 0) << "followed edit by edit";
        TCharOffsets fresh(m.List());
        TCharOffsets& c = m.CharOffsets();
        ASSERT_EQ(c.Length(), fresh.Length());
        for (int r = 0; r <= m.RowCount(); ++r)
            ASSERT_EQ(c.RowStart(r), fresh.RowStart(r)) << "row " << r;
        const int o = pick(c.Length() + 1);
        ASSERT_EQ(c.PlaceOf(o), fresh.PlaceOf(o)) << o;
    }
}

TEST(CharOffsets, ATextSetOrLoadedWholeIsCountedAfresh) {
    Model m;
    m.Lines().SetText(Sjis("表ソ\r\nab"));
    EXPECT_EQ(m.CharOffsets().Length(), 5);
    m.edits.clear();
    m.Lines().SetText(Sjis("能\r\nポポ\r\n"));
    ASSERT_EQ(m.edits.size(), 1u);
    EXPECT_EQ(m.edits[0].Offset, -1) << "no edit to tell";
    EXPECT_EQ(m.CharOffsets().Length(), 5);
    EXPECT_EQ(m.CharOffsets().Text(0, 5), Sjis("能\nポポ\n"));
    // Wrapping moves rows, not characters.
    m.WrapOption().SetWrapByte(20);
    m.Lines().SetText(Sjis("表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ表ソ能ポ"));
    const int length = m.CharOffsets().Length();
    m.SetWordWrap(true);
    ASSERT_GT(m.RowCount(), 1);
    EXPECT_EQ(m.CharOffsets().Length(), length);
    EXPECT_EQ(m.CharOffsets().RowStart(1), 10);
}

} // namespace
} // namespace editor
