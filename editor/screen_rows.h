// The editor's text as a list of screen rows: each logical line cut into rows by the wrap width,
// every row carrying its attribute, its marks and the tokenizer state it begins in. One editing
// primitive (ReplaceRows) serves every edit; several editors may share one list.
#pragma once

#include "fountain.h"
#include "options.h"
#include "undo.h"
#include "wrap.h"

#include <string>
#include <string_view>
#include <vector>

namespace editor {

class TEditorScreenStrings;

// What the row list needs from an editor that shows it. The editor's model implements it and
// hands what concerns the screen on to its view; the row list knows nothing of either.
class TEditorClient {
  public:
    virtual ~TEditorClient() = default;
    // The list changed: repaint from ChangeRecord(), update scroll bars, set Modified and report
    // OnChange when the text changed.
    virtual void ListChanged(TEditorScreenStrings&) {}
    virtual void RepaintRow(int) {}
    virtual void DropSelection() {}
    // After a re-wrap: recompute metrics and scroll bars and repaint.
    virtual void Rewrapped() {}
    virtual int CaretRow() const { return 0; }
    virtual int CaretCol() const { return 0; }
    virtual void SetCaretPos(int, int) {}
    // Rows [Index, Index + Count) (their text and line ends) are about to become Text.
    virtual void TextReplacing(int /*Index*/, int /*Count*/, std::string_view /*Text*/) {}
    // Puts the caret where an undone change found it, with the editor's column rules.
    virtual void PlaceCaret(int Row, int Col) { SetCaretPos(Row, Col); }
    virtual int TopRow() const { return 0; }
    virtual void SetTopRow(int) {}
    virtual bool Focused() const { return false; }
    // The editor is still reading its stored settings, or is being destroyed.
    virtual bool Loading() const { return false; }
    virtual bool Destroying() const { return false; }
    virtual int ScreenHeight() const { return 0; }
    virtual int RowHeight() const { return 1; }
    virtual int TabSpaceCount() const { return 8; }
    virtual bool InitBracketsFull() const { return false; }
    // The tokenizer: the editor's outside fountain if set, else its view's.
    virtual TFountain* ActiveFountain() { return nullptr; }
};

// What the last edit did; valid from the edit until its update bracket closes.
struct TChangeRecord {
    int Start = -1;
    int Removed = 0;
    int Inserted = 0;
    int Reparsed = 0;
    bool TextChanged = false;
    // How many changes were recorded (one for an edit; the span covers them all).
    int Records = 0;
};

// One token of a row as the drawing sees it: its place within the row (clipped to the row),
// its kind and colour class (null: the editor's own colours).
struct TRowToken {
    int Offset = 0;
    int Length = 0;
    int Kind = kdEnd;
    TFountainColor* Color = nullptr;
    friend bool operator==(const TRowToken&, const TRowToken&) = default;
};

class TEditorStringList : public TRowAttributeStringList {
  public:
    const char* ClassName() const override { return "TEditorStringList"; }
};

class TEditorScreenStrings : public TEditorStringList {
  public:
    TEditorScreenStrings();
    ~TEditorScreenStrings() override;
    const char* ClassName() const override { return "TEditorScreenStrings"; }

    // Editors; the first is the owner.
    void AddEditor(TEditorClient* E);
    void RemoveEditor(TEditorClient* E);
    int EditorCount() const { return static_cast<int>(FEditors.size()); }
    TEditorClient* Owner() const { return FEditors.empty() ? nullptr : FEditors.front(); }
    // The first focused editor, else the owner.
    TEditorClient* ActiveEditor() const;

