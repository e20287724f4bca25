#include "messages.h"

#include "codec.h"
#include "fake_clipboard.h"
#include "grid_model.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace editor {
namespace {

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Model : GridModel {
    int repainted = 0;
    void RowMarksChangedView(int) override { ++repainted; }
};

struct Messages : ::testing::Test {
    Model m;
    FakeClipboard clip;
    TEditorMessages msg{m};
    // Rows: 表ソ (bytes 0-3, CR LF 4-5), ab能 (6-9, CR LF 10-11), ポ (12-13).
    void SetUp() override {
        m.SetClipboard(&clip);
        m.List().LoadText(Sjis("表ソ\r\nab能\r\nポ"));
    }
};

TEST(PopupMenu, ItemsCaptionsAndShortcutsInOrder) {
    std::vector<TPopupItem> items = PopupMenuItems();
    struct Row {
        const char* caption;
        const char* shortcut;
        TPopupAction action;
        bool enabled;
    } expected[] = {
        {"マーク設定", "", paNone, true},
        {"マークジャンプ", "", paNone, true},
        {"-", "", paNone, true},
        {"元に戻す(&U)", "Ctrl+Z", paUndo, false},
        {"やり直し(&R)", "Ctrl+A", paRedo, false},
        {"-", "", paNone, true},
        {"切り取り(&T)", "Ctrl+X", paCut, false},
        {"コピー(&C)", "Ctrl+C", paCopy, false},
        {"貼り付け(&P)", "Ctrl+V", paPaste, false},
        {"Box貼り付け(&B)", "Ctrl+B", paBoxPaste, false},
        {"削除(&D)", "", paDelete, false},
        {"-", "", paNone, true},
        {"すべて選択(&A)", "", paSelectAll, false},
        {"-", "", paNone, true},
        {"Box選択モード(&K)", "Ctrl+K", paBoxMode, true},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].Caption, Sjis(expected[i].caption)) << i;
        EXPECT_EQ(items[i].ShortCut, expected[i].shortcut) << i;
        EXPECT_EQ(items[i].Action, expected[i].action) << i;
        EXPECT_EQ(items[i].Enabled, expected[i].enabled) << i;
    }
    for (int sub = 0; sub < 2; ++sub) {
        ASSERT_EQ(items[sub].Items.size(), 10u);
        for (int d = 0; d < 10; ++d) {
            const TPopupItem& it = items[sub].Items[d];
            EXPECT_EQ(it.Caption, std::to_string(d));
            EXPECT_EQ(it.Tag, d);
            EXPECT_EQ(it.ShortCut, (sub == 0 ? "Shift+Ctrl+" : "Ctrl+") + std::to_string(d));
            EXPECT_EQ(it.Action, sub == 0 ? paMarkSet : paMarkJump);
        }
    }
}

TEST_F(Messages, PopupItemsAreEnabledByUndoSelectionClipboardAndReadOnly) {
    auto enabled = [&] {
        std::vector<TPopupItem> items = PopupMenuItems();
        msg.UpdatePopup(items);
        std::string s;
        for (const TPopupItem& i : items)
            if (!i.IsSeparator() && !i.Items.size()) s += i.Enabled ? (i.Checked ? 'C' : '1') : '0';
        return s;
    };
    // undo redo cut copy paste boxpaste delete selectall boxmode
    EXPECT_EQ(enabled(), "000000011");
    m.SetSelStart(0);
    m.SetSelLength(2);
    EXPECT_EQ(enabled(), "001100111");
    m.DeleteSelection();
    clip.SetText("x");
    EXPECT_EQ(enabled(), "100011011");
    m.Undo();
    EXPECT_EQ(enabled(), "010011011");
    m.SelectAll();
    m.SetSelectionMode(true);
    m.SetReadOnly(true);
    EXPECT_EQ(enabled(), "00010001C");
    m.List().LoadText("");
    m.SetReadOnly(false);
    clip.has = false;
    EXPECT_EQ(enabled(), "00000000C");
}

TEST_F(Messages, TheUndoMessagesLeaveAReadOnlyEditorAlone) {
    const std::string text = m.Lines().Text();
    m.SetSelStart(0);
    m.SetSelLength(2);
    m.DeleteSelection();
    m.SetReadOnly(true);
    EXPECT_FALSE(msg.CanUndo());
    EXPECT_FALSE(msg.Undo());
    msg.EmptyUndoBuffer();
    EXPECT_EQ(m.Lines().Text(), Sjis("ソ\r\nab能\r\nポ"));
    m.SetReadOnly(false);
    EXPECT_TRUE(msg.CanUndo()) << "the history is kept";
    EXPECT_TRUE(msg.Undo());
    EXPECT_EQ(m.Lines().Text(), text);
    msg.EmptyUndoBuffer();
    EXPECT_FALSE(m.CanRedo());
}

