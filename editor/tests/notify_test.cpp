#include "notify.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

// Counts the reports it receives and remembers who sent them.
struct Counter {
    int calls = 0;
    std::vector<TObject*> senders;
    void On(TObject* s) {
        ++calls;
        senders.push_back(s);
    }
    TNotifyEvent Event() { return MakeEvent<&Counter::On>(this); }
};

TEST(NotifyPersistent, UpdateBracketsReportOnceWhenTheOutermostCloses) {
    TNotifyPersistent p;
    Counter c;
    p.OnChange = c.Event();
    p.Changed();
    EXPECT_EQ(c.calls, 1);
    EXPECT_EQ(c.senders.back(), &p);

    p.BeginUpdate();
    p.Changed();
    p.Changed();
    p.Changed();
    EXPECT_EQ(c.calls, 1);
    p.EndUpdate();
    EXPECT_EQ(c.calls, 2);

    p.BeginUpdate();
    p.BeginUpdate();
    p.Changed();
    p.EndUpdate();
    EXPECT_EQ(c.calls, 2) << "inner EndUpdate must not report";
    p.EndUpdate();
    EXPECT_EQ(c.calls, 3);

    // A child's report reaches the parent, its own echo does not.
    TNotifyPersistent child;
    child.OnChange = MakeEvent<&TNotifyPersistent::ChildChanged>(&p);
    child.Changed();
    EXPECT_EQ(c.calls, 4);
    p.ChildChanged(&p);
    EXPECT_EQ(c.calls, 4);
}

TEST(NotifyPersistent, MethodListRemovesOnlyTheLastEqualCopy) {
    Counter a, b;
    TMethodList l;
    l.Add(a.Event());
    l.Add(b.Event());
    l.Add(a.Event());
    l.Remove(a.Event());
    ASSERT_EQ(l.Count(), 2);
    EXPECT_EQ(l[0], a.Event());
    EXPECT_EQ(l[1], b.Event());
    Counter other;
    l.Remove(other.Event()); // not there: nothing happens
    EXPECT_EQ(l.Count(), 2);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
}

TEST(NotifyPersistent, EventListCallsEveryListenerInOrderWithTheOwner) {
    TPersistent owner;
    TNotifyEventList list(&owner);
    std::vector<int> order;
    struct L {
        std::vector<int>* order;
        int id;
        TObject* sender = nullptr;
        void On(TObject* s) {
            order->push_back(id);
            sender = s;
        }
    } l1{&order, 1}, l2{&order, 2};
    list.AddListener(MakeEvent<&L::On>(&l1));
    list.AddListener(MakeEvent<&L::On>(&l2));
    list.BeginUpdate();
    list.Changed();
    EXPECT_TRUE(order.empty());
    list.EndUpdate();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(l1.sender, &owner);
    list.RemoveListener(MakeEvent<&L::On>(&l1));
    list.Changed();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 2}));
}

TEST(NotifyPersistent, FileExtListIsSortedCaseInsensitiveWithoutDuplicates) {
    TFileExtComponent c;
    c.FileExtList().Add(".txt");
    c.FileExtList().Add(".HTM");
    c.FileExtList().Add(".TXT");
    EXPECT_EQ(c.FileExtList().Count(), 2);
    EXPECT_EQ(c.FileExtList()[0], ".HTM");
    EXPECT_TRUE(c.HasFileExt(".htm"));
    EXPECT_TRUE(c.HasFileExt(".Txt"));
    EXPECT_FALSE(c.HasFileExt(".doc"));
    TStringList other;
    other.Add(".pas");
    c.SetFileExtList(other);
    EXPECT_TRUE(c.HasFileExt(".PAS"));
    EXPECT_FALSE(c.HasFileExt(".txt"));
}

struct ListEvents {
    std::vector<char> log; // 'g' changing, 'd' changed
    void Changing(TObject*) { log.push_back('g'); }
    void Changed(TObject*) { log.push_back('d'); }
    void Attach(TVelStringList& l) {
        l.OnChanging = MakeEvent<&ListEvents::Changing>(this);
        l.OnChange = MakeEvent<&ListEvents::Changed>(this);
    }
    std::string Str() const { return std::string(log.begin(), log.end()); }
};

