#include "tagjanp.h"

#include "brackets.h"
#include "codec.h"
#include "editor.h"
#include "files.h"
#include "fonts.h"
#include "form_search.h"
#include "memory.h"
#include "placement.h"
#include "platform.h"
#include "qtext.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QResizeEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cerrno>
#include <stdexcept>

using namespace editor;
using namespace textsearch;

namespace {

std::string Sjis(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

QToolButton* ToolButton(QToolBar* bar, const char* name, const char* caption) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(app::U(caption));
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
    return b;
}

void SetWords(TEditorColors& colors, TColor fg, TColor bk) {
    for (TEditorColor* c : {&colors.Ank(), &colors.DBCS(), &colors.Int(), &colors.Str(),
                            &colors.Symbol(), &colors.Comment(), &colors.Url(), &colors.Mail()}) {
        c->SetColor(fg);
        c->SetBkColor(bk);
    }
}

void SetColor(TFountainColor& c, TColor fg, TColor bk) {
    c.SetColor(fg);
    c.SetBkColor(bk);
}

// The settings both editors share, and those where the document differs from the excerpt.
void Configure(TEditor& e, bool document) {
    e.SetEditorFont(app::MapFont("FixedSys", 12));
    e.SetFontColor(document ? clBlue : clWindowText);
    e.SetColor(document ? clBlue : clWhite);
    TEditorColors& colors = e.View().Colors();
    if (document) {
        SetWords(colors, clWhite, clBlue);
        SetColor(colors.Reserve(), clWhite, clRed);
        SetColor(colors.Select(), clBlue, clWhite);
    } else {
        SetWords(colors, clWindowText, clWindow);
        SetColor(colors.Reserve(), clWindowText, clWindow);
        SetColor(colors.Select(), clWhite, clNavy);
    }
    SetColor(colors.Hit(), clNone, clNone);
    e.View().SetUrl(document);
    e.View().SetMail(document);
    e.View().SetControlCode(false);

    e.SetWordWrap(true);
    TEditorWrapOption& wrap = e.WrapOption();
    wrap.SetWrapByte(84);
    wrap.SetWordBreak(document);
    wrap.SetFollowRetMark(document);
    wrap.SetFollowPunctuation(document);
    wrap.SetLeading(document);
    wrap.SetFollowStr(Sjis("、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ"));
    wrap.SetLeadStr(Sjis("（［｛「『([{｢"));
    wrap.SetPunctuationStr(Sjis("、。，．,.｡､"));

    TEditorMarks& marks = e.Marks();
    marks.EofMark().SetColor(clFuchsia);
    marks.EofMark().SetVisible(document);
    marks.RetMark().SetColor(clPurple);
    marks.RetMark().SetVisible(document);
    marks.Underline().SetColor(clFuchsia);
    marks.Underline().SetVisible(document);
    marks.WrapMark().SetVisible(false);
    marks.HideMark().SetVisible(false);

    e.Margin().SetLeft(19);
    e.Margin().SetTop(document ? 6 : 2);
    e.Margin().SetLine(0);
    e.Margin().SetCharacter(0);
    e.Leftbar().SetVisible(false);
    e.Ruler().SetVisible(false);
    e.Imagebar().SetVisible(true);

    TEditorCaret& caret = e.Caret();
    caret.SetAutoIndent(document);
    caret.SetInTab(!document);
    caret.SetBackSpaceUnIndent(true);
    caret.SetNextLine(true);
    caret.SetRowSelect(true);
    caret.SetSelMove(true);
    caret.SetAutoCursor(true);
    caret.SetFreeCaret(false);
    caret.SetFreeRow(false);
    caret.SetKeepCaret(false);
    caret.SetLockScroll(false);
    caret.SetPrevSpaceIndent(false);
    caret.SetSoftTab(false);
    caret.SetTabIndent(false);
    caret.SetTabSpaceCount(8);
    caret.SetStyle(csDefault);

    e.SetHitStyle(hsSelect);
    e.SetUndoListMax(64);
    // Both editors take corrections, tabs and line breaks as typed.
    e.SetReadOnly(false);
    e.SetWantTabs(true);
    e.SetWantReturns(true);
    e.SetScrollBars(ssVertical);
    e.Speed().SetCaretVerticalAc(2);
    e.Speed().SetPageVerticalRange(2);
    e.Speed().SetPageVerticalRangeAc(2);
    e.Speed().InitBracketsFull = false;
}

} // namespace

