// The editor's text as a list of logical lines, whatever the wrapping: line indexes are
// translated into screen rows and every change goes through ReplaceRows, so that it is undoable,
// re-wrapped and repainted like a typed one. Also loads a file straight into rows and writes the
// text back with its exact line ends.
#pragma once

#include "classes.h"

#include <functional>
#include <string>
#include <string_view>

namespace editor {

class TEditorModel;

// A file that cannot be opened, read or written; the message names the file and the cause.
class EFOpenError : public Exception {
    using Exception::Exception;
};
class EFCreateError : public Exception {
    using Exception::Exception;
};

class TEditorStrings : public TStrings {
  public:
    explicit TEditorStrings(TEditorModel& Editor) : FEditor(Editor) {}
    const char* ClassName() const override { return "TEditorStrings"; }

    int GetCount() const override;
    // The whole logical line, without its line end.
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    int Add(const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Assign(const TPersistent& Source) override;

    // Every row, CR LF after each LineEnd row (none after an EndOfText last row).
    std::string GetTextStr() const;
    // Not undoable: the lists are emptied.
    void SetTextStr(std::string_view Value);
    std::string Text() const { return GetTextStr(); }
    // The text GetTextStr gives, handed to Piece part by part (each row, each line end) instead
    // of built whole.
    void ForEachPiece(const std::function<void(std::string_view)>& Piece) const;
    void SetText(std::string_view Value) { SetTextStr(Value); }

    // The file's bytes as they are, lines ending at CR, LF or CR LF, the text ending at a
    // Ctrl-Z. Only a regular file (or a link to one) is read, and nothing is waited on. Raises
    // EFOpenError when the file cannot be read; the text is cleared then.
    void LoadFromFile(const std::string& FileName);
    // A file's bytes already read, taken as LoadFromFile takes them.
    void LoadFromBuffer(std::string_view Bytes);
    // Writes GetTextStr unchanged, replacing the file as one step. Raises EFCreateError when
    // the file cannot be written; the file is then left as it was.
    void SaveToFile(const std::string& FileName) const;

    // The first row of a logical line; the row count for Index = the line count.
    int LineRow(int Index) const;

  protected:
    void SetUpdateState(bool Updating) override;

  private:
    // Replaces Count rows from Row with Text and puts the caret CaretInText bytes into Text.
    void Replace(int Row, int Count, const std::string& Text, int CaretInText);
    void CheckIndex(int Index) const;
    // Fills the emptied rows from Read(into, max), as LoadFromFile describes.
    template <class R> void Load(R&& Read);

    TEditorModel& FEditor;
    int FUpdating = 0;
};

} // namespace editor
