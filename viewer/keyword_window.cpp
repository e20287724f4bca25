// TForm2, the keyword colour list.
#include "keyword_window.h"

#include "codec.h"
#include "files.h"
#include "fonts.h"
#include "note_text.h"
#include "platform.h"
#include "qtext.h"
#include "sjis_text.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>
#include <cerrno>

namespace {

QToolButton* Button(QWidget* parent, const char* name) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// The keyword list's lines: a final line end adds no line.
std::vector<std::string> SplitLines(const std::string& text) {
    return cp932::SplitLines(text, cp932::LoneCr::EndsLine, cp932::FinalLineEnd::EndsLastLine);
}

} // namespace

TForm2::TForm2(const std::string& programDir, QWidget* parent)
    : QDialog(parent), programDir_(programDir) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("keyword"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(app::MapFont(cp932::FromUtf8("ＭＳ Ｐゴシック"), 12));
    setFixedSize(215, 490);
    move(506, 137);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 8, 192, 401);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setToolTip(app::U("「//赤」「//青」と記載すれば、それ以降の単語が色つき表示になります"));
    Memo1->setAccessibleName(Memo1->toolTip());

    BitBtn1 = Button(this, "BitBtn1");
    BitBtn1->setText(app::U("//青　赤　緑　黒　黄"));
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    BitBtn1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    BitBtn1->setLayoutDirection(Qt::RightToLeft); // the picture at the caption's right
    BitBtn1->setStyleSheet(QStringLiteral("color: blue"));
    BitBtn1->setGeometry(8, 418, 192, 28);

    BitBtn2 = Button(this, "BitBtn2");
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    BitBtn2->setAccessibleName(app::U("閉じる"));
    BitBtn2->setGeometry(8, 452, 192, 28);
    BitBtn3 = Button(this, "BitBtn3");
    BitBtn3->setText(app::U("中止"));
    BitBtn3->setGeometry(BitBtn2->geometry());
    BitBtn3->hide();

    connect(BitBtn1, &QToolButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QToolButton::clicked, this, &TForm2::BitBtn2Click);
    connect(BitBtn3, &QToolButton::clicked, this, &TForm2::BitBtn3Click);
    FormCreate();
}

std::string TForm2::ColorIniPath() const {
    return (programDir_.empty() ? std::string() : programDir_ + "/") + "color.ini";
}

void TForm2::FormCreate() {
    const std::string native = cp932::PathToNative(ColorIniPath());
    files::Stamp stamp;
    const std::optional<std::string> text = files::ReadRegular(native, &stamp);
    if (!text && (errno == ENOENT || errno == ENOTDIR)) {
        app::platform().ShowMessage(cp932::FromUtf8("color.iniを作成しました"));
        // An empty list, saved as it stands; a folder that cannot be written is no reason to
        // stop.
        files::Stamp created;
        loaded_ = files::Replace(native, "", &created) == 0 ? created : files::Stamp{};
        return;
    }
    if (!text) {
        // There but unreadable: said so, and never replaced by an empty list; what it holds is
        // unknown, so that saving over it asks first.
        app::platform().ShowMessage(cp932::FromUtf8("color.iniを読み込めません"));
        loaded_.reset();
        return;
    }
    loaded_ = stamp;
    QStringList lines;
    for (const std::string& line : SplitLines(*text))
        lines << app::ToQ(line);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

std::vector<std::string> TForm2::Lines() const {
    return SplitLines(app::FromQ(Memo1->toPlainText()));
}

bool TForm2::MarkerColor(const std::string& line, std::uint32_t& color) {
    static const struct {
        std::string text;
        std::uint32_t color;
    } kMarkers[] = {
        {cp932::FromUtf8("//青"), 0xFF0000}, {cp932::FromUtf8("//赤"), 0x0000FF},
        {cp932::FromUtf8("//緑"), 0x008000}, {cp932::FromUtf8("//黒"), 0x000000},
        {cp932::FromUtf8("//黄"), 0x00FFFF},
    };
    for (const auto& m : kMarkers)
        if (line == m.text) {
            color = m.color;
            return true;
        }
    return false;
}

void TForm2::BitBtn1Click() {
    if (!Pane) return;
    BitBtn3->show();
    stop_ = false;
    std::uint32_t color = 0xFF0000; // words before the first marker are blue
    BitBtn1->setEnabled(false);
    BitBtn2->setEnabled(false);
    app::platform().SetWaitCursor(true);
    // Each occurrence is painted where it lies, without selecting it: moving the pane's
    // selection and laying the pane out again for every occurrence cost the whole pane each
    // time (20000 hit lines took minutes). The paintings are laid out together, at least every
    // fifth of a second so that the user sees them come. (With a marker switched on, selecting
    // the occurrence would paint it in the marker's colour first; the keyword's colour and bold
    // then covered it all the same.)
    QElapsedTimer sinceShown;
    sinceShown.start();
    Pane->BeginUpdate();
    for (const std::string& line : Lines()) {
        if (!MarkerColor(line, color) && !line.empty()) {
            const auto length = static_cast<std::int64_t>(line.size());
            std::int64_t from = Pane->SelStart() + Pane->SelLength();
            // Never more occurrences than the pane has lines: the bound that keeps a word
            // found everywhere from running long.
            const int n = Pane->LineCount();
            for (int k = 0; k < n; ++k) {
                app::platform().ProcessEvents();
                if (stop_) break;
                const std::int64_t at = Pane->FindText(line, from);
                if (at < 0) break;
                Pane->Paint(at, length, color);
                from = at + length;
                if (sinceShown.elapsed() >= 200) {
                    Pane->EndUpdate();
                    Pane->BeginUpdate();
                    sinceShown.restart();
                }
            }
        }
        Pane->Select(0, 0);
        Pane->ScrollCaretIntoView();
    }
    Pane->EndUpdate();
    BitBtn1->setEnabled(true);
    BitBtn2->setEnabled(true);
    app::platform().SetWaitCursor(false);
    BitBtn3->hide();
}

void TForm2::BitBtn2Click() {
    close();
}

void TForm2::BitBtn3Click() {
    stop_ = true;
}

void TForm2::FormClose() {
    if (Memo1->document()->isModified()) SaveList();
    if (Pane) Pane->TakeFocus();
}

bool TForm2::SaveList() {
    std::string text;
    for (const std::string& line : Lines())
        text += line + "\r\n";
    const std::string native = cp932::PathToNative(ColorIniPath());
    // A list that another program changed since it was read is not written over unasked.
    const std::optional<files::Stamp> now = files::StampOf(native);
    if (!loaded_ || !now || *now != *loaded_) {
        const viewer::TChangedOnDisk q =
            viewer::ChangedOnDiskQuestion(ColorIniPath(), now && !now->exists);
        if (!app::platform().Ask({q.text, q.write, cp932::FromUtf8("キャンセル"), false}))
            return false;
    }
    // As one step, so that a full disk never leaves half a list; a folder that cannot be
    // written: the window closes all the same.
    files::Stamp written;
    if (files::Replace(native, text, &written) != 0) return false;
    loaded_ = written;
    return true;
}

void TForm2::done(int result) {
    // Closing with the box, Escape or BitBtn2 all end here.
    if (!BitBtn2->isEnabled()) return; // painting: only "中止" is live
    FormClose();
    QDialog::done(result);
}
