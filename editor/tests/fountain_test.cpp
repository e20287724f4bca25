#include "fountain.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Tok {
    int kind;
    std::string text;
    friend bool operator==(const Tok&, const Tok&) = default;
};
std::ostream& operator<<(std::ostream& os, const Tok& t) {
    return os << "{" << t.kind << ", " << cp932::ToUtf8(t.text) << "}";
}

std::vector<Tok> Tokens(TFountain& f, const std::string& text,
                        TRowAttributeData state = TRowAttributeData::Initial()) {
    auto p = f.CreateParser();
    p->StartRow(text, state);
    std::vector<Tok> out;
    for (int k; (k = p->ReadToken()) != kdEnd;) {
        out.push_back({k, p->TokenText()});
        if (out.size() > 100) break;
    }
    return out;
}

TEST(Tokenizer, KindsOfPlainText) {
    TEditorFountain f;
    struct Case {
        const char* text;
        std::vector<std::pair<int, const char*>> tokens;
    };
    const Case cases[] = {
        {"2ch", {{kdInteger, "2"}, {kdWord, "ch"}}},
        {"1.5e-3", {{kdFloat, "1.5e-3"}}},
        {"12.", {{kdFloat, "12"}, {kdSymbol, "."}}},
        {"3E+7x", {{kdFloat, "3E+7"}, {kdWord, "x"}}},
        {"_a1 b", {{kdWord, "_a1"}, {kdWord, "b"}}},
        {"a\tb", {{kdWord, "a"}, {kdTab, "\t"}, {kdWord, "b"}}},
        {"ひらがなー", {{kdHiragana, "ひらがなー"}}},
        {"カタカナ漢字", {{kdKatakana, "カタカナ"}, {kdKanji, "漢字"}}},
        {"ＡＢｃ１２，３．４", {{kdWideLetters, "ＡＢｃ"}, {kdWideDigits, "１２，３．４"}}},
        {"ｱｲｳ｡", {{kdNarrowKana, "ｱｲｳ"}, {kdNarrowKanaSymbol, "｡"}}},
        {"「漢字」", {{kdWideSymbol, "「"}, {kdKanji, "漢字"}, {kdWideSymbol, "」"}}},
        {"αβ", {{kdWideSymbol, "α"}, {kdWideSymbol, "β"}}},
        {"ーあ", {{kdWideSymbol, "ー"}, {kdHiragana, "あ"}}},
        {"a+b", {{kdWord, "a"}, {kdSymbol, "+"}, {kdWord, "b"}}},
        {"   ", {}},
        {"x@y.z http://q",
         {{kdWord, "x"},
          {kdSymbol, "@"},
          {kdWord, "y"},
          {kdSymbol, "."},
          {kdWord, "z"},
          {kdWord, "http"},
          {kdSymbol, ":"},
          {kdSymbol, "/"},
          {kdSymbol, "/"},
          {kdWord, "q"}}},
    };
    for (const Case& c : cases) {
        std::vector<Tok> want;
        for (auto& [k, t] : c.tokens)
            want.push_back({k, Sjis(t)});
        EXPECT_EQ(Tokens(f, Sjis(c.text)), want) << c.text;
    }
}

