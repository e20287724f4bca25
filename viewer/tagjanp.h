// TForm4, the file viewer: the whole note behind one hit, opened at the hit line, with the
// keyword list's words highlighted, a search through it, corrections written back and HTML tags
// stripped for reading; "（抹消）" shows the selection without its bracketed asides.
#pragma once

#include "files.h"
#include "inigt.h"
#include "note_encoding.h"
#include "note_text.h"
#include "textsearch.h"

#include <QDialog>
#include <optional>
#include <stdexcept>
#include <string>

class QLineEdit;
class QSplitter;
class QToolBar;
class QToolButton;

namespace editor {
class TEditor;
class TObject;
} // namespace editor

// What the main window hands the viewer about the hit (Shift-JIS).
struct TViewerHit {
    std::string HitFilePath; // the note's full path, "/" between folders
    std::string HitFileName; // the header line above the hit
    std::string HitLineText; // the hit line, trimmed
};

// A note that is no regular file (a FIFO, a device, a socket), which is never opened: what() is
// the message for the user (Shift-JIS).
struct ENotANote : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class TForm4 : public QDialog {
    Q_OBJECT
  public:
    // colorIniDir: the working folder that holds "color.ini".
    TForm4(const TViewerHit& hit, const std::string& colorIniDir, QWidget* parent = nullptr);
    ~TForm4() override;

    // Loads the note into Editor1. Throws std::runtime_error (nothing shown) when it cannot be
    // read, ENotANote when it is no regular file.
    void LoadNote();
    // Writes `bytes` as the note: unchanged on disk since it was loaded or last written, it is
    // replaced at once; otherwise the user is asked first. True when written; false when the
    // user declined or the write failed (said so), the note then being as it was.
    bool SaveNoteBytes(const std::string& bytes);

    QToolBar* ToolBar1;
    QToolButton* BitBtn1; // 訂正保存
    QLineEdit* Edit2;     // the search text
    QToolButton* BitBtn4; // 検　索
    QToolButton* BitBtn3; // ↓
    QToolButton* BitBtn2; // ↑
    QToolButton* BitBtn6; // （抹消）
    QToolButton* BitBtn7; // タグ除去
    QToolButton* BitBtn5; // 閉じる
    QSplitter* Splitter1;
    editor::TEditor* Editor1;
    editor::TEditor* Editor2;
    TIniGT IniGT4;

    std::string FSearchText;
    textsearch::TSearchOptions FSearchOptions = 0;
    int FHasTags = 0;
    int FTagsRemoved = 0;

    const TViewerHit& Hit() const { return hit_; }
    // How the editor's text goes back to the note's bytes; nullopt: it cannot, exactly.
    const std::optional<viewer::TNoteForm>& NoteForm() const { return noteForm_; }

    void FormShow();      // restore the placement
    void FormActivate();  // go to the hit
    void FormClose();     // save the placement
    void FormCanResize(); // rewrap
    void Edit2Exit();     // take the search text
    void BitBtn1Click();  // save the correction
    void BitBtn2Click();  // search up
    void BitBtn3Click();  // search down
    void BitBtn4Click();  // search dialog
    void BitBtn6Click();  // excerpt without brackets
    void BitBtn7Click();  // strip tags
    void Editor1Change(); // the note was edited
    // Finds FSearchText from the selection with FSearchOptions and selects it; false (said so)
    // when it is not there.
    bool SearchAgain();
    // Ends the modal loop, however the viewer is closed; the placement is written first.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void LoadReserveWords();
    // Places and lays out the window as it will be shown, and wraps the editors to its width.
    void SettleWidth();
    // Brings Editor1's caret row near the middle unless it is well inside the view.
    void RecentreOnCaret();
    void Editor1ChangeEvent(editor::TObject* Sender);

    TViewerHit hit_;
    std::string colorIniDir_;
    std::optional<viewer::TNoteForm> noteForm_;
    // The note's encoding: the editor holds its text in Shift-JIS, which a save turns back.
    cp932::NoteKind noteKind_;
    files::Stamp loaded_; // the note as loaded, or as last written
    bool activated_ = false;
    bool closed_ = false;
};

// Loads the hit's note into a new viewer and shows it modally; returns once it has closed.
// Throws std::runtime_error, before anything is shown, when the note cannot be read.
void ShowFileViewer(const TViewerHit& hit, const std::string& colorIniDir,
                    QWidget* parent = nullptr);
