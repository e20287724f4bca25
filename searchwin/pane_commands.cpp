// Result pane commands: markers, brackets, fonts and colours, copy, find, print, help.
#include "main_window.h"

#include "brackets.h"
#include "codec.h"
#include "find_dialog.h"
#include "platform.h"
#include "result_pane.h"

#include <QPrinter>
#include <algorithm>
#include <cmath>

namespace {

const std::string& NotFoundMessage() {
    static const std::string kMsg = cp932::FromUtf8("見つかりませんでした");
    return kMsg;
}

const std::string& DocumentTitle() {
    static const std::string kTitle = cp932::FromUtf8("書類");
    return kTitle;
}

const std::string& FullOpen() {
    static const std::string kOpen = cp932::FromUtf8("（");
    return kOpen;
}

const std::string& FullClose() {
    static const std::string kClose = cp932::FromUtf8("）");
    return kClose;
}

// Round to nearest, halves to even.
int RoundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

TForm1::TPrinterMetrics MetricsOf(const QPrinter& printer) {
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    return {printer.logicalDpiX(),
            printer.logicalDpiY(),
            page.left() - paper.left(),
            page.top() - paper.top(),
            paper.width(),
            paper.height(),
            page.width(),
            page.height()};
}

} // namespace

// ---- Markers ----

void TForm1::PaintMarker(std::uint32_t color) {
    RichEdit1->SetSelColor(color);
    if (color != 0 && color != 0xffffff)
        RichEdit1->SetSelStyleExactly(true, false);
    else
        RichEdit1->SetSelBold(false); // white hides and black restores: other styles stay
}

void TForm1::SetMarker(std::uint32_t color) {
    PaintMarker(color);
    MarkerColor = color;
    MarkerActive = true;
}

void TForm1::N24Click() {
    MarkerActive = false;
}

void TForm1::RichEdit1SelectionChange() {
    if (MarkerActive) PaintMarker(MarkerColor);
}

// ---- Bracket removal ----

void TForm1::N1Click() {
    // Nothing selected, nothing to remove: the clipboard's content (perhaps another program's)
    // must not land in the pane.
    if (RichEdit1->SelLength() <= 0) return;
    const std::int64_t p = RichEdit1->SelStart();
    RichEdit1->SetSelBold(false);
    RichEdit1->CutToClipboard();

    // The coloured copy: the text in the outside colour, its full-width groups underlined.
    RichEdit2->Clear();
    RichEdit2->PasteFromClipboard();
    RichEdit2->SelectAllText();
    RichEdit2->SetSelColor(OutsideBracketColor);
    RichEdit2->SetSelStart(0);
    RichEdit2->BeginUpdate(); // one layout for all the groups painted
    std::int64_t caret = 0;
    while (ColorBracketGroup(caret) != -1) {
    }
    RichEdit2->EndUpdate();
    RichEdit2->SetSelStart(caret);
    RichEdit2->SelectAllText();
    RichEdit2->CopyToClipboard();
    RichEdit1->SetSelStart(p);
    RichEdit1->PasteFromClipboard();

    // The bracket-free copy goes in front of it and stays on the clipboard.
    RichEdit2->SetPlainText(StripBrackets(RichEdit2->Text(), [](const std::string& message) {
        app::platform().ShowMessage(message);
    }));
    if (RichEdit2->TextLength() > 0) {
        RichEdit2->SelectAllText();
        RichEdit2->SetSelColor(StrippedTextColor);
        // The text took the look of the first character, which may stand in an underlined
        // group: nothing of the bracket-free copy is a group.
        RichEdit2->SetSelUnderline(false);
        RichEdit2->CutToClipboard();
        RichEdit1->SetSelStart(p);
        RichEdit1->PasteFromClipboard();
    } else {
        // Nothing outside the brackets: the clipboard must not keep the coloured copy, which
        // the paste would put in a second time.
        app::platform().SetClipboardText({});
        RichEdit1->SetSelStart(p);
    }

    RichEdit1->ScrollCaretIntoView();
    BitBtn9->hide();
    BitBtn13->show();
}

std::int64_t TForm1::ColorBracketGroup() {
    std::int64_t caret = RichEdit2->SelStart();
    const std::int64_t p1 = ColorBracketGroup(caret);
    if (p1 >= 0) RichEdit2->SetSelStart(caret);
    return p1;
}