TEST(VelStringList, EveryEditReportsChangingThenChangedAndClearOfEmptyReportsNothing) {
    TVelStringList l;
    ListEvents ev;
    ev.Attach(l);
    l.Clear();
    EXPECT_EQ(ev.Str(), "");
    EXPECT_EQ(l.Add("a"), 0);
    l.Add("b");
    l.Insert(1, "x");
    l.Put(0, "A");
    l.Exchange(0, 2);
    l.Delete(1);
    EXPECT_EQ(ev.Str(), "gdgdgdgdgdgd");
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l[0], "b");
    EXPECT_EQ(l[1], "A");

    ev.log.clear();
    l.BeginUpdate();
    l.Add("c");
    l.Add("d");
    l.BeginUpdate();
    l.Delete(0);
    l.EndUpdate();
    EXPECT_EQ(ev.Str(), "g");
    l.EndUpdate();
    EXPECT_EQ(ev.Str(), "gd");

    ev.log.clear();
    l.Clear();
    EXPECT_EQ(ev.Str(), "gd");
    EXPECT_EQ(l.GetCapacity(), 0);
}

TEST(VelStringList, CapacityGrowsInSteps) {
    // By 4 up to 8, by 16 up to 64, then by a quarter.
    TVelStringList l;
    std::vector<int> seen;
    for (int i = 0; i < 200; ++i) {
        l.Add("x");
        if (seen.empty() || seen.back() != l.GetCapacity()) seen.push_back(l.GetCapacity());
    }
    EXPECT_EQ(seen, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183, 228}));
}

TEST(VelStringList, DestroyingTheListReportsNothing) {
    ListEvents ev;
    {
        TVelStringList l;
        l.Add("a");
        ev.Attach(l);
    }
    EXPECT_EQ(ev.Str(), "");
}

TEST(VelStringList, IndexOutsideTheListRaisesTheIndexMessage) {
    TRowAttributeStringList l;
    l.Add("a");
    const std::string msg = Sjis("リストのインデックスが範囲を超えています");
    auto expectIndexError = [&](auto f, const char* what) {
        try {
            f();
            ADD_FAILURE() << what << " did not raise";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.what(), msg) << what;
        }
    };
    expectIndexError([&] { l.Get(1); }, "Get(1)");
    expectIndexError([&] { l.Get(-1); }, "Get(-1)");
    expectIndexError([&] { l.Put(1, "x"); }, "Put");
    expectIndexError([&] { l.Delete(1); }, "Delete");
    expectIndexError([&] { l.Exchange(0, 1); }, "Exchange");
    expectIndexError([&] { l.Insert(2, "x"); }, "Insert(2)");
    expectIndexError([&] { l.Insert(-1, "x"); }, "Insert(-1)");
    expectIndexError([&] { l.Tag(1); }, "Tag");
    expectIndexError([&] { l.SetAttr1(1, 0); }, "SetAttr1");
    expectIndexError([&] { l.RowAttr(1); }, "RowAttr");
    expectIndexError([&] { l.SetBracket(-1, 0); }, "SetBracket");
    expectIndexError([&] { l.RowMarks(5); }, "RowMarks");
    l.Insert(1, "end"); // Insert at the count is allowed
    EXPECT_EQ(l.Count(), 2);
}

TEST(VelStringList, InsertedRowStartsClearedAndExchangeSwapsAllFields) {
    TRowAttributeStringList l;
    l.Add("a");
    l.Add("b");
    l.SetTag(0, 7);
    l.SetContextText(0, "ctx");
    l.SetAttr1(0, 0xFFFFFFFF);
    l.SetAttr2(0, 0x12345678);
    l.Insert(1, "mid");
    EXPECT_EQ(l.ContextText(1), "");
    EXPECT_EQ(l.Tag(1), 0);
    EXPECT_EQ(l.Attr1(1), 0u);
    EXPECT_EQ(l.Attr2(1), 0u);
    EXPECT_EQ(l.Bracket(1), -2);
    l.Exchange(0, 2);
    EXPECT_EQ(l[2], "a");
    EXPECT_EQ(l.Tag(2), 7);
    EXPECT_EQ(l.ContextText(2), "ctx");
    EXPECT_EQ(l.Attr2(2), 0x12345678u);
    EXPECT_EQ(l.Attr1(0), 0u);
    l.Put(2, "new");
    EXPECT_EQ(l.Tag(2), 7) << "Put replaces the text only";
    TObject o;
    l.PutObject(0, &o);
    EXPECT_EQ(l.GetObject(0), nullptr) << "objects are not kept";
}

