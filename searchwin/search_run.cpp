// The search run: compose the pattern, grep every listed file, write the hits into the pane.
#include "main_window.h"

#include "codec.h"
#include "ordered_search.h"
#include "platform.h"
#include "qtext.h"
#include "query.h"
#include "result_pane.h"
#include "result_text.h"

#include <QTime>
#include <cstdio>
#include <thread>
#include <utility>

using engine::EGrepCancel;
using engine::Exception;
using engine::RE_LineInfo_t;
using engine::TGrep;

namespace {

// The run's messages, converted once.
struct Messages {
    const std::string cancelled = cp932::FromUtf8("検索中断しました");
    const std::string paneFull = cp932::FromUtf8("表示行数が制限を超えました");
};
const Messages& Msg() {
    static const Messages m;
    return m;
}

double SecondsSinceMidnight() {
    const QTime t = QTime::currentTime();
    return t.hour() * 3600 + t.minute() * 60 + t.second() + t.msec() * 0.001;
}

std::string FieldText(QComboBox* c) {
    return app::FromQ(c->currentText());
}

// What the window does as a run comes to each file of its list, and with each hit.
class RunSink : public engine::THitSink {
  public:
    RunSink(TForm1& form, const std::vector<std::string>& items, const std::string& folder)
        : f_(form), items_(items), folder_(folder) {}
    void FileBegins(std::size_t i) override {
        f_.SetFilesLeft(items_.size() - i);
        f_.CurrentFile = folder_ + "/" + items_[i];
    }
    void Hit(const RE_LineInfo_t& hit) override { f_.Grep1Match(f_.Grep1, hit); }

  private:
    TForm1& f_;
    const std::vector<std::string>& items_;
    const std::string& folder_;
};

} // namespace

void TForm1::UpdateHistory(QComboBox* field) {
    const QString t = field->currentText();
    int i = -1;
    for (int k = 0; k < field->count(); ++k)
        if (field->itemText(k).compare(t, Qt::CaseInsensitive) == 0) {
            i = k;
            break;
        }
    field->insertItem(0, t);
    if (i >= 0) {
        field->removeItem(i + 1);
        field->setEditText(field->itemText(0));
    }
    field->setCurrentIndex(-1);
    field->setEditText(t);
}

void TForm1::SetFilesLeft(std::size_t n) {
    filesLeft_ = n;
    if (filesLeftShown_ == 0) ShowFilesLeft(); // the first file's at once
}

void TForm1::ShowFilesLeft() {
    if (filesLeft_ == filesLeftShown_) return;
    const std::int64_t now = app::CoarseClockMs();
    if (filesLeftShown_ != 0 && now - filesLeftShownAtMs_ < 4) return;
    Label2->setText(QStringLiteral(" ") + QString::number(static_cast<qulonglong>(filesLeft_)));
    filesLeftShown_ = filesLeft_;
    filesLeftShownAtMs_ = now;
}

void TForm1::SearchBtnClick() {
    if (searching_) return;
    HistoryChanged = true;
    BitBtn9->setVisible(true);
    BitBtn9->setEnabled(true);
    BitBtn13->setVisible(false);

    HitCount = 0;
    RichEdit1->Clear();
    RichEdit1->SetDefaultColor(0);

    const QComboBox* fields[] = {ComboBox1, ComboBox2, ComboBox4};
    for (const QComboBox* f : fields) {
        auto* field = const_cast<QComboBox*>(f);
        if (engine::ClearFullWidthSpaces(FieldText(field)).empty() &&
            !field->currentText().isEmpty())
            field->setEditText(QString());
    }
    const std::string a = engine::TrimKeyword(FieldText(ComboBox1));
    const std::string b = engine::TrimKeyword(FieldText(ComboBox2));
    const std::string c = engine::TrimKeyword(FieldText(ComboBox4));

    BeginSearch();
    if (a.empty() && b.empty() && c.empty()) {
        EndSearch();
        return;
    }
    try {
        Grep1.SetRegExp(engine::ComposePattern({a, b, c}));
    } catch (...) {
        app::platform().ShowMessage(engine::BadPatternMessage());
        EndSearch();
        return;
    }
    if (!a.empty()) UpdateHistory(ComboBox1);
    if (!b.empty()) UpdateHistory(ComboBox2);
    if (!c.empty()) UpdateHistory(ComboBox4);
    for (QComboBox* f : {ComboBox1, ComboBox2, ComboBox4})
        if (f->count() > 10) f->removeItem(10);

    try {
        Grep1.SetUseFuzzyCharDic(CheckBox1->isChecked());
    } catch (...) {
        // Widened through the dictionary, a pattern can grow past what the engine builds.
        app::platform().ShowMessage(engine::BadPatternMessage());
        EndSearch();
        return;
    }

    // The run walks the list as it stood when it started: a folder choice made meanwhile
    // (its handlers run inside the grep's event pump) takes effect at the next search.
    std::vector<std::string> items;
    items.reserve(ListBox1->count());
    for (int i = 0; i < ListBox1->count(); ++i)
        items.push_back(app::FromQ(ListBox1->item(i)->text()));
    const std::string folder = DataFolder;
    const size_t n = items.size();
    RunSink sink(*this, items, folder);
    std::vector<std::string> paths;
    paths.reserve(n);
    for (const std::string& item : items)
        paths.push_back(ProgramPath(folder + "/" + item));
    // Files further down the list are searched on another core meanwhile; their hits come into
    // the pane when the run reaches them, in the list's order, and no more of them than the
    // pane takes. A large note is searched as the run reaches it, its hits shown as found.
    engine::TOrderedSearchOptions options;
    options.helpers = SearchAhead && std::thread::hardware_concurrency() >= 2 ? 1 : 0;
    options.maxLines = static_cast<std::size_t>(RichEdit1->MaxLines());
    options.maxBytes = RichEdit1->MaxBytes();
    options.largeFile = 8 * 1024 * 1024;
    engine::TOrderedSearch run(Grep1, std::move(paths), options);
    try {
        run.Run(sink);
    } catch (const EGrepCancel&) {
        if (!closeAfterSearch_) app::platform().ShowMessage(Msg().cancelled);
    } catch (const Exception& e) {
        // A file that vanished or cannot be read: its message; the hits so far stay.
        app::platform().ShowMessage(e.Message());
    } catch (const std::exception& e) {
        app::platform().ShowMessage(cp932::FromUtf8Lossy(e.what()));
    }
    LastRunSearchedAhead = run.SearchedAhead();
    EndSearch();
}