    // Replaces Count rows from Index with Text (which may hold line ends).
    void ReplaceRows(int Index, int Count, std::string_view Text);
    virtual void StrToRows(std::string_view Text, TRowAttributeStringList& Rows);
    virtual int RowCountOf(std::string_view Line);
    struct TRowsText {
        std::string Text;
        int LastAttr = NoRowAttr;
        int RowCount = 0;
    };
    // Count -1: to the end of Index's logical line.
    TRowsText RowsText(int Index, int Count) const;
    int DeleteRows(int Index, int Count);
    void PutRows(int Index, int OldCount, const TRowAttributeStringList& Rows);
    // The marks of Count rows from Index, as (row - Index, marks) for the rows that have any.
    std::vector<std::pair<int, int>> MarksOf(int Index, int Count) const;
    // Gives Count rows from Index the marks of a MarksOf snapshot; marks that the snapshot does
    // not hold stay where they are.
    void RestoreMarks(int Index, int Count, const std::vector<std::pair<int, int>>& Marks);
    int LineStartRow(int Index) const;
    int LineEndRow(int Index) const;
    void WrapAll();
    void UnwrapAll();
    int ReparseFrom(int Index, bool Notify);
    void ReparseAll();
    // The whole text (rows joined, CR LF after each LineEnd row) and loading one.
    using TVelStringList::Text;
    std::string Text() const;
    void LoadText(std::string_view Text);
    // Rows were filled straight from a file (already cut when wrapping): parse them and tell
    // the editors.
    void FileLoaded();

    void AddMarks(int Set) { FUsedMarks |= Set & 0xFFFF; }
    void RemoveMarks(int Set) { FUsedMarks &= ~Set & 0xFFFF; }
    int UsedMarks() const { return FUsedMarks; }

    void Clear() override;

    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool V);
    TEditorWrapOption& WrapOption() { return FWrapOption; }
    TEditorUndoObj& UndoObj() { return FUndo; }
    void Undo() { FUndo.Undo(); }
    void Redo() { FUndo.Redo(); }
    const TChangeRecord& ChangeRecord() const { return FChange; }
    TWrapContext WrapContext() const;
    // The tokens of Row for drawing RowText (the row's text, tabs expanded by the caller):
    // the row is parsed first if it is not, and with wrapping on the next row's text is seen
    // too, so that a token cut by the wrap keeps its colour. Stops at the first token that
    // starts beyond the row.
    std::vector<TRowToken> RowTokens(int Row, std::string_view RowText);
    // Whether a row's tokenizer state has been computed. A row's stored state counts only while
    // this holds: the rows from the first row of the unparsed tail on are not parsed whatever
    // their words still say, so that forgetting every state below an edit costs nothing.
    bool Parsed(int Row) const { return Bracket(Row) != -2 && Row < FUnparsedFrom; }
    // The first row of the unparsed tail.
    int UnparsedFrom() const { return FUnparsedFrom; }
    // The owner finished reading its settings: wrap and parse once.
    void Loaded();

    // Swaps two rows; the rows from the first of them on count as not parsed.
    void Exchange(int I, int J) override;

  protected:
    void SetUpdateState(bool Updating) override;
    void RowsInserted(int Index, int N) override;
    void RowsDeleted(int Index, int N) override;

  private:
    friend class TEditorUndoObj;
    void NotifyEditors(TObject*);
    void WrapOptionChanged(TObject*);
    void Rewrap(bool Wrap);
    void Record(int Start, int Removed, int Inserted, int Reparsed);
    // Tells the editors that rows [Index, Index + Count) are about to become Text.
    void AnnounceReplacing(int Index, int Count, std::string_view Text);
    void CaretsIntoRange();
    bool OwnerLoading() const { return Owner() && Owner()->Loading(); }
    int ScreenRows() const;
    std::unique_ptr<TFountainParser> NewParser() const;

    std::vector<TEditorClient*> FEditors;
    TChangeRecord FChange;
    int FUsedMarks = 0;
    TEditorUndoObj FUndo{this};
    bool FWordWrap = false;
    TEditorWrapOption FWrapOption;
    bool FNotifyOff = false;
    // Rows from here to the end are not parsed (rows above may be too, by their own words).
    int FUnparsedFrom = 0;
};

} // namespace editor