TEST_F(Messages, ANumberedMarkLivesOnOneRowAndJumpingScrollsItToTheMiddle) {
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += Sjis("行ソ\r\n");
    m.List().LoadText(text);
    m.SetRowMark(10, 3);
    m.SetRowMark(20, 3);
    m.SetRowMark(20, 12); // an image mark
    EXPECT_EQ(m.RowMarks(10), 0);
    EXPECT_EQ(m.RowMarks(20), 1 << 3 | 1 << 12);
    EXPECT_EQ(m.List().UsedMarks(), 1 << 3 | 1 << 12);
    EXPECT_GT(m.repainted, 0);
    std::vector<TPopupItem> items = PopupMenuItems();
    msg.UpdatePopup(items);
    EXPECT_TRUE(items[1].Items[3].Checked);
    EXPECT_FALSE(items[1].Items[4].Checked);
    msg.RunPopup(paMarkJump, 3);
    EXPECT_EQ(m.Row(), 20);
    EXPECT_EQ(m.TopRow(), 15);
    // Visible already: no scroll.
    m.SetRowMark(18, 4);
    m.GotoRowMark(4);
    EXPECT_EQ(m.TopRow(), 15);
    EXPECT_EQ(m.Row(), 18);
    m.GotoRowMark(7); // no row carries it
    EXPECT_EQ(m.Row(), 18);
    // The mark set submenu toggles on the caret row.
    msg.RunPopup(paMarkSet, 4);
    EXPECT_EQ(m.RowMarks(18), 0);
    EXPECT_EQ(m.List().UsedMarks(), 1 << 3 | 1 << 12);
    msg.RunPopup(paMarkSet, 4);
    EXPECT_EQ(m.RowMarks(18), 1 << 4);
    m.SetRowMark(99, 4); // no such row: only taken off the old one
    EXPECT_EQ(m.RowMarks(18), 0);
    m.DeleteRowMark(-1, 3);
    EXPECT_EQ(m.RowMarks(-1), 0);
}

TEST_F(Messages, ABoxIsCopiedTaggedAndPastedAsABoxPlainTextAsRunningText) {
    m.SetSelectionMode(true);
    m.SetRowCol(0, 2);
    m.StartSelection();
    m.SetRowCol(1, 4);
    m.UpdateSelection();
    m.CopyToClipboard();
    EXPECT_TRUE(clip.box);
    EXPECT_EQ(clip.text, Sjis("ソ\r\n能\r\n"));
    // Pasted after the last row's text: a block, each line at the same column.
    m.CleanSelection();
    m.SetRowCol(2, 2);
    m.PasteFromClipboard();
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\nab能\r\nポソ\r\n  能\r\n"));
    m.Undo();
    m.SetSelectionMode(false);
    m.SetSelStart(2);
    m.SetSelLength(6);
    m.CopyToClipboard();
    EXPECT_FALSE(clip.box);
    EXPECT_EQ(clip.text, Sjis("ソ\r\nab"));
    m.SetSelStart(14);
    m.PasteFromClipboard();
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\nab能\r\nポソ\r\nab"));
    // The box paste item pastes any text as a box.
    msg.RunPopup(paBoxPaste, 0);
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\nab能\r\nポソ\r\nabソ\r\n  ab\r\n"));
}

TEST_F(Messages, CutAndTheClipboardMessagesFollowSelectionAndReadOnly) {
    m.SetSelStart(6);
    m.SetSelLength(2);
    msg.Cut(); // WM_CUT
    EXPECT_EQ(clip.text, "ab");
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\n能\r\nポ"));
    msg.Copy(); // nothing selected: emptied
    EXPECT_TRUE(clip.has);
    EXPECT_EQ(clip.text, "");
    m.SetSelStart(0);
    m.SetSelLength(2);
    m.SetReadOnly(true);
    msg.Cut();
    EXPECT_EQ(clip.text, "");
    msg.Copy();
    EXPECT_EQ(clip.text, Sjis("表"));
    msg.Paste();
    msg.Clear();
    msg.SetText("x");
    msg.ReplaceSel("x");
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\n能\r\nポ"));
    m.SetReadOnly(false);
    msg.Clear(); // WM_CLEAR
    EXPECT_EQ(m.Lines().Text(), Sjis("ソ\r\n能\r\nポ"));
    msg.ReplaceSel(Sjis("表"));
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\n能\r\nポ"));
    msg.SetText(Sjis("新\r\n"));
    EXPECT_EQ(msg.GetTextLength(), 4);
}