TEST(Tokenizer, SwitchesOfTheEditorFountain) {
    TEditorFountain f;
    f.SetMail(true);
    f.SetUrl(true);
    f.SetCommenter("//");
    f.SetQuotation("'");
    f.SetControlCode(true);
    f.SetHexPrefix("0x");
    struct Case {
        const char* text;
        std::vector<std::pair<int, const char*>> tokens;
    };
    const Case cases[] = {
        {"to foo.bar@ex.co.jp,", {{kdWord, "to"}, {kdMail, "foo.bar@ex.co.jp,"}}},
        {"foo@bar x", {{kdWord, "foo"}, {kdSymbol, "@"}, {kdWord, "bar"}, {kdWord, "x"}}},
        {"see http://a.b/c?d=1&e#f!",
         {{kdWord, "see"}, {kdUrl, "http://a.b/c?d=1&e#f"}, {kdSymbol, "!"}}},
        {"www.x.jp", {{kdUrl, "www.x.jp"}}},
        {"HTTP:", {{kdWord, "HTTP"}, {kdSymbol, ":"}}},
        {"a // b 'c'", {{kdWord, "a"}, {kdComment, "// b 'c'"}}},
        {"x 'it''s' y", {{kdWord, "x"}, {kdQuotation, "'it''s'"}, {kdWord, "y"}}},
        {"'open", {{kdQuotation, "'open"}}},
        {"#13#$0aG", {{kdControlCode, "#13"}, {kdHexControlCode, "#$0a"}, {kdWord, "G"}}},
        {"0XfF+", {{kdHex, "0XfF"}, {kdSymbol, "+"}}},
        {"0", {{kdInteger, "0"}}},
    };
    for (const Case& c : cases) {
        std::vector<Tok> want;
        for (auto& [k, t] : c.tokens)
            want.push_back({k, Sjis(t)});
        EXPECT_EQ(Tokens(f, Sjis(c.text)), want) << c.text;
    }
}

TEST(Tokenizer, TokenColoursAndReserveWords) {
    TEditorFountain f;
    f.SetUrl(true);
    f.SetCommenter(";");
    f.ReserveWordList().Add(Sjis("消費税"));
    f.ReserveWordList().Add("begin");
    auto* b = f.Brackets().Add();
    b->LeftBracket = "(";
    b->RightBracket = ")";
    TEditorColors& c = f.Colors();
    auto colours = [&](const std::string& text) {
        auto p = f.CreateParser();
        p->StartRow(text, TRowAttributeData::Initial());
        std::vector<TFountainColor*> out;
        while (p->ReadToken() != kdEnd)
            out.push_back(p->TokenColor());
        return out;
    };
    using V = std::vector<TFountainColor*>;
    EXPECT_EQ(colours(Sjis("消費税")), V{&c.Reserve()});
    EXPECT_EQ(&c.Reserve(), &f.Reserve());
    EXPECT_EQ(colours(Sjis("消費税率")), V{&c.DBCS()});
    EXPECT_EQ(colours(Sjis("消費")), V{&c.DBCS()});
    EXPECT_EQ(colours("BEGIN Begins"), (V{&c.Reserve(), &c.Ank()}));
    EXPECT_EQ(colours("1 2.5 + (begin) ; begin"),
              (V{&c.Int(), &c.Int(), &c.Symbol(), &b->ItemColor(), &c.Comment()}));
    EXPECT_EQ(colours("http://x\t"), (V{&c.Url(), nullptr}));
}

TEST(Tokenizer, BracketsOpenAcrossRowsAndBadBracketState) {
    TEditorFountain f;
    auto* b = f.Brackets().Add();
    b->LeftBracket = Sjis("（");
    b->RightBracket = Sjis("）");
    auto* open = f.Brackets().Add();
    open->LeftBracket = "<";
    EXPECT_EQ(Tokens(f, Sjis("a（漢字 b）c")),
              (std::vector<Tok>{{kdWord, "a"}, {kdBracket, Sjis("（漢字 b）")}, {kdWord, "c"}}));
    // An item without a right bracket ends the row's tokens.
    EXPECT_EQ(Tokens(f, "a<b"), (std::vector<Tok>{{kdWord, "a"}}));
    auto p = f.CreateParser();
    p->StartRow(Sjis("x（y"), TRowAttributeData::Initial());
    p->ReadToken();
    EXPECT_EQ(p->ReadToken(), kdBracket);
    EXPECT_EQ(p->Bracket(), 0) << "the bracket stays open at the line end";
    TRowAttributeData inside;
    inside.Bracket = 0;
    EXPECT_EQ(Tokens(f, Sjis("y）z"), inside),
              (std::vector<Tok>{{kdBracket, Sjis("y）")}, {kdWord, "z"}}));
    TRowAttributeData bad;
    bad.Bracket = 9;
    EXPECT_EQ(Tokens(f, "abc", bad), std::vector<Tok>{});
    // With bracket detection off (-2) a left bracket is an ordinary character.
    TRowAttributeData off;
    off.Bracket = -2;
    EXPECT_EQ(Tokens(f, Sjis("（a"), off).front().kind, kdWideSymbol);
}