void TForm1::Grep1Match(TGrep& Sender, const RE_LineInfo_t& LineInfo) {
    try {
        // A path still (not yet the file-name part alone): the file's first hit. "/" is never
        // the second byte of a two-byte character.
        if (CurrentFile.find('/') != std::string::npos) {
            RichEdit1->AppendLine("");
            RichEdit1->SetInsertColor(255);
            RichEdit1->SetInsertPointSize(12);
            RichEdit1->SetInsertBold(true);
            std::string base;
            const bool subfolders = CheckBox2->isChecked();
            if (subfolders && FolderSource == 200) base = app::FromQ(ComboBox3->currentText());
            if (subfolders && FolderSource == 100) base = app::FromQ(Edit1->text());
            CurrentFile = engine::HeaderText(CurrentFile, base, subfolders);
            RichEdit1->AppendLine(CurrentFile);
            CurrentFile = engine::FileNamePart(CurrentFile);
            RichEdit1->SetInsertColor(0);
            RichEdit1->SetInsertBold(false);
        }
        std::string line;
        line.reserve(6 + LineInfo.Line.size());
        engine::AppendHitLine(line, LineInfo.Line, CheckBox3->isChecked());
        RichEdit1->AppendLine(std::move(line));
        ++HitCount;
    } catch (...) {
        Sender.Cancel = true;
        app::platform().ShowMessage(Msg().paneFull);
    }
}

void TForm1::BitBtn5Click() {
    Grep1.Cancel = true;
    StopMarking = true;
}

void TForm1::BeginSearch() {
    searching_ = true;
    for (QWidget* w : {static_cast<QWidget*>(BitBtn1), static_cast<QWidget*>(BitBtn4),
                       static_cast<QWidget*>(BitBtn8), static_cast<QWidget*>(BitBtn9),
                       static_cast<QWidget*>(SearchBtn)})
        w->setEnabled(false);
    BitBtn5->show();
    SearchBtn->hide();
    for (QComboBox* f : {ComboBox1, ComboBox2, ComboBox4})
        f->setEnabled(false);
    Label3->hide();
    app::platform().SetWaitCursor(true);
    filesLeft_ = filesLeftShown_ = 0;
    RichEdit1->BeginBulkAppend();
    SearchStartTime = SecondsSinceMidnight();
}

void TForm1::EndSearch() {
    const double elapsed = SecondsSinceMidnight() - SearchStartTime;
    Label3->show();
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, " %.2f", elapsed);
    Label2->setText(QString::fromLatin1(seconds) + app::U("秒"));
    Label3->setText(QString::number(HitCount) + app::U("個"));

    app::platform().SetWaitCursor(false);
    for (QWidget* w : {static_cast<QWidget*>(BitBtn1), static_cast<QWidget*>(BitBtn4),
                       static_cast<QWidget*>(BitBtn8), static_cast<QWidget*>(BitBtn9),
                       static_cast<QWidget*>(SearchBtn)})
        w->setEnabled(true);
    BitBtn5->hide();
    SearchBtn->show();
    for (QComboBox* f : {ComboBox1, ComboBox2, ComboBox4})
        f->setEnabled(true);

    // The summary replaces the pane's first line (the empty line before the first header, or
    // the empty pane). The leading line feed of the summary shows as the document's top margin,
    // so the summary stands on the first line and one empty line still precedes every header.
    const std::string summary =
        engine::SummaryLine({FieldText(ComboBox1), FieldText(ComboBox2), FieldText(ComboBox4)},
                            HitCount) +
        "\r\n";
    RichEdit1->ReplaceLine(0, summary);
    RichEdit1->EndBulkAppend();
    RichEdit1->SetSelStart(0);
    RichEdit1->ScrollCaretIntoView();
    RichEdit1->setFocus();

    searching_ = false;
    emit SearchEnded();
    if (closeAfterSearch_) close();
}