TForm4::TForm4(const TViewerHit& hit, const std::string& colorIniDir, QWidget* parent)
    : QDialog(parent), hit_(hit), colorIniDir_(colorIniDir) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(app::U("ファイル名"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(app::MapFont(Sjis("ＭＳ Ｐゴシック"), 12));
    resize(931, 480);
    move(170, 217);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(30);
    BitBtn1 = ToolButton(ToolBar1, "BitBtn1", "訂正保存");
    BitBtn1->setEnabled(false);
    Edit2 = new QLineEdit(ToolBar1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setFixedWidth(184);
    Edit2->setFont(app::MapFont(Sjis("ＭＳ Ｐゴシック"), 13));
    Edit2->setStyleSheet(QStringLiteral("color: blue"));
    Edit2->setAccessibleName(app::U("検索文字列"));
    ToolBar1->addWidget(Edit2);
    BitBtn4 = ToolButton(ToolBar1, "BitBtn4", "検　索");
    BitBtn3 = ToolButton(ToolBar1, "BitBtn3", "↓");
    BitBtn2 = ToolButton(ToolBar1, "BitBtn2", "↑");
    BitBtn6 = ToolButton(ToolBar1, "BitBtn6", "（抹消）");
    BitBtn7 = ToolButton(ToolBar1, "BitBtn7", "タグ除去");
    BitBtn7->setStyleSheet(QStringLiteral("QToolButton:enabled { color: red }"));
    BitBtn7->setEnabled(false);
    BitBtn5 = ToolButton(ToolBar1, "BitBtn5", "閉じる");
    // The tool strip's own button for what a narrow window cannot show.
    if (auto* more = ToolBar1->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(app::U("その他のボタン"));
    layout->addWidget(ToolBar1);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Editor1 = new TEditor(Splitter1);
    Editor1->setObjectName(QStringLiteral("Editor1"));
    Editor1->setAccessibleName(app::U("本文"));
    Editor2 = new TEditor(Splitter1);
    Editor2->setObjectName(QStringLiteral("Editor2"));
    Editor2->setAccessibleName(app::U("括弧を除いた抜粋"));
    Editor2->setMinimumHeight(6);
    Splitter1->addWidget(Editor1);
    Splitter1->addWidget(Editor2);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    layout->addWidget(Splitter1, 1);
    Configure(*Editor1, true);
    Configure(*Editor2, false);
    Splitter1->setSizes({10000, 6});

    IniGT4.SetDefaultDir(ddApplication);
    IniGT4.SetFence(fnParenthesis);

    connect(BitBtn1, &QToolButton::clicked, this, &TForm4::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TForm4::BitBtn2Click);
    connect(BitBtn3, &QToolButton::clicked, this, &TForm4::BitBtn3Click);
    connect(BitBtn4, &QToolButton::clicked, this, &TForm4::BitBtn4Click);
    connect(BitBtn5, &QToolButton::clicked, this, &QDialog::close);
    connect(BitBtn6, &QToolButton::clicked, this, &TForm4::BitBtn6Click);
    connect(BitBtn7, &QToolButton::clicked, this, &TForm4::BitBtn7Click);
    Edit2->installEventFilter(this);
    Editor1->installEventFilter(this);
}

TForm4::~TForm4() = default;

void TForm4::LoadNote() {
    const std::string native = cp932::PathToNative(hit_.HitFilePath);
    // As the search reads notes: regular files only, never waiting on a FIFO or a device.
    files::Stamp stamp;
    const std::optional<std::string> bytes = files::ReadRegular(native, &stamp);
    if (!bytes) {
        if (errno == ENODEV)
            throw ENotANote(
                Sjis("「") + hit_.HitFilePath +
                Sjis("」は通常のファイルではない（FIFO やデバイスなど）ため、開けません。"));
        throw std::runtime_error("cannot read \"" + native + "\": " + files::ErrorText(errno));
    }
    Editor1->OnChange = TNotifyEvent{};
    SettleWidth();
    // A UTF-8 or UTF-16 note is edited in its Shift-JIS form.
    noteKind_ = cp932::NoteKindOf(*bytes);
    cp932::NoteText unicode;
    if (noteKind_.Unicode()) unicode = cp932::DecodeNote(*bytes);
    const std::string& text = noteKind_.Unicode() ? unicode.text : *bytes;
    Editor1->Lines().LoadFromBuffer(text);
    // Whether saving can give the note back byte for byte: the editor ends lines with CR LF and
    // stops at a Ctrl-Z. Row by row: the text is not held whole beside the note's bytes.
    viewer::TNoteFormCheck check(text);
    Editor1->Lines().ForEachPiece([&](std::string_view piece) { check.Feed(piece); });
    noteForm_ = check.Result();
    if (!unicode.exact) {
        // A save would lose the characters that Shift-JIS cannot hold: the note is only read.
        noteForm_.reset();
        Editor1->SetReadOnly(true);
        app::platform().ShowMessage(
            Sjis("「") + hit_.HitFilePath +
            Sjis("」には、この画面で扱えない文字（絵文字や、シフトJISにない文字など）が含まれて"
                 "いるため、読み取り専用で開きます。訂正保存はできません。"));
    }
    loaded_ = stamp;
    Editor1->SetModified(false);
    BitBtn1->setEnabled(false);
    Editor1->OnChange = MakeEvent<&TForm4::Editor1ChangeEvent>(this);
}

void TForm4::SettleWidth() {
    // The rows are cut once, at the width the window will show them: its placement and layout
    // are settled now, where showing it would settle them only after the note is cut. A hidden
    // widget keeps its resize for the show: the splitter, the editor (which lays out its
    // viewport) and the viewport (whose resize the editor measures) are told at once.
    FormShow();
    layout()->activate();
    for (QWidget* w :
         {static_cast<QWidget*>(Splitter1), static_cast<QWidget*>(Editor1), Editor1->viewport()}) {
        if (!w->testAttribute(Qt::WA_PendingResizeEvent)) continue;
        QResizeEvent resized(w->size(), QSize());
        QCoreApplication::sendEvent(w, &resized);
    }
    FormCanResize();
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    FormShow();
    // The opening steps run once the window is up, also where no activation is reported.
    QTimer::singleShot(0, this, [this] {
        if (!activated_ && isVisible()) FormActivate();
    });
}

void TForm4::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_ && isVisible())
        FormActivate();
}

void TForm4::done(int result) {
    // "閉じる" and the window's close box both end here; the placement is kept either way.
    if (!closed_) FormClose();
    closed_ = true;
    QDialog::done(result);
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the viewer: that would drop the corrections without a word.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm4::FormShow() {
    try {
        app::ApplyPlacement(*this,
                            IniGT4.ReadWindowPlacement("form4", "form4", app::PlacementOf(*this)));
    } catch (const std::exception&) {
        // An unreadable settings file leaves the design placement.
    }
}

void TForm4::FormClose() {
    try {
        IniGT4.WriteWindowPlacement("form4", "form4", app::PlacementOf(*this));
    } catch (const std::exception&) {
        // A settings file that cannot be written does not keep the viewer open.
    }
}

void TForm4::LoadReserveWords() {
    TStringList& words = Editor1->ReserveWordList();
    words.Clear();
    const std::string native = cp932::PathToNative(colorIniDir_ + "/color.ini");
    const std::optional<std::string> text = files::ReadRegular(native);
    // No list yet (the keyword window makes one): nothing to highlight.
    if (!text && errno == ENOENT) return;
    if (!text) throw std::runtime_error(files::ErrorText(errno));
    TStringList loaded;
    loaded.SetText(*text);
    Editor1->SetReserveWordList(loaded);
}

void TForm4::FormActivate() {
    activated_ = true;
    setWindowTitle(app::PathToQ(hit_.HitFilePath));
    try {
        LoadReserveWords();
    } catch (const std::exception& e) {
        app::platform().ShowMessage(cp932::FromUtf8Lossy(
            "Cannot open file \"" + cp932::PathToNative(colorIniDir_ + "/color.ini") + "\". " +
            e.what()));
        return;
    }
    FSearchText = hit_.HitLineText;
    Edit2->setText(app::ToQ(FSearchText));
    if (hit_.HitLineText == hit_.HitFileName) return;

    const std::string text = Editor1->Lines().Text();
    std::int32_t start = 0, length = 0;
    if (!FindInBuffer(text, start, length, hit_.HitLineText, soDown | soMatchCase)) {
        app::platform().ShowMessage(Sjis("ジャンプする行の指定を間違えているようです。"));
    } else {
        // Rows as the window's width wraps them, so that the hit is brought to where it will
        // stay.
        FormCanResize();
        Editor1->SetSelStart(start);
        Editor1->SetSelLength(length);
        RecentreOnCaret();
    }
    if (text.find("</") != std::string::npos) {
        BitBtn7->setEnabled(true);
        FHasTags = 1;
    }
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the field within the viewer; another window taking the focus (the search dialog)
    // is no exit.
    if (watched == Edit2 && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
        Edit2Exit();
    if (watched == Editor1 && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { FormCanResize(); });
    return QDialog::eventFilter(watched, event);
}

void TForm4::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
}

void TForm4::FormCanResize() {
    // Both editors wrap at the document's width as it now is.
    const int wrap = Editor1->VisibleColCount() - 1;
    if (wrap < 1) return;
    for (TEditor* e : {Editor1, Editor2})
        if (e->WrapOption().WrapByte() != wrap) e->WrapOption().SetWrapByte(wrap);
}

void TForm4::Edit2Exit() {
    // The field's own bytes while it still shows what was put there.
    if (Edit2->text() != app::ToQ(FSearchText)) FSearchText = app::FromQ(Edit2->text());
}

void TForm4::Editor1ChangeEvent(TObject*) {
    Editor1Change();
}

void TForm4::Editor1Change() {
    if (!(FHasTags == 1 && FTagsRemoved == 100)) BitBtn1->setEnabled(true);
}

void TForm4::BitBtn2Click() {
    // The tool buttons take no focus: the field may never have been left.
    Edit2Exit();
    if (FSearchText.empty()) return;
    FSearchOptions = static_cast<TSearchOptions>(FSearchOptions & ~soDown);
    SearchAgain();
}

void TForm4::BitBtn3Click() {
    Edit2Exit();
    if (FSearchText.empty()) return;
    FSearchOptions = static_cast<TSearchOptions>(FSearchOptions | soDown);
    SearchAgain();
}

void TForm4::BitBtn4Click() {
    // The dialog starts from what the field shows.
    Edit2Exit();
    const std::string shown = FSearchText;
    if (ShowSearchDialog(FSearchText, FSearchOptions, this, shown)) SearchAgain();
}

bool TForm4::SearchAgain() {
    std::int32_t start = Editor1->SelStart(), length = Editor1->SelLength();
    Edit2->setText(app::ToQ(FSearchText));
    if (!FindInBuffer(Editor1->Lines().Text(), start, length, FSearchText, FSearchOptions)) {
        app::platform().ShowMessage(Sjis("検索文字列  ' ") + FSearchText + " '\r\n" +
                                    Sjis("は見つかりませんでした。"));
        return false;
    }
    Editor1->SetSelStart(start);
    Editor1->SetSelLength(length);
    RecentreOnCaret();
    return true;
}

void TForm4::RecentreOnCaret() {
    // The editor scrolls to its caret only while it has the focus; a found text is shown
    // whatever has it.
    if (const std::optional<int> top =
            viewer::RecentredTopRow(Editor1->Row(), Editor1->TopRow(), Editor1->VisibleRowCount()))
        Editor1->SetTopRow(*top);
}

void TForm4::BitBtn1Click() {
    // Text without its tags never goes over the HTML note.
    if (FHasTags == 1 && FTagsRemoved == 100) return;
    if (!noteForm_) {
        app::platform().ShowMessage(
            Sjis("このファイルは読み込んだときと同じ内容で書き戻せないため、保存しませんでした。"
                 "ファイルは変更されていません。"));
        return;
    }
    viewer::TNoteForm form = *noteForm_;
    if (form.Mixed()) {
        // One kind of line end for the whole note, and the user knows it first.
        if (!app::platform().Ask({viewer::MixedLineEndsQuestion(hit_.HitFilePath, form),
                                  Sjis("そろえて保存"), Sjis("キャンセル"), false}))
            return;
        form = form.Uniform();
    }
    // In the note's own encoding, with its byte-order mark.
    const std::optional<std::string> bytes =
        cp932::EncodeNote(viewer::ToNoteBytes(Editor1->Lines().Text(), form), noteKind_);
    if (!bytes) {
        app::platform().ShowMessage(
            Sjis("このファイルの文字コードで表せない文字があるため、保存しませんでした。"
                 "ファイルは変更されていません。"));
        return;
    }
    if (!SaveNoteBytes(*bytes)) return;
    noteForm_ = form;
    Editor1->SetModified(false);
    BitBtn1->setEnabled(false);
}

bool TForm4::SaveNoteBytes(const std::string& bytes) {
    const std::string native = cp932::PathToNative(hit_.HitFilePath);
    // Another program's change is never written over without the user's word.
    const std::optional<files::Stamp> now = files::StampOf(native);
    if (!now || *now != loaded_) {
        const viewer::TChangedOnDisk q =
            viewer::ChangedOnDiskQuestion(hit_.HitFilePath, now && !now->exists);
        if (!app::platform().Ask({q.text, q.write, Sjis("キャンセル"), false})) return false;
    }
    files::Stamp written;
    if (const int error = files::Replace(native, bytes, &written)) {
        app::platform().ShowMessage(cp932::FromUtf8Lossy("Cannot write the file \"" + native +
                                                         "\": " + files::ErrorText(error)));
        return false;
    }
    loaded_ = written;
    return true;
}

void TForm4::BitBtn7Click() {
    std::string text = Editor1->Lines().Text() + ">";
    text = viewer::RemoveTags(text);
    text = viewer::CollapseBlankLines(viewer::CollapseBlankLines(text));
    Editor1->Lines().SetText(text);
    BitBtn7->setEnabled(false);
    BitBtn1->setEnabled(false);
    FTagsRemoved = 100;
    static const std::string space = Sjis("　");
    if (Editor1->Lines().GetCount() == 0)
        Editor1->Lines().SetText(space);
    else
        Editor1->Lines().Put(0, space);
    Editor1->SetSelStart(0);
    Editor1->ScrollCaret();
    Editor1->setFocus();
}

void TForm4::BitBtn6Click() {
    // Through the clipboard, as copy and paste would: without a selection nothing is copied and
    // the clipboard's earlier text is taken.
    Editor1->CopyToClipboard();
    Editor2->Clear();
    Editor2->PasteFromClipboard();
    const std::string stripped =
        StripBrackets(Editor2->Lines().Text(),
                      [](const std::string& message) { app::platform().ShowMessage(message); });
    Editor2->Lines().SetText(stripped);
    const int height = viewer::ExcerptHeight(Editor1->height(), Editor2->RowCount());
    const int total = Editor1->height() + Editor2->height();
    Splitter1->setSizes({total - height, height});
}

void ShowFileViewer(const TViewerHit& hit, const std::string& colorIniDir, QWidget* parent) {
    const app::ReturnFreeMemoryAtExit release; // once the viewer and its rows are gone
    TForm4 form(hit, colorIniDir, parent);
    form.LoadNote();
    form.exec();
}