// Rows and their attributes, stepped from the top as the row list does, and each row painted
// from its stored state the way the drawing does: a wrapped row sees the next row's text too,
// and only tokens starting within the row are painted, clipped to it.
struct Painted {
    std::string text;
    TFountainColor* colour;
    friend bool operator==(const Painted&, const Painted&) = default;
};
std::ostream& operator<<(std::ostream& os, const Painted& t) {
    return os << "{" << cp932::ToUtf8(t.text) << ", " << t.colour << "}";
}

struct Rows {
    TRowAttributeStringList list;
    explicit Rows(std::vector<std::pair<const char*, int>> rows) {
        for (auto& [t, a] : rows) {
            int i = list.Add(Sjis(t));
            list.SetRowAttr(i, a);
        }
    }
    void Step(TFountain& f) {
        auto p = f.CreateParser();
        TRowAttributeData s = TRowAttributeData::Initial();
        for (int i = 0; i < list.Count(); ++i) {
            s.RowAttr = static_cast<std::uint8_t>(list.RowAttr(i));
            StoreRowState(list, i, s);
            p->RowStep(i, list, s);
            s.PrevRowAttr = s.RowAttr;
        }
    }
    std::vector<Painted> Paint(TFountain& f, int i) {
        auto p = f.CreateParser();
        std::string t = list.Text(i);
        size_t n = t.size();
        if (list.RowAttr(i) == Wrapped && i + 1 < list.Count()) t += list.Text(i + 1);
        p->StartRow(t, LoadRowState(list, i));
        std::vector<Painted> out;
        while (p->ReadToken() != kdEnd && static_cast<size_t>(p->TokenOffset()) < n) {
            size_t len = std::min<size_t>(p->TokenLength(), n - p->TokenOffset());
            out.push_back({t.substr(p->TokenOffset(), len), p->TokenColor()});
        }
        return out;
    }
};

TEST(RowStep, AWordAndAReserveWordCutByTheWrapKeepTheirColourOnBothRows) {
    TEditorFountain f;
    f.ReserveWordList().Add(Sjis("消費税"));
    TEditorColors& c = f.Colors();
    Rows r({{"ab 消費", Wrapped}, {"税 abc", Wrapped}, {"def", LineEnd}, {"x", EndOfText}});
    r.Step(f);
    EXPECT_EQ(r.list.CarryKind(1), kdReserve);
    EXPECT_EQ(r.list.CarryLength(1), 2);
    EXPECT_EQ(r.Paint(f, 0),
              (std::vector<Painted>{{"ab", &c.Ank()}, {Sjis("消費"), &c.Reserve()}}));
    EXPECT_EQ(r.Paint(f, 1), (std::vector<Painted>{{Sjis("税"), &c.Reserve()}, {"abc", &c.Ank()}}));
    EXPECT_EQ(r.list.CarryKind(2), kdWord);
    EXPECT_EQ(r.Paint(f, 2), (std::vector<Painted>{{"def", &c.Ank()}}));
    EXPECT_EQ(r.list.CarryKind(3), 0);
    EXPECT_EQ(r.list.CarryLength(3), 0);
}

