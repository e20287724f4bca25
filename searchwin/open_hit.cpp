// Opening a hit in the viewer; the check buttons.
#include "main_window.h"

#include "codec.h"
#include "memory.h"
#include "platform.h"
#include "qtext.h"
#include "result_pane.h"
#include "tagjanp.h"

#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

const std::string& WrongPlaceMessage() {
    static const std::string m = cp932::FromUtf8("選択位置が間違っています。");
    return m;
}

// Leading and trailing ASCII spaces and control characters removed (no second byte is below
// 0x40, so these bytes are characters of their own).
std::string TrimControls(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= 32)
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= 32)
        --b;
    return s.substr(a, b - a);
}

// Reads the whole file to make sure it can be loaded: a missing file, a folder or an unreadable
// one throws.
void CheckReadable(TForm1& form) {
    const std::filesystem::path native(cp932::PathToNative(form.HitFilePath));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(native, ec))
        throw std::runtime_error("not a file: " + native.string());
    std::ifstream in(native, std::ios::binary);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer))
        ;
    if (in.bad() || !in.eof()) throw std::runtime_error("cannot read: " + native.string());
}

// The folder and file-name parts of an absolute path ("/" between them); false when there is
// no folder part to split off.
bool SplitPath(const std::string& path, std::string& folder, std::string& name) {
    // "/" is never the second byte of a two-byte character.
    const auto slash = path.rfind('/');
    if (path.empty() || path[0] != '/' || slash == std::string::npos || slash + 1 == path.size())
        return false;
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    name = path.substr(slash + 1);
    return true;
}

} // namespace

std::string TForm1::BarsToLineBreaks(const std::string& text) {
    std::string out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (cp932::IsLeadByte(b) && i + 1 < out.size())
            ++i;
        else if (b == '|')
            out[i] = '\r';
    }
    return out;
}

std::vector<std::string> TForm1::Alternatives(const std::string& text) {
    std::vector<std::string> out;
    if (text.empty()) return out;
    const std::string lines = BarsToLineBreaks(text);
    size_t start = 0;
    for (;;) {
        const auto cr = lines.find('\r', start);
        if (cr == std::string::npos) {
            if (start < lines.size()) out.push_back(lines.substr(start));
            break;
        }
        out.push_back(lines.substr(start, cr - start));
        start = cr + 1;
    }
    return out;
}

void TForm1::BitBtn9Click() {
    TResultPane& pane = *RichEdit1;
    app::platform().SetWaitCursor(true);
    const std::int64_t caret = pane.SelStart();
    const int caretLine = pane.LineOfPosition(caret);
    const std::string line = pane.Line(caretLine);
    HitLineText = TrimControls(line);
    // With "★" checked the hit lines begin with it; a line that does not (a header) keeps its
    // first character whole.
    static const std::string star = cp932::FromUtf8("★");
    if (CheckBox3->isChecked() && HitLineText.compare(0, star.size(), star) == 0)
        HitLineText.erase(0, star.size());

    // The nearest header at or above the caret: the last line end of the form ".ext" CR LF
    // before the end of the caret's own line (a header under the caret counts, the next
    // block's header never does), stepping back 256 bytes at a time.
    const std::string marker = "." + DataExt + "\r\n";
    const auto m = static_cast<std::int64_t>(marker.size());
    const std::int64_t lineEnd =
        pane.PositionOfLine(caretLine) + static_cast<std::int64_t>(line.size()) + 2;
    int headerLine = 0;
    for (std::int64_t q = caret; q > 0;) {
        const std::int64_t end = std::min(q + m + 14, lineEnd);
        const std::int64_t start = std::max<std::int64_t>(0, q - 256);
        std::int64_t last = -1;
        for (std::int64_t at = pane.FindText(marker, start, end); at >= 0;
             at = pane.FindText(marker, at + m, end))
            last = at;
        if (last >= 0) {
            pane.setFocus();
            pane.SetSelStart(last);
            headerLine = pane.LineOfPosition(last);
            pane.ScrollCaretIntoView();
            break;
        }
        q = start;
    }
    HitFileName = pane.Line(headerLine);
    HitFilePath = ProgramPath(DataFolder + "/" + HitFileName);

    if (CheckBox4->isChecked() && (DataExt == "html" || DataExt == "htm")) {
        // The browser, started in the file's folder. A file that is not there (the caret lay
        // in the summary) is said so, as for the viewer.
        std::string folder, name;
        std::error_code ec;
        if (FolderSource == 0 || !SplitPath(HitFilePath, folder, name) ||
            !std::filesystem::is_regular_file(cp932::PathToNative(HitFilePath), ec)) {
            app::platform().ShowMessage(WrongPlaceMessage());
            app::platform().SetWaitCursor(false);
            return;
        }
        app::platform().ShellOpenIn(name, folder);
        ReselectPending = true;
        app::platform().SetWaitCursor(false);
        return;
    }

    try {
        (ShowViewer ? ShowViewer : CheckReadable)(*this);
    } catch (const std::exception&) {
        app::platform().ShowMessage(WrongPlaceMessage());
        app::platform().SetWaitCursor(false);
        return;
    }
    app::platform().SetWaitCursor(false);
    ReselectHitLine();
}