TEST_F(Messages, EveryEditControlOperationOnATextWithTwoByteCharactersAndCrLf) {
    // GetSel / SetSel.
    int s = -1, e = -1;
    msg.SetSel(8, 2);
    EXPECT_EQ(msg.GetSel(&s, &e), MakeLong(2, 8));
    EXPECT_EQ(std::make_pair(s, e), std::make_pair(2, 8));
    EXPECT_EQ(m.SelText(), Sjis("ソ\r\nab"));
    msg.SetSel(0, -1);
    msg.GetSel(&s, &e);
    EXPECT_EQ(std::make_pair(s, e), std::make_pair(0, 14));
    msg.SetSel(-1, 0);
    EXPECT_FALSE(m.Selected());
    EXPECT_EQ(msg.GetSel(nullptr, nullptr), MakeLong(14, 14)); // the caret at the end
    // Line count, index, length, row from offset.
    EXPECT_EQ(msg.GetLineCount(), 3);
    const int index[] = {0, 6, 12};
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(msg.LineIndex(r), index[r]) << r;
    EXPECT_EQ(msg.LineIndex(3), -1);
    m.SetRowCol(1, 2);
    EXPECT_EQ(msg.LineIndex(-1), 6);
    const std::pair<int, int> fromChar[] = {{0, 0},  {3, 0},  {5, 0},  {6, 1},
                                            {11, 1}, {12, 2}, {13, 2}, {99, 2}};
    for (auto [off, row] : fromChar) {
        EXPECT_EQ(msg.LineFromChar(off), row) << off;
        EXPECT_EQ(msg.LineLength(off), row == 2 ? 2 : 4) << off;
    }
    EXPECT_EQ(msg.LineFromChar(-1), 1);
    EXPECT_EQ(msg.LineLength(-1), 4);
    msg.SetSel(2, 8); // from ソ to before 能: unselected on those rows: 表 and 能
    EXPECT_EQ(msg.LineFromChar(-1), 0);
    EXPECT_EQ(msg.LineLength(-1), 4);
    // GetLine.
    std::array<char, 8> buf{};
    buf[0] = 3;
    EXPECT_EQ(msg.GetLine(1, buf), 3);
    EXPECT_EQ(std::string(buf.data(), 3), "ab" + Sjis("能").substr(0, 1));
    buf = {};
    buf[0] = 100; // more than the row: the row
    EXPECT_EQ(msg.GetLine(0, buf), 4);
    EXPECT_EQ(std::string(buf.data(), 4), Sjis("表ソ"));
    EXPECT_EQ(msg.GetLine(3, buf), 0);
    std::array<char, 3> small{};
    small[0] = 50; // the word asks for more than the buffer holds
    EXPECT_EQ(msg.GetLine(0, small), 3);
    // Text and its length.
    EXPECT_EQ(msg.GetTextLength(), 14);
    std::array<char, 7> text{};
    EXPECT_EQ(msg.GetText(text), 6);
    EXPECT_EQ(std::string(text.data()), Sjis("表ソ\r\n"));
    std::array<char, 32> whole{};
    EXPECT_EQ(msg.GetText(whole), 14);
    EXPECT_EQ(std::string(whole.data()), Sjis("表ソ\r\nab能\r\nポ"));
    // Positions: ソ at column 2 of row 0; 能 at column 2 of row 1.
    EXPECT_EQ(msg.PosFromChar(2), MakeLong(20 + 2 * 8, 2));
    EXPECT_EQ(msg.PosFromChar(8), MakeLong(20 + 2 * 8, 2 + 16));
    EXPECT_EQ(msg.CharFromPos(20 + 3 * 8 + 1, 2 + 16 + 3, 400, 300), MakeLong(8, 1));
    EXPECT_EQ(msg.CharFromPos(20 + 3 * 8 + 1, 2 + 3, 400, 300), MakeLong(2, 0));
    EXPECT_EQ(msg.CharFromPos(500, 5, 400, 300), 0xFFFFFFFFu);
    // Modify, read-only, undo, first visible line.
    m.SetModified(true);
    EXPECT_TRUE(msg.GetModify());
    msg.SetModify(false);
    EXPECT_FALSE(msg.GetModify());
    msg.SetReadOnly(true);
    msg.SetModify(true);
    EXPECT_FALSE(msg.GetModify());
    msg.SetReadOnly(false);
    EXPECT_FALSE(msg.CanUndo());
    msg.ReplaceSel("x");
    EXPECT_TRUE(msg.CanUndo());
    EXPECT_TRUE(msg.Undo());
    EXPECT_EQ(m.Lines().Text(), Sjis("表ソ\r\nab能\r\nポ"));
    msg.ReplaceSel("x");
    msg.EmptyUndoBuffer();
    EXPECT_FALSE(msg.Undo());
    EXPECT_EQ(msg.GetFirstVisibleLine(), 0);
}

TEST_F(Messages, GetSelAnswersTheTrueOffsetsAndPacksTheirLow16Bits) {
    std::string text;
    while (text.size() < 70000)
        text += Sjis("表ソ能ポ行\r\n");
    m.List().LoadText(text);
    msg.SetSel(65540, 69990);
    int s = 0, e = 0;
    EXPECT_EQ(msg.GetSel(&s, &e), MakeLong(65540 - 65536, 69990 - 65536));
    EXPECT_EQ(s, 65540);
    EXPECT_EQ(e, 69990);
}

} // namespace
} // namespace editor