// A token of each kind cut by the wrap keeps its colour on the row after the cut.
TEST(RowStep, EveryKindOfTokenCutByTheWrapIsColouredOnBothRows) {
    TEditorFountain f;
    f.SetUrl(true);
    f.SetMail(true);
    f.SetQuotation("'");
    f.SetHexPrefix("0x");
    f.SetControlCode(true);
    TEditorColors& c = f.Colors();
    struct Case {
        const char *first, *second;
        int carried;
        const char *before, *after; // the cut token's two parts
        TFountainColor* colour;
    };
    const Case cases[] = {
        {"ab cd", "ef y", kdWord, "cd", "ef", &c.Ank()},
        {"x http://ex", "ample.jp/a y", kdUrl, "http://ex", "ample.jp/a", &c.Url()},
        {"to ab@ex", "ample.jp y", kdMail, "ab@ex", "ample.jp", &c.Mail()},
        {"x 12", "34 y", kdInteger, "12", "34", &c.Int()},
        {"x 1.5", "e3 y", kdFloat, "1.5", "e3", &c.Int()},
        {"ab 漢", "字 y", kdKanji, "漢", "字", &c.DBCS()},
        {"ab ひら", "がな y", kdHiragana, "ひら", "がな", &c.DBCS()},
        {"ab ｱｲ", "ｳｴ y", kdNarrowKana, "ｱｲ", "ｳｴ", &c.DBCS()},
        {"x 'ab", "cd' y", kdQuotation, "'ab", "cd'", &c.Str()},
        {"x 0x1", "f y", kdHex, "0x1", "f", &c.Int()},
        {"x #1", "3 y", kdControlCode, "#1", "3", &c.Str()},
    };
    for (const Case& k : cases) {
        Rows r({{k.first, Wrapped}, {k.second, LineEnd}});
        r.Step(f);
        EXPECT_EQ(r.list.CarryKind(1), k.carried) << k.first;
        auto row0 = r.Paint(f, 0);
        auto row1 = r.Paint(f, 1);
        ASSERT_FALSE(row0.empty() || row1.empty()) << k.first;
        EXPECT_EQ(row0.back(), (Painted{Sjis(k.before), k.colour})) << k.first;
        EXPECT_EQ(row1.front(), (Painted{Sjis(k.after), k.colour})) << k.first;
        // The token after it on the second row is coloured on its own again.
        EXPECT_EQ(row1.back(), (Painted{"y", &c.Ank()})) << k.first;
    }
}

TEST(RowStep, AWordRunningOverSeveralWrappedRowsIsResumedNotMeasured) {
    TEditorFountain f;
    Rows r({{"aaaa", Wrapped}, {"bbbb", Wrapped}, {"cc d", LineEnd}});
    r.Step(f);
    // Row 1 is itself wrapped and the word reaches the end of the joined text: no length.
    EXPECT_EQ(r.list.CarryKind(1), kdWord);
    EXPECT_EQ(r.list.CarryLength(1), 0);
    EXPECT_EQ(r.list.CarryKind(2), kdWord);
    EXPECT_EQ(r.list.CarryLength(2), 2);
    TEditorColors& c = f.Colors();
    EXPECT_EQ(r.Paint(f, 1), (std::vector<Painted>{{"bbbb", &c.Ank()}}));
    EXPECT_EQ(r.Paint(f, 2), (std::vector<Painted>{{"cc", &c.Ank()}, {"d", &c.Ank()}}));
}

TEST(RowStep, ACommentOnAWrappedRowColoursTheRestOfItsLineOnly) {
    TEditorFountain f;
    f.SetCommenter("//");
    TEditorColors& c = f.Colors();
    Rows r({{"a //co", Wrapped}, {"mment", Wrapped}, {"s end", LineEnd}, {"b", EndOfText}});
    r.Step(f);
    EXPECT_EQ(r.Paint(f, 0), (std::vector<Painted>{{"a", &c.Ank()}, {"//co", &c.Comment()}}));
    EXPECT_EQ(r.Paint(f, 1), (std::vector<Painted>{{"mment", &c.Comment()}}));
    EXPECT_EQ(r.Paint(f, 2), (std::vector<Painted>{{"s end", &c.Comment()}}));
    EXPECT_EQ(r.Paint(f, 3), (std::vector<Painted>{{"b", &c.Ank()}}));
}