void TForm1::ReselectHitLine() {
    TResultPane& pane = *RichEdit1;
    pane.setFocus();
    pane.SetSelStart(0);
    const std::int64_t at = pane.FindText(HitLineText, 0);
    pane.Select(std::max<std::int64_t>(at, 0), static_cast<std::int64_t>(HitLineText.size()));
    pane.ScrollCaretIntoView();
}

void TForm1::AppActivate() {
    if (!ReselectPending) return;
    ReselectHitLine();
    ReselectPending = false;
}

void TForm1::PaintAlternatives(QComboBox* field, std::uint32_t color) {
    TResultPane& pane = *RichEdit1;
    const std::string text = app::FromQ(field->currentText());
    if (!text.empty()) {
        BitBtn5->show();
        StopMarking = false;
    }
    // A new search or another painting meanwhile would work on positions this one no longer
    // knows; the cancel button stays for both.
    QWidget* locked[] = {SearchBtn, BitBtn7, BitBtn6, BitBtn10};
    bool wasEnabled[4];
    for (int i = 0; i < 4; ++i) {
        wasEnabled[i] = locked[i]->isEnabled();
        locked[i]->setEnabled(false);
    }
    // Each occurrence is painted where it lies, without selecting it and scrolling to it: that
    // cost a layout of the pane per occurrence. The paintings are laid out together, at least
    // every fifth of a second so that the user sees them come.
    QElapsedTimer sinceShown;
    sinceShown.start();
    pane.BeginUpdate();
    for (const std::string& a : Alternatives(text)) {
        const auto length = static_cast<std::int64_t>(a.size());
        std::int64_t from = pane.SelStart() + pane.SelLength();
        const int n = pane.LineCount() - 1;
        for (int k = 0; k < n; ++k) {
            app::platform().ProcessEvents();
            if (StopMarking) break;
            const std::int64_t at = pane.FindText(a, from);
            if (at < 0) break;
            pane.PaintRange(at, length, color, true, false);
            from = at + length;
            if (sinceShown.elapsed() >= 200) {
                pane.EndUpdate();
                pane.BeginUpdate();
                sinceShown.restart();
            }
        }
        pane.SetSelStart(0);
        pane.ScrollCaretIntoView();
        pane.setFocus();
    }
    pane.EndUpdate();
    for (int i = 0; i < 4; ++i)
        locked[i]->setEnabled(wasEnabled[i]);
    // A search that runs on keeps its cancel button.
    if (!Searching()) BitBtn5->hide();
}

void TForm1::BitBtn7Click() {
    PaintAlternatives(ComboBox1, 0x800080);
}
void TForm1::BitBtn6Click() {
    PaintAlternatives(ComboBox2, 0xff00ff);
}
void TForm1::BitBtn10Click() {
    PaintAlternatives(ComboBox4, 0xff0000);
}

void ShowHitInViewer(TForm1& form) {
    const app::ReturnFreeMemoryAtExit release; // once the viewer and its rows are gone
    TForm4 viewer({form.HitFilePath, form.HitFileName, form.HitLineText}, form.ProgramDir(), &form);
    // The viewer keeps its placement in the main window's settings file.
    viewer.IniGT4.SetFileName(form.IniGT1.Path());
    try {
        viewer.LoadNote();
    } catch (const ENotANote& e) {
        // A FIFO or a device where the note was: said as it is, not as a wrong caret place.
        app::platform().ShowMessage(e.what());
        return;
    }
    // The hourglass covers the loading only: the viewer waits on the user, who would otherwise
    // see it over the whole reading and editing. The opener lifts it again when this returns.
    app::platform().SetWaitCursor(false);
    viewer.exec();
    app::platform().SetWaitCursor(true);
}