std::int64_t TForm1::ColorBracketGroup(std::int64_t& caret) {
    TResultPane& pane = *RichEdit2;
    const std::int64_t length = pane.TextLength();
    auto find = [&](const std::string& what, std::int64_t q) { return pane.FindText(what, q); };
    auto findOr = [&](const std::string& what, std::int64_t q) {
        const std::int64_t r = find(what, q);
        return r < 0 ? length : r;
    };
    // Underlines a..b (b: the start of the closing bracket) in colour. A closing bracket that is
    // missing (-1) lets the group run to the end of the text.
    auto paint = [&](std::int64_t a, std::int64_t b, std::uint32_t color) {
        const std::int64_t end = b < 0 ? length : std::min(b + 2, length);
        pane.PaintRange(a, end - a, color, false, true);
    };
    // The caret moves behind the last closing bracket used, or to the end when one is missing,
    // so that every call gets further and the caller's loop ends.
    auto caretTo = [&](std::int64_t c) { caret = c < 0 ? length : c; };

    const std::int64_t p1 = find(FullOpen(), caret);
    if (p1 < 0) return -1;
    caret = p1;
    const std::int64_t p2 = findOr(FullOpen(), p1 + 2);
    const std::int64_t p3 = findOr(FullOpen(), p2 + 2);
    const std::int64_t p4 = findOr(FullOpen(), p3 + 2);
    const std::int64_t c1 = find(FullClose(), p1);
    std::int64_t c2 = 0, c3 = 0, c4 = 0;
    if (p2 < c1) c2 = find(FullClose(), c1 + 2);
    if (c2 >= 0 && p3 < c2) c3 = find(FullClose(), c2 + 2);
    if (c3 >= 0 && p4 < c3) c4 = find(FullClose(), c3 + 2);

    if (p2 > c1) { // a single group
        paint(p1, c1, InsideBracketColor);
        caretTo(c1);
    }
    if (p2 < c1) { // a second group opens inside the first
        paint(p1, c2, InsideBracketColor);
        paint(p2, c1, DoubleBracketColor);
        caretTo(c2);
    }
    if (c2 >= 0 && p3 < c2) {
        paint(c2, c3, InsideBracketColor);
        paint(p2, c1, DoubleBracketColor);
        paint(p3, c2, DoubleBracketColor);
        caretTo(c3);
    }
    if (c3 >= 0 && p4 < c3) {
        paint(c3, c4, InsideBracketColor);
        paint(p2, c1, DoubleBracketColor);
        paint(p3, c2, DoubleBracketColor);
        paint(p4, c3, DoubleBracketColor);
        caretTo(c4);
    }
    return p1;
}

// ---- Font size and colours ----

void TForm1::Font1Click() {
    FontColorsChanged = true;
}

void TForm1::SetPaneFontSize(int points) {
    RichEdit1->SetFontPointSize(points);
}

void TForm1::N25Click() {
    FontColorsChanged = true;
}

void TForm1::PickBracketColor(std::uint32_t& target) {
    if (const auto c = app::platform().PickColor(target)) target = *c;
}

// ---- Copy all, find ----

void TForm1::BitBtn1Click() {
    RichEdit1->SelectAllText();
    RichEdit1->CopyToClipboard();
    RichEdit1->setFocus();
}

void TForm1::BitBtn3Click() {
    RichEdit1->SetSelStart(0);
    RichEdit1->ScrollCaretIntoView();
    if (!FindDialog1) {
        FindDialog1 = new app::FindDialog(this);
        FindDialog1->setObjectName(QStringLiteral("FindDialog1"));
        // Down only; the pane's find takes neither case nor whole words into account.
        FindDialog1->WholeWord->setEnabled(false);
        FindDialog1->MatchCase->setEnabled(false);
        FindDialog1->Up->setEnabled(false);
        FindDialog1->Down->setEnabled(false);
        FindDialog1->OnFind = [this](const std::string& text) { FindDialog1Find(text); };
    }
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TForm1::FindDialog1Find(const std::string& text) {
    const std::int64_t from = RichEdit1->SelStart() + RichEdit1->SelLength();
    const std::int64_t pos = RichEdit1->FindText(text, from);
    if (pos < 0)
        app::platform().ShowMessage(NotFoundMessage());
    else
        RichEdit1->SetSelStart(pos);
    RichEdit1->SetSelLength(static_cast<std::int64_t>(text.size()));
    RichEdit1->ScrollCaretIntoView();
}

// ---- Print ----

QRect TForm1::PrintPageRect(const TPrinterMetrics& m) {
    const double mx = 30 / 25.39999 * m.dpiX;
    const double my = 30 / 25.39999 * m.dpiY;
    int left = RoundEven(mx - m.offX);
    if (left < 0) left = 0;
    int top = RoundEven(my - m.offY);
    if (top < 0) top = 0;
    int right = RoundEven(m.pageW - (mx - (m.physW - m.offX - m.pageW)));
    if (right < 0) right = m.pageW;
    int bottom = RoundEven(m.pageH - (my - (m.physH - m.offY - m.pageH)));
    if (bottom < 0) bottom = m.pageH;
    // Text beyond the printable area would be cut off: a wide unprintable margin on the right or
    // at the bottom keeps the rectangle inside it, and a page too small for the margins is
    // printed on all of its printable area.
    right = std::min(right, m.pageW);
    bottom = std::min(bottom, m.pageH);
    if (right <= left) {
        left = 0;
        right = m.pageW;
    }
    if (bottom <= top) {
        top = 0;
        bottom = m.pageH;
    }
    return QRect(left, top, right - left, bottom - top);
}

void TForm1::BitBtn4Click() {
    app::Platform& platform = app::platform();
    if (!platform.PrinterSetupDialog()) return;
    // Measured after the setup dialog, so that a paper or printer chosen there counts.
    QPrinter& printer = platform.Printer();
    RichEdit1->PageRect = PrintPageRect(MetricsOf(printer));
    RichEdit1->Print(printer, DocumentTitle());
}

// ---- Information and help ----

void TForm1::BitBtn2Click() {
    static const std::string kInfo = cp932::FromUtf8(
        "Quelvra　v5.7\n"
        "ご意見・ご連絡は作者まで：quelvra@example.org\n"
        "検索には本プログラム独自の正規表現コンポーネント（文字同一視辞書つき）を使っています。");
    app::platform().ShowMessage(kInfo, app::MessageKind::Confirm);
    LoadPane(ProgramPath("help.txt")); // a missing help file leaves the pane as it is
}
