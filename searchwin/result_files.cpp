// Saving and loading the pane; the six file slots.
#include "codec.h"
#include "files.h"
#include "main_window.h"
#include "platform.h"
#include "qtext.h"
#include "result_pane.h"
#include "rtf.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

namespace fs = std::filesystem;

const std::string& NotFoundMessage() {
    static const std::string m = cp932::FromUtf8("ファイルが見あたりません。");
    return m;
}

const std::string& PaneFullMessage() {
    static const std::string m = cp932::FromUtf8("表示行数が制限を超えました");
    return m;
}

// The open and save dialogs' filter: *.doc files, or every file.
const std::string kFilter = "*.doc|*.doc|*.*|*.*";

// The file-name part of a Shift-JIS path: after its last "/" or "\" that is a character of its
// own, not the second byte of a two-byte one (表 ends in 0x5C).
std::string FileNamePart(const std::string& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto b = static_cast<unsigned char>(path[i]);
        if (cp932::IsLeadByte(b) && i + 1 < path.size())
            ++i;
        else if (b == '/' || b == '\\')
            start = i + 1;
    }
    return path.substr(start);
}

// Lines and bytes (a line break counting two) that a text takes in the pane.
void Measure(const std::string& text, std::int64_t& lines, std::int64_t& bytes) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++lines;
            bytes += 2;
        } else {
            ++bytes;
        }
    }
}

} // namespace

void TForm1::RegisterSlot(const std::string& path) {
    if (path == FileSlots[0]) return;
    for (std::size_t i = FileSlots.size() - 1; i > 0; --i)
        FileSlots[i] = FileSlots[i - 1];
    FileSlots[0] = path;
    SlotsChanged = true;
    UpdateSlotCaptions();
}

void TForm1::UpdateSlotCaptions() {
    QAction* const items[] = {N8, N9, N10, N13, N14, N15};
    for (std::size_t i = 0; i < FileSlots.size(); ++i) {
        QString caption = app::ToQ(FileNamePart(FileSlots[i]));
        caption.replace(QLatin1Char('&'), QStringLiteral("&&")); // a name, not an accelerator
        items[i]->setText(caption);
    }
}

void TForm1::OpenSlot(int index) {
    if (index < 0 || index >= static_cast<int>(FileSlots.size())) return;
    if (LoadPaneFile(ProgramPath(FileSlots[static_cast<std::size_t>(index)])) ==
        TLoadResult::Missing)
        app::platform().ShowMessage(NotFoundMessage());
}

void TForm1::N12Click() {
    SavePane(ProgramPath("tentative.doc")); // a failure is silent
}

void TForm1::N11Click() {
    if (LoadPaneFile(ProgramPath("tentative.doc")) == TLoadResult::Missing)
        app::platform().ShowMessage(NotFoundMessage());
}

void TForm1::N21Click() {
    std::optional<std::string> chosen = app::platform().SaveFileDialog(kFilter, OpenDialogFileName);
    if (!chosen || chosen->empty()) return;
    std::string path = *chosen;
    // The dialogs' default extension: a name typed without one is saved as .doc.
    if (FileNamePart(path).find('.') == std::string::npos) path += ".doc";
    SavePane(path); // a failure is silent
}

void TForm1::N22Click() {
    std::optional<std::string> chosen = app::platform().OpenFileDialog(kFilter, OpenDialogFileName);
    if (!chosen || chosen->empty()) return;
    OpenDialogFileName = *chosen;
    if (LoadPaneFile(*chosen) == TLoadResult::Missing)
        app::platform().ShowMessage(NotFoundMessage());
}

bool TForm1::LoadPane(const std::string& path) {
    return LoadPaneFile(path) == TLoadResult::Loaded;
}

TForm1::TLoadResult TForm1::LoadPaneFile(const std::string& path) {
    const fs::path native(cp932::PathToNative(path));
    std::error_code ec;
    if (!fs::is_regular_file(native, ec)) return TLoadResult::Missing;
    const std::uintmax_t size = fs::file_size(native, ec);
    if (ec) return TLoadResult::Missing;
    std::ifstream in(native, std::ios::binary);
    if (!in) return TLoadResult::Missing;
    std::string head(64, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    // Refused before the file is read into memory: plain text takes in the pane at least the
    // bytes it has; rich text over four times the cap would hardly fit and would cost that much
    // memory to read.
    const std::uintmax_t cap = static_cast<std::uintmax_t>(RichEdit1->MaxBytes());
    if (size > (rtf::IsRtf(head) ? cap * 4 + 4096 : cap)) {
        app::platform().ShowMessage(PaneFullMessage());
        return TLoadResult::TooLarge;
    }
    in.clear();
    in.seekg(0);
    std::string data(static_cast<std::size_t>(size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(size));
    if (in.bad()) return TLoadResult::Missing;
    data.resize(static_cast<std::size_t>(in.gcount()));

    std::vector<rtf::Run> runs;
    if (std::optional<std::vector<rtf::Run>> read = rtf::Read(data)) {
        runs = std::move(*read);
    } else {
        runs.push_back(rtf::Run{std::move(data)});
    }
    std::int64_t lines = 1, bytes = 0;
    for (rtf::Run& r : runs) {
        // A NUL (a binary file) would end the text in other programs; shown as a space.
        for (char& ch : r.text)
            if (ch == '\0') ch = ' ';
        Measure(r.text, lines, bytes);
    }
    if (lines > RichEdit1->MaxLines() || bytes > RichEdit1->MaxBytes()) {
        app::platform().ShowMessage(PaneFullMessage());
        return TLoadResult::TooLarge;
    }
    RichEdit1->SetRuns(runs);
    return TLoadResult::Loaded;
}

bool TForm1::SavePane(const std::string& path) {
    rtf::WriteOptions options;
    options.fontName = cp932::FromUtf8("ＭＳ Ｐゴシック");
    options.plainPoints = RichEdit1->FontPointSize();
    const std::string data = rtf::Write(RichEdit1->Runs(), options);

    // As one step: a failed write leaves the old file whole.
    return files::Replace(cp932::PathToNative(path), data) == 0;
}