// Each field is written at both ends of its range and read back; the words show exactly the
// field's bits, and a write over full words clears only the field's own bits.
TEST(RowAttributeStringList, FieldsArePackedAtTheirBitsAndLeaveTheOthersAlone) {
    using R = TRowAttributeStringList;
    struct Field {
        const char* name;
        void (R::*set)(int, int);
        int (R::*get)(int) const;
        int word, shift, bits, bias, lo, hi;
    };
    const Field fields[] = {
        {"RowAttr", &R::SetRowAttr, &R::RowAttr, 1, 0, 2, 0, 0, 2},
        {"PrevRowAttr", &R::SetPrevRowAttr, &R::PrevRowAttr, 1, 2, 2, 0, 0, 2},
        {"Bracket", &R::SetBracket, &R::Bracket, 1, 4, 4, 2, -2, 13},
        {"Context", &R::SetContext, &R::Context, 1, 8, 8, 0, 0, 255},
        {"CarryLength", &R::SetCarryLength, &R::CarryLength, 1, 16, 8, 0, 0, 255},
        {"Spare", &R::SetSpare, &R::Spare, 1, 24, 8, 0, 0, 255},
        {"CarryKind", &R::SetCarryKind, &R::CarryKind, 2, 0, 8, 0, 0, 255},
        {"PrevKind", &R::SetPrevKind, &R::PrevKind, 2, 8, 8, 0, 0, 255},
        {"RowMarks", &R::SetRowMarks, &R::RowMarks, 2, 16, 16, 0, 0, 0xFFFF},
    };
    for (const Field& f : fields) {
        const std::uint32_t mask = ((f.bits == 32 ? 0u : (1u << f.bits)) - 1u) << f.shift;
        for (int v : {f.lo, f.hi, f.lo + 1}) {
            R l;
            l.Add("r");
            (l.*f.set)(0, v);
            EXPECT_EQ((l.*f.get)(0), v) << f.name;
            std::uint32_t expect = static_cast<std::uint32_t>(v + f.bias) << f.shift;
            EXPECT_EQ(f.word == 1 ? l.Attr1(0) : l.Attr2(0), expect) << f.name << " " << v;
            EXPECT_EQ(f.word == 1 ? l.Attr2(0) : l.Attr1(0), 0u) << f.name << " " << v;
        }
        R l;
        l.Add("r");
        l.SetAttr1(0, 0xFFFFFFFF);
        l.SetAttr2(0, 0xFFFFFFFF);
        (l.*f.set)(0, f.lo);
        EXPECT_EQ(f.word == 1 ? l.Attr1(0) : l.Attr2(0), ~mask) << f.name;
        EXPECT_EQ(f.word == 1 ? l.Attr2(0) : l.Attr1(0), 0xFFFFFFFFu) << f.name;
    }
    // A cleared word reads Bracket -2; a value too wide for its field is cut to the field and
    // never spills into the next one.
    R l;
    l.Add("r");
    EXPECT_EQ(l.Bracket(0), -2);
    l.SetCarryLength(0, 300);
    EXPECT_EQ(l.CarryLength(0), 300 & 0xFF);
    EXPECT_EQ(l.Spare(0), 0);
}

