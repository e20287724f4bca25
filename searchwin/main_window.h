// TForm1, the main window: keyword fields, the search run, the folder and file list, the result
// pane and its commands. Component names are the object names of the controls.
//
// The handlers live in one source file per concern:
//   main_window.cpp     construction, layout, close
//   search_run.cpp      the search run and its hits
//   folder_list.cpp     data folder, extension and file list
//   pane_commands.cpp   markers, brackets, fonts and colours, copy, find, print, help
//   result_files.cpp    saving and loading the pane, the six file slots
//   query_ops.cpp       keyword operators, the web search, the keyword window's link
//   open_hit.cpp        opening a hit in the viewer, the check buttons
//   window_settings.cpp restoring and saving the window's settings
#pragma once

#include "grep.h"
#include "inigt.h"
#include "keyword_window.h"
#include "mail_and_hp.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TResultPane;
namespace app {
class FindDialog;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // programDir: the program's folder (where the settings file, help.txt, color.ini and the
    // data folders lie). Empty: the executable's folder.
    explicit TForm1(const std::string& programDir = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The program's folder, Shift-JIS, without a trailing "/".
    const std::string& ProgramDir() const { return programDir_; }
    // A path relative to the program's folder made absolute; absolute paths stay.
    std::string ProgramPath(const std::string& relative) const;

    bool Searching() const { return searching_; }

    // ---- Controls (public so that tests can drive the window as a user would) ----
    QWidget* Panel1 = nullptr; // the top panel, 153 pixels high
    // Keyword group (right)
    QGroupBox* GroupBox1 = nullptr;
    QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr, *ComboBox4 = nullptr;
    QLabel *Label1 = nullptr, *Label4 = nullptr; // "and"
    QPushButton* SearchBtn = nullptr;
    QToolButton* BitBtn5 = nullptr; // cancel
    QLabel *Label2 = nullptr, *Label3 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr,
              *CheckBox4 = nullptr;
    QToolButton *BitBtn1 = nullptr, *BitBtn2 = nullptr, *BitBtn3 = nullptr, *BitBtn4 = nullptr,
                *BitBtn8 = nullptr, *BitBtn9 = nullptr, *BitBtn13 = nullptr, *BitBtn11 = nullptr;
    QPushButton *BitBtn7 = nullptr, *BitBtn6 = nullptr, *BitBtn10 = nullptr; // "check"
    QRadioButton *RadioButton7 = nullptr, *RadioButton8 = nullptr, *RadioButton9 = nullptr,
                 *RadioButton10 = nullptr;
    // Data group (left)
    QGroupBox* GroupBox3 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QRadioButton *RadioButton4 = nullptr, *RadioButton5 = nullptr, *RadioButton12 = nullptr,
                 *RadioButton6 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton11 = nullptr,
                 *RadioButton3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QCheckBox* CheckBox5 = nullptr;
    QLabel* Animate1 = nullptr;
    // Panes
    TResultPane* RichEdit1 = nullptr;
    TResultPane* RichEdit2 = nullptr;
    // Menus
    QMenu* PopupMenu1 = nullptr;
    QAction *N1 = nullptr, *N24 = nullptr;
    QMenu *N2 = nullptr, *File1 = nullptr, *Save1 = nullptr, *Font1 = nullptr, *N25 = nullptr;
    QAction *N23 = nullptr, *N3 = nullptr, *N4 = nullptr, *N5 = nullptr, *N6 = nullptr,
            *N7 = nullptr;
    QAction *N8 = nullptr, *N9 = nullptr, *N10 = nullptr, *N13 = nullptr, *N14 = nullptr,
            *N15 = nullptr;
    QAction *N12 = nullptr, *N11 = nullptr, *N21 = nullptr, *N22 = nullptr;
    QAction *N16 = nullptr, *N17 = nullptr, *N18 = nullptr, *N19 = nullptr, *N20 = nullptr;
    QAction *N26 = nullptr, *N27 = nullptr, *N28 = nullptr, *N29 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction *or1 = nullptr, *not1 = nullptr, *notgoogle1 = nullptr;

    // The grep.
    engine::TGrep Grep1;
    // Whether a run searches files further down the list on another core (tests switch it off
    // to compare), and how many files of the last run had their hits from there.
    bool SearchAhead = true;
    std::size_t LastRunSearchedAhead = 0;

    // ---- Search run (search_run.cpp) ----
    void SearchBtnClick(); // search
    // A hit of the grep.
    void Grep1Match(engine::TGrep& Sender, const engine::RE_LineInfo_t& LineInfo);
    void BitBtn5Click(); // cancel
    void BeginSearch();
    void EndSearch();
    // The history update of one field with its own text as typed.
    static void UpdateHistory(QComboBox* field);
    // Label2 shows the files left of a run when the window can show it: at the event pump, at
    // most every few milliseconds. (A label's new text costs more than a small note's search.)
    void SetFilesLeft(std::size_t n);
    void ShowFilesLeft();

    int HitCount = 0;
    std::string CurrentFile;
    double SearchStartTime = 0;
    std::string DataFolder;
    int FolderSource = 0; // 200 folder list, 100 folder dialog, 0 none
    bool HistoryChanged = false;

    // ---- Folder and file list (folder_list.cpp) ----
    void ListFolders();
    void ListFiles();
    void ListSubtree(const std::string& base);
    void ComboBox3Click();    // hide the dialog's folder
    void ComboBox3Change();   // list the chosen folder
    void SpeedButton1Click(); // folder dialog
    // Takes `folder` (absolute, Shift-JIS) as the data folder, as the folder dialog's OK does:
    // shown in Edit1, where the dialog starts next, listed. The folder given on the command line.
    void OpenFolder(const std::string& folder);
    void CheckBox2Click();       // subfolders
    void RadioButton1Click();    // *.txt
    void RadioButton2Click();    // *.html ◇
    void RadioButton11Click();   // *.htm ◆
    void RadioButton3Click();    // custom extension □
    void RadioButton4Click();    // *.txt (mirror)
    void RadioButton5Click();    // *.html (mirror)
    void RadioButton12Click();   // *.htm (mirror)
    void RadioButton6Click();    // custom (mirror)
    void Edit2Change();          // custom extension typed
    void Edit2Exit();            // custom extension left
    void CheckBox5Enter();       // help
    void GroupBox3Click();       // shift the data group
    void ListBox1Click();        // preview
    void ListBox1DblClick();     // open the file
    void ListBox1ContextPopup(); // keep the selected files

    // Checks the extension button that the marks ◇◆□ in DataFolder name (with CheckBox5).
    void ExtensionFromMarks();
    // Marks, CheckBox4, then the listing of the folder just chosen.
    void ListChosenFolder(const std::string& base);
    // GroupBox3's caption and colour for DataExt and the checked extension button.
    void ShowDataExtension();
    QColor DataGroupColor() const;
    // SpeedButton1's look for CheckBox2 (subfolders or not).
    void ShowSubfolderMode();
    // The folder the list's items are relative to: Edit1's when it shows, else DataFolder's.
    std::string ListFolder() const;

    std::string DataExt = "txt";
    std::string DialogFolder; // the user's home folder until a folder is picked
    bool PreviewLoaded = false;
    bool DataGroupShifted = false;

    // ---- Result pane commands (pane_commands.cpp) ----
    void N1Click(); // remove brackets
    void SetMarker(std::uint32_t color);
    void N24Click();                 // stop marking
    void RichEdit1SelectionChange(); // marker on the selection
    void Font1Click();               // font menu
    void SetPaneFontSize(int points);
    void N25Click(); // colour menu
    void PickBracketColor(std::uint32_t& target);
    void BitBtn1Click();                           // copy all
    void BitBtn3Click();                           // find
    void FindDialog1Find(const std::string& text); // find next
    void BitBtn4Click();                           // print
    void BitBtn2Click();                           // information
    std::int64_t ColorBracketGroup();
    // The same from `caret` instead of RichEdit2's caret, which it leaves alone: a long
    // selection's groups are painted without moving the scratch pane's caret for each.
    std::int64_t ColorBracketGroup(std::int64_t& caret);
    // Paints the pane's selection as the marker of that colour does.
    void PaintMarker(std::uint32_t color);

    // A printer's capabilities in device pixels, and the pane's page rectangle from them:
    // 30 mm margins (25.39999 mm to the inch), relative to the printable area.
    struct TPrinterMetrics {
        int dpiX, dpiY, offX, offY, physW, physH, pageW, pageH;
    };
    static QRect PrintPageRect(const TPrinterMetrics& m);

    app::FindDialog* FindDialog1 = nullptr; // made when first shown
    std::uint32_t MarkerColor = 0;
    bool MarkerActive = false;
    std::uint32_t StrippedTextColor = 0xff0000;
    std::uint32_t OutsideBracketColor = 255;
    std::uint32_t InsideBracketColor = 0xff0000;
    std::uint32_t DoubleBracketColor = 0xff00ff;
    bool FontColorsChanged = false;

    // ---- Result files and slots (result_files.cpp) ----
    void RegisterSlot(const std::string& path);
    void UpdateSlotCaptions();
    void OpenSlot(int index);
    void N12Click(); // save (tentative file)
    void N11Click(); // load (tentative file)
    void N21Click(); // save as
    void N22Click(); // load
    // Loads a file into the pane (rich text or plain Shift-JIS); false when it cannot be loaded.
    bool LoadPane(const std::string& path);
    // The same with the reason: a file too large for the pane has been refused with the pane's
    // message already; a missing one leaves its message to the caller. The pane changes only
    // when the file is loaded.
    enum class TLoadResult { Loaded, Missing, TooLarge };
    TLoadResult LoadPaneFile(const std::string& path);
    bool SavePane(const std::string& path);

    std::array<std::string, 6> FileSlots{"fil1", "fil2", "fil3", "fil4", "fil5", "fil6"};
    bool SlotsChanged = false;
    std::string OpenDialogFileName;

    // ---- Query operators and web search (query_ops.cpp) ----
    void or1Click();        // insert or
    void not1Click();       // insert not
    void notgoogle1Click(); // insert web not
    void BitBtn11Click();   // web search
    TMailAndHP MailAndHP1;  // keeps the last address between web searches

    // The keyword colour list, made at start beside this window; BitBtn8 shows it modally.
    void AttachKeywordWindow(TForm2* form);
    void BitBtn8Click(); // keyword colours
    TForm2* Form2 = nullptr;
    std::unique_ptr<TKeywordPane> KeywordPane; // the result pane as the keyword window sees it

    // ---- Opening a hit (open_hit.cpp) ----
    void BitBtn9Click();  // open the hit
    void AppActivate();   // back from the viewer
    void BitBtn7Click();  // check keyword 1
    void BitBtn6Click();  // check keyword 2
    void BitBtn10Click(); // check keyword 3

    // Text with every "|" replaced by a CR; a "|" that is the second byte of a two-byte
    // character (ポ, 0x83 0x7C) stays.
    static std::string BarsToLineBreaks(const std::string& text);
    // The pieces of a keyword field for the check buttons: its text split at every "|" (an
    // empty piece between two bars is kept; a bar at the very end adds none).
    static std::vector<std::string> Alternatives(const std::string& text);

    // HitFilePath is the data folder's file made absolute (the data folder may be relative to
    // the program's folder), so that the viewer can load it as it stands.
    std::string HitFileName, HitLineText, HitFilePath;
    bool ReselectPending = false;
    bool StopMarking = false;
    // Shows the hit's file: loads HitFilePath into a viewer and shows it modally, returning when
    // the viewer has closed; throws (any std::exception) when the file cannot be loaded, before
    // anything is shown. Unset, it only checks that the file can be read; the program sets it to
    // ShowHitInViewer.
    std::function<void(TForm1&)> ShowViewer;
    // Selects HitLineText where it first stands in the pane (letter case ignored), or as many
    // positions from the pane's start when it is not there.
    void ReselectHitLine();
    // Paints the alternatives of a keyword field, for the check buttons.
    void PaintAlternatives(QComboBox* field, std::uint32_t color);

    // ---- Settings (window_settings.cpp) ----
    void FormShow();       // restore settings
    void FormCloseQuery(); // save settings
    // Fixes the settings file: named after the executable, in the program's folder, unless a
    // FileName was set on IniGT1 before.
    void PrepareSettingsFile();
    bool OptionsChanged = false;
    TIniGT IniGT1;

  signals:
    // A search run ended (normally, cancelled or failed).
    void SearchEnded();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void CreateControls();
    void CreateMenus();
    void ConnectHandlers();
    void LayoutPanel();
    // The keyword field that has the focus, or nullptr.
    QComboBox* ActiveKeywordField() const;

    std::string programDir_;
    bool searching_ = false;
    std::size_t filesLeft_ = 0, filesLeftShown_ = 0;
    std::int64_t filesLeftShownAtMs_ = 0;
    bool shownOnce_ = false;
    bool closeAfterSearch_ = false;
};

// The viewer window over the hit the main window has found (HitFilePath, HitFileName,
// HitLineText), with the keyword list of the program's folder; returns when it has closed.
void ShowHitInViewer(TForm1& form);
