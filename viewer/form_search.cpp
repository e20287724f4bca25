#include "form_search.h"

#include "codec.h"
#include "fonts.h"
#include "platform.h"
#include "qtext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <charconv>

using namespace textsearch;

namespace {

const char* const kOptions = "Options";
const char* const kSearchItems = "SearchItems";

// A stored number; nullopt when missing or not a number.
std::optional<int> ReadNumber(const char* name) {
    const std::optional<std::string> v = app::platform().ReadUserValue(kOptions, name);
    if (!v) return std::nullopt;
    const char* first = v->data();
    const char* last = first + v->size();
    while (first < last && *first == ' ')
        ++first;
    int n = 0;
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end == first || end != last) return std::nullopt;
    return n;
}

void WriteFlag(const char* name, bool on) {
    app::platform().WriteUserValue(kOptions, name, on ? "1" : "0");
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find("\r\n", from);
        items.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) break;
        from = at + 2;
    }
    // A final line end adds no item.
    if (!items.empty() && items.back().empty()) items.pop_back();
    return items;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, int x, int y) {
    auto* c = new QCheckBox(app::U(caption), parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setGeometry(x, y, 200, 17);
    return c;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, int y) {
    auto* b = new QPushButton(app::U(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(432, y, 80, 25);
    return b;
}

} // namespace

TFormSearch::TFormSearch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormSearch"));
    setWindowTitle(app::U("検索"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(app::MapFont(cp932::FromUtf8("ＭＳ Ｐゴシック"), 12));
    setFixedSize(520, 159);

    Label1 = new QLabel(app::U("検索する文字列(&T):"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 12, 112, 14);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // Completion from the history must not turn "a" into an earlier "A": case can matter.
    ComboBox1->completer()->setCaseSensitivity(Qt::CaseSensitive);
    ComboBox1->setGeometry(120, 8, 300, 22);
    Label1->setBuddy(ComboBox1);
    ComboBox1->lineEdit()->setAccessibleName(app::U("検索する文字列(T):"));

    RadioGroup1 = new QGroupBox(app::U(" 検索方向 "), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(8, 40, 196, 45);
    RadioBackward = new QRadioButton(app::U("後方(&B)"), RadioGroup1);
    RadioBackward->setObjectName(QStringLiteral("RadioBackward"));
    RadioBackward->setGeometry(10, 20, 85, 17);
    RadioForward = new QRadioButton(app::U("前方(&D)"), RadioGroup1);
    RadioForward->setObjectName(QStringLiteral("RadioForward"));
    RadioForward->setGeometry(100, 20, 85, 17);
    direction_ = new QButtonGroup(this);
    direction_->addButton(RadioBackward, 0);
    direction_->addButton(RadioForward, 1);
    RadioForward->setChecked(true);

    GroupBox1 = new QGroupBox(app::U(" ｵﾌﾟｼｮﾝ "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(212, 40, 208, 112);
    chkMatchCase = Check(GroupBox1, "chkMatchCase", "大/小文字の区別(&C)", 8, 18);
    chkWholeWord = Check(GroupBox1, "chkWholeWord", "単語単位で探す(&W)", 8, 40);
    chkNoMatchZenkaku = Check(GroupBox1, "chkNoMatchZenkaku", "全角・半角を区別しない(&Z)", 8, 62);
    chkIncludeCRLF = Check(GroupBox1, "chkIncludeCRLF", "改行・スペースを無視(&L)", 8, 84);

    btnOK = Button(this, "btnOK", "OK", 8);
    btnOK->setDefault(true);
    btnCancel = Button(this, "btnCancel", "キャンセル", 40);
    btnHelp = Button(this, "btnHelp", "ヘルプ(&H)", 72);

    connect(btnOK, &QPushButton::clicked, this, [this] {
        btnOKClick();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, &TFormSearch::btnHelpClick);
}

int TFormSearch::DirectionIndex() const {
    return direction_->checkedId() == 0 ? 0 : 1;
}

TSearchOptions TFormSearch::Options() const {
    TSearchOptions o = 0;
    if (chkWholeWord->isChecked()) o |= soWholeWord;
    if (chkMatchCase->isChecked()) o |= soMatchCase;
    if (chkNoMatchZenkaku->isChecked()) o |= soNoMatchZenkaku;
    if (DirectionIndex() == 1) o |= soDown;
    if (chkIncludeCRLF->isChecked()) o |= soIgnoreLineEnds | soIgnoreSpaces;
    return o;
}

void TFormSearch::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFormSearch::FormShow() {
    searchText_.clear();
    chkMatchCase->setChecked(ReadNumber("MatchCase").value_or(0) != 0);
    chkWholeWord->setChecked(ReadNumber("WholeWord").value_or(0) != 0);
    chkNoMatchZenkaku->setChecked(ReadNumber("NoMatchZenkaku").value_or(0) != 0);
    chkIncludeCRLF->setChecked(ReadNumber("IncludeCRLF").value_or(0) != 0);
    // A stored index that names no item leaves the default, toward the end.
    const int direction = ReadNumber("Direction").value_or(1);
    (direction == 0 ? RadioBackward : RadioForward)->setChecked(true);
    history_ = SplitCrLf(app::platform().ReadUserValue(kSearchItems, "Text").value_or(""));
    if (history_.size() > kHistoryMax) history_.resize(kHistoryMax);
    FillHistory();
    if (!history_.empty()) ComboBox1->setCurrentIndex(0);
    if (!startText_.empty()) ComboBox1->setEditText(app::ToQ(startText_));
    ComboBox1->setFocus();
    ComboBox1->lineEdit()->selectAll();
}

void TFormSearch::FillHistory() {
    ComboBox1->clear();
    for (const std::string& item : history_)
        ComboBox1->addItem(app::ToQ(item));
}

void TFormSearch::btnOKClick() {
    const QString typed = ComboBox1->currentText();
    if (!typed.isEmpty()) {
        // The history's own bytes when the field still shows the item chosen from it, the
        // start text's when it still shows that.
        const int index = ComboBox1->currentIndex();
        if (index >= 0 && index < static_cast<int>(history_.size()) &&
            ComboBox1->itemText(index) == typed)
            searchText_ = history_[static_cast<size_t>(index)];
        else if (!startText_.empty() && typed == app::ToQ(startText_))
            searchText_ = startText_;
        else
            searchText_ = app::FromQ(typed);
        for (auto it = history_.begin(); it != history_.end(); ++it)
            if (*it == searchText_) {
                history_.erase(it);
                break;
            }
        history_.insert(history_.begin(), searchText_);
        if (history_.size() > kHistoryMax) history_.pop_back();
        FillHistory();
        ComboBox1->setCurrentIndex(0);
        ComboBox1->setEditText(app::ToQ(searchText_));
    }
    WriteFlag("MatchCase", chkMatchCase->isChecked());
    WriteFlag("WholeWord", chkWholeWord->isChecked());
    WriteFlag("NoMatchZenkaku", chkNoMatchZenkaku->isChecked());
    WriteFlag("IncludeCRLF", chkIncludeCRLF->isChecked());
    app::platform().WriteUserValue(kOptions, "Direction", std::to_string(DirectionIndex()));
    std::string joined;
    for (size_t k = 0; k < history_.size(); ++k) {
        if (k) joined += "\r\n";
        joined += history_[k];
    }
    app::platform().WriteUserValue(kSearchItems, "Text", joined);
}

void TFormSearch::btnHelpClick() {
    app::platform().ShowMessage(
        cp932::FromUtf8("検索する文字列を入力してOKを押してください。\r\n"
                        "後方は文書の先頭へ、前方は末尾へ向かって探します。\r\n"
                        "全角・半角を区別しない：ＡＢＣでABCも、ｶﾞｲﾄﾞでガイドも見つけます。\r\n"
                        "改行・スペースを無視：語の途中の改行・空白・タブを飛ばして探します。"));
}

bool ShowSearchDialog(std::string& text, TSearchOptions& options, QWidget* parent,
                      const std::string& startText) {
    text.clear();
    options = 0;
    TFormSearch dialog(parent);
    dialog.SetStartText(startText);
    const int result = dialog.exec();
    if (result != QDialog::Accepted || dialog.SearchText().empty()) return false;
    text = dialog.SearchText();
    options = dialog.Options();
    return true;
}