// Rows are kept in blocks; a long random run of inserts, deletes and exchanges must agree with
// a plain vector, across block splits and merges.
TEST(VelStringList, AgreesWithAPlainVectorUnderRandomEdits) {
    std::mt19937 rng(42);
    TVelStringList l;
    std::vector<std::string> ref;
    for (int step = 0; step < 20000; ++step) {
        int op = static_cast<int>(rng() % 10);
        int n = static_cast<int>(ref.size());
        if (op < 5 || n == 0) {
            int at = static_cast<int>(rng() % (n + 1));
            std::string s = std::to_string(step);
            l.Insert(at, s);
            ref.insert(ref.begin() + at, s);
        } else if (op < 8) {
            int at = static_cast<int>(rng() % n);
            int k = 1 + static_cast<int>(rng() % std::min(n - at, 700));
            l.DeleteRecords(at, k);
            ref.erase(ref.begin() + at, ref.begin() + at + k);
        } else if (op == 8) {
            int at = static_cast<int>(rng() % (n + 1));
            int k = 1 + static_cast<int>(rng() % 1200);
            l.InsertRecords(at, k);
            ref.insert(ref.begin() + at, static_cast<size_t>(k), std::string());
        } else {
            int i = static_cast<int>(rng() % n), j = static_cast<int>(rng() % n);
            l.Exchange(i, j);
            std::swap(ref[i], ref[j]);
        }
        ASSERT_EQ(l.Count(), static_cast<int>(ref.size()));
        if (step % 500 == 0 || step > 19900) {
            for (int i = 0; i < l.Count(); ++i) {
                ASSERT_EQ(l.Text(i), ref[i]) << step << " " << i;
            }
        }
    }
}

TEST(SjisHelpers, CharacterPositionTests) {
    // "aア" then "A": the trail byte of ア is 0x41, the same as 'A'.
    const std::string t = "a" + Sjis("ア") + "A";
    ASSERT_EQ(t.size(), 4u);
    struct Case {
        int i;
        bool lead, trail;
        unsigned char ch;
    };
    const Case cases[] = {
        {0, false, false, 0},   {1, false, false, 'a'}, {2, true, false, 0x83},
        {3, false, true, 0x41}, {4, false, false, 'A'}, {5, false, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsLeadByteAt(t, c.i), c.lead) << c.i;
        EXPECT_EQ(IsTrailByteAt(t, c.i), c.trail) << c.i;
        EXPECT_EQ(CharAt(t, c.i), c.ch) << c.i;
    }
    // A lead byte at the very end has no trail and begins nothing.
    EXPECT_FALSE(IsTrailByteAt("a\x83", 2));
    EXPECT_EQ(CountChar("a,b,c", ',', 3), 1);
    EXPECT_EQ(CountChar("a,b,c", ',', 100), 2);
    EXPECT_EQ(CountChar("", ',', 5), 0);
}

TEST(SjisHelpers, ContainsTextOnlyAtCharacterBoundaries) {
    struct Case {
        std::string sub, s;
        bool in;
    };
    const Case cases[] = {
        {"A", Sjis("ア"), false}, // 'A' is only the trail byte of ア
        {"A", Sjis("アA"), true}, {Sjis("イ"), Sjis("アイ"), true},
        {"", "abc", false},       {"abcd", "abc", false},
        {"abc", "abc", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContainsText(c.sub, c.s), c.in)
            << cp932::ToUtf8(c.sub) << " in " << cp932::ToUtf8(c.s);
}

TEST(SjisHelpers, TextToLinesSplitsAtEachKindOfLineEndInOneUpdate) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a\r\nb", {"a", "b"}},
        {"a\n\n", {"a", ""}},
        {"a\rb", {"a", "b"}},
        {"a\r\n", {"a"}},
        {"\n", {""}},
        {"a\r\rb\n", {"a", "", "b"}},
    };
    for (const Case& c : cases) {
        TVelStringList l;
        l.Add("old");
        ListEvents ev;
        ev.Attach(l);
        TextToLines(c.text, l);
        std::vector<std::string> got;
        for (int i = 0; i < l.Count(); ++i)
            got.push_back(l[i]);
        EXPECT_EQ(got, c.lines) << c.text;
        EXPECT_EQ(ev.Str(), "gd") << c.text;
    }
}

TEST(Cursors, NamesMapToTheLoadedSlots) {
    SetEditorCursorSlots(5, 6);
    std::string name;
    ASSERT_TRUE(CursorToIdent(5, name));
    EXPECT_EQ(name, "crRightArrow");
    ASSERT_TRUE(CursorToIdent(crIBeam, name));
    EXPECT_EQ(name, "crIBeam");
    TCursor c = 0;
    ASSERT_TRUE(IdentToCursor("crDragSelCopy", c));
    EXPECT_EQ(c, 6);
    EXPECT_FALSE(IdentToCursor("crNothing", c));
    SetEditorCursorSlots(1, 2);
}

} // namespace
} // namespace editor