TEST(RowStep, ABracketOverThreeLinesAndBlankRowsInside) {
    TEditorFountain f;
    auto* b = f.Brackets().Add();
    b->LeftBracket = "(";
    b->RightBracket = ")";
    TEditorColors& c = f.Colors();
    TFountainColor* bc = &b->ItemColor();
    Rows r({{"x (a", LineEnd},
            {"", LineEnd},
            {"  ", LineEnd},
            {"b", LineEnd},
            {"c) y", LineEnd},
            {"z", EndOfText}});
    r.Step(f);
    const int brackets[] = {-1, 0, 0, 0, 0, -1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(r.list.Bracket(i), brackets[i]) << i;
    EXPECT_EQ(r.Paint(f, 0), (std::vector<Painted>{{"x", &c.Ank()}, {"(a", bc}}));
    EXPECT_EQ(r.Paint(f, 3), (std::vector<Painted>{{"b", bc}}));
    EXPECT_EQ(r.Paint(f, 4), (std::vector<Painted>{{"c)", bc}, {"y", &c.Ank()}}));
    EXPECT_EQ(r.Paint(f, 5), (std::vector<Painted>{{"z", &c.Ank()}}));
}

TEST(RowStep, AQuotationCutBeforeABlankLastRowEndsWithItsLine) {
    TEditorFountain f;
    f.SetQuotation("'");
    auto* b = f.Brackets().Add();
    b->LeftBracket = "(";
    b->RightBracket = ")";
    TEditorColors& c = f.Colors();
    Rows r({{"x 'ab", Wrapped},
            {"   ", LineEnd},
            {"y (", LineEnd},
            {"   ", LineEnd},
            {"z", EndOfText}});
    r.Step(f);
    EXPECT_EQ(r.list.CarryKind(1), kdQuotation);
    EXPECT_EQ(r.list.CarryKind(2), 0) << "the next line starts outside the string";
    EXPECT_EQ(r.Paint(f, 2), (std::vector<Painted>{{"y", &c.Ank()}, {"(", &b->ItemColor()}}));
    // An open bracket still runs on over a blank line.
    EXPECT_EQ(r.list.Bracket(4), 0);
}

TEST(RowStep, ARightBracketCutByTheWrapIsCarriedWithItsLength) {
    TEditorFountain f;
    auto* b = f.Brackets().Add();
    b->LeftBracket = "<<";
    b->RightBracket = ">>";
    TFountainColor* bc = &b->ItemColor();
    Rows r({{"a <<x>", Wrapped}, {"> b", LineEnd}, {"<<c", Wrapped}, {"d>>", LineEnd}});
    r.Step(f);
    EXPECT_EQ(r.list.CarryKind(1), kdBracket);
    EXPECT_EQ(r.list.CarryLength(1), 1);
    EXPECT_EQ(r.list.Bracket(1), 0);
    EXPECT_EQ(r.Paint(f, 1), (std::vector<Painted>{{">", bc}, {"b", &f.Colors().Ank()}}));
    EXPECT_EQ(r.list.Bracket(2), -1);
    // The bracket closes on the next row, which finds the right bracket itself.
    EXPECT_EQ(r.list.Bracket(3), 0);
    EXPECT_EQ(r.list.CarryKind(3), 0);
    EXPECT_EQ(r.Paint(f, 3), (std::vector<Painted>{{"d>>", bc}}));
}

struct Listener {
    int calls = 0;
    TObject* sender = nullptr;
    void On(TObject* s) {
        ++calls;
        sender = s;
    }
};

TEST(Fountain, ChangesReachTheListenersOnce) {
    TEditorFountain f;
    Listener l;
    f.AddListener(MakeEvent<&Listener::On>(&l));
    auto* b = f.Brackets().Add();
    EXPECT_EQ(l.calls, 1);
    EXPECT_EQ(l.sender, &f);
    b->ItemColor().SetColor(clRed);
    EXPECT_EQ(l.calls, 2);
    b->ItemColor().SetColor(clRed); // unchanged: no report
    EXPECT_EQ(l.calls, 2);
    f.Colors().Ank().SetStyle(fsBold);
    f.Reserve().SetBkColor(clBlue);
    EXPECT_EQ(l.calls, 4);
    f.ReserveWordList().Add("quiet"); // editing the list in place reports nothing
    EXPECT_EQ(l.calls, 4);
    TStringList words;
    words.Add("loud");
    f.SetReserveWordList(words);
    EXPECT_EQ(l.calls, 5);
    EXPECT_EQ(f.ReserveWordList().IndexOf("quiet"), -1);
    f.SetMail(true);
    f.SetMail(true);
    EXPECT_EQ(l.calls, 6);

    f.SetAllColor(clGreen);
    EXPECT_EQ(l.calls, 7);
    EXPECT_EQ(f.Colors().Url().Color(), clGreen);
    EXPECT_EQ(f.Reserve().Color(), clGreen);
    EXPECT_EQ(f.Colors().Select().Color(), clWhite) << "Select keeps its colours";
    EXPECT_EQ(f.Colors().Hit().Color(), clNone) << "Hit keeps its colours";
    f.SetAllStyle(fsUnderline);
    EXPECT_EQ(l.calls, 8);
    EXPECT_EQ(f.Colors().DBCS().Style(), fsUnderline);

    TEditorColors other(&f);
    other.Ank().SetColor(clTeal);
    f.Colors().Assign(other);
    EXPECT_EQ(l.calls, 9);
    EXPECT_EQ(f.Colors().Ank().Color(), clTeal);
    EXPECT_EQ(f.Colors().Select().BkColor(), clNavy);
}

TEST(Fountain, TheBracketCollectionHoldsFourteenItems) {
    TEditorFountain f;
    for (int i = 0; i < 14; ++i)
        f.Brackets().Add();
    try {
        f.Brackets().Add();
        ADD_FAILURE() << "no error";
    } catch (const ECollectionError& e) {
        EXPECT_STREQ(e.what(), "TFountainBracketCollection\r\nYou can not add item over 14");
    }
    EXPECT_EQ(f.Brackets().Count(), 14);
    TEditorFountain g;
    g.Brackets().Add()->LeftBracket = "[";
    g.Brackets().Items(0).ItemColor().SetColor(clRed);
    Listener l;
    f.AddListener(MakeEvent<&Listener::On>(&l));
    f.SetBrackets(g.Brackets());
    EXPECT_EQ(l.calls, 1) << "the copy reports once";
    ASSERT_EQ(f.Brackets().Count(), 1);
    EXPECT_EQ(f.Brackets().Items(0).LeftBracket, "[");
    EXPECT_EQ(f.Brackets().Items(0).ItemColor().Color(), clRed);
    // Setting every item's colour at once also reports once.
    f.Brackets().Add();
    f.EditorBrackets().SameColor(clBlue);
    EXPECT_EQ(l.calls, 3);
    EXPECT_EQ(f.Brackets().Items(1).ItemColor().Color(), clBlue);
    f.EditorBrackets().SameStyle(fsBold);
    EXPECT_EQ(l.calls, 4);
    // The collection's own echo is no change of a child.
    f.Brackets().ChildChanged(&f.Brackets());
    EXPECT_EQ(l.calls, 4);
    f.Brackets().ChildChanged(&f.Brackets().Items(0));
    EXPECT_EQ(l.calls, 5);
    EXPECT_EQ(f.Brackets().GetOwner(), &f);
}

TEST(Fountain, ItalicIsFoundInAnyReachableColourClass) {
    TEditorFountain f;
    EXPECT_FALSE(f.HasItalicStyle(f));
    f.Brackets().Add();
    f.Brackets().Add()->ItemColor().SetStyle(fsItalic | fsBold);
    EXPECT_TRUE(f.HasItalicStyle(f));
    f.Brackets().Items(1).ItemColor().SetStyle(fsBold);
    f.Colors().Select().SetStyle(fsItalic);
    EXPECT_TRUE(f.HasItalicStyle(f));
    f.Colors().Select().SetStyle(0);
    f.Reserve().SetStyle(fsItalic);
    EXPECT_TRUE(f.HasItalicStyle(f));
}

TEST(Fountain, ParserNeedsAFountainAndDefaultsAreClean) {
    try {
        TFountainParser p(nullptr);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "TFountainParser.Create need instance of TFountain");
    }
    TEditorFountain f;
    EXPECT_EQ(f.Colors().Ank().BkColor(), clNone);
    EXPECT_EQ(f.Colors().Ank().Color(), clNone);
    EXPECT_EQ(f.Colors().Select().BkColor(), clNavy);
    EXPECT_EQ(f.Colors().Select().Color(), clWhite);
    EXPECT_FALSE(f.Mail());
    EXPECT_TRUE(f.Commenter().empty());
    TRowAttributeData init = TRowAttributeData::Initial();
    EXPECT_EQ(init.Bracket, -1);
    EXPECT_EQ(init.CarryKind, 0);
}

} // namespace
} // namespace editor
