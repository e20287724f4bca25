#include "lines.h"

#include "editor_model.h"
#include "files.h"
#include "wrap.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace editor {

namespace {

constexpr size_t kBlock = 8192;
constexpr char kCtrlZ = 26;

std::string Cause() {
    return files::ErrorText(errno);
}

// Reads a file in blocks through Read(into, max) (the number of bytes read, 0 at the end),
// calling Line(bytes, ended) for each line: ended is false for text after the last line end. A
// line end is CR, LF or CR LF (also when the CR ends one block and the LF begins the next);
// Ctrl-Z ends the text. The blocks are read with their length, so a NUL byte of the file is an
// ordinary byte of its line: rows keep NUL bytes as they are, and saving writes them back
// unchanged.
template <class R, class F> void ScanLines(R&& Read, F&& Line) {
    std::string buf(kBlock, '\0');
    std::string carry;
    bool afterCr = false;
    bool ended = false;
    while (!ended) {
        size_t n = Read(buf.data(), kBlock);
        if (n == 0) break;
        size_t start = 0;
        for (size_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (c == '\n' && afterCr) {
                afterCr = false;
                start = i + 1;
                continue;
            }
            afterCr = false;
            if (c == kCtrlZ) {
                ended = true;
                n = i;
                break;
            }
            if (c != '\r' && c != '\n') continue;
            carry.append(buf, start, i - start);
            Line(carry, true);
            carry.clear();
            afterCr = c == '\r';
            start = i + 1;
        }
        if (n > start) carry.append(buf, start, n - start);
    }
    if (!carry.empty()) Line(carry, false);
}

} // namespace

int TEditorStrings::GetCount() const {
    const TEditorScreenStrings& L = FEditor.List();
    const int n = L.Count();
    if (!L.WordWrap()) return n;
    int lines = 0;
    for (int r = 0; r < n; ++r)
        if (L.RowAttr(r) != Wrapped || r == n - 1) ++lines;
    return lines;
}

int TEditorStrings::LineRow(int Index) const {
    const TEditorScreenStrings& L = FEditor.List();
    const int n = L.Count();
    if (!L.WordWrap() || Index <= 0) return std::min(std::max(Index, 0), n);
    int line = 0;
    for (int r = 0; r < n; ++r)
        if (L.RowAttr(r) != Wrapped && ++line == Index) return r + 1;
    return n;
}

void TEditorStrings::CheckIndex(int Index) const {
    if (Index < 0 || Index >= GetCount()) IndexError();
}

std::string TEditorStrings::Get(int Index) const {
    CheckIndex(Index);
    const TEditorScreenStrings& L = FEditor.List();
    const int row = LineRow(Index);
    if (!L.WordWrap()) return L.Text(row);
    std::string s = L.RowsText(row, -1).Text;
    while (s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0)
        s.resize(s.size() - 2);
    return s;
}

void TEditorStrings::Replace(int Row, int Count, const std::string& Text, int CaretInText) {
    TEditorScreenStrings& L = FEditor.List();
    TUpdateBracket b(*this);
    FEditor.CleanSelection();
    // ReplaceRows re-cuts from at most one row above; the caret is counted from there.
    const int first = Row < L.Count() ? std::max(L.LineStartRow(Row), Row - 1) : Row;
    int before = 0;
    for (int r = first; r < Row; ++r)
        before += static_cast<int>(L.Text(r).size()) + (L.RowAttr(r) == LineEnd ? 2 : 0);
    L.ReplaceRows(Row, Count, Text);
    FEditor.SetCaretByOffset(first, before + CaretInText);
}

int TEditorStrings::Add(const std::string& S) {
    TEditorScreenStrings& L = FEditor.List();
    const int lines = GetCount();
    const int n = L.Count();
    if (n > 0 && L.RowAttr(n - 1) != LineEnd) {
        // The text ends without a line end, and still does.
        std::string t = L.Text(n - 1) + "\r\n" + S;
        Replace(n - 1, 1, t, static_cast<int>(t.size()));
    } else {
        Replace(n, 0, S + "\r\n", static_cast<int>(S.size()) + 2);
    }
    return lines;
}

void TEditorStrings::Insert(int Index, const std::string& S) {
    const int lines = GetCount();
    if (Index == lines) {
        Add(S);
        return;
    }
    if (Index < 0 || Index > lines) IndexError();
    Replace(LineRow(Index), 0, S + "\r\n", static_cast<int>(S.size()) + 2);
}

void TEditorStrings::Delete(int Index) {
    CheckIndex(Index);
    TEditorScreenStrings& L = FEditor.List();
    const int row = LineRow(Index);
    TUpdateBracket b(*this);
    FEditor.CleanSelection();
    L.ReplaceRows(row, L.LineEndRow(row) - row + 1, "");
    FEditor.SetRowCol(row, 0);
}

void TEditorStrings::Put(int Index, const std::string& S) {
    CheckIndex(Index);
    TEditorScreenStrings& L = FEditor.List();
    const int row = LineRow(Index);
    const int last = L.LineEndRow(row);
    Replace(row, last - row + 1, L.RowAttr(last) == LineEnd ? S + "\r\n" : S,
            static_cast<int>(S.size()));
}

void TEditorStrings::Clear() {
    TUpdateBracket b(*this);
    FEditor.List().Clear();
}

void TEditorStrings::Assign(const TPersistent& Source) {
    auto* s = dynamic_cast<const TStrings*>(&Source);
    if (!s) {
        TStrings::Assign(Source);
        return;
    }
    if (s == this) return;
    TUpdateBracket b(*this);
    auto* e = dynamic_cast<const TEditorStrings*>(s);
    SetTextStr(e ? e->GetTextStr() : s->GetText());
    FEditor.SetRowCol(FEditor.RowCount(), 0);
}

std::string TEditorStrings::GetTextStr() const {
    const TEditorScreenStrings& L = FEditor.List();
    const int n = L.Count();
    size_t len = 0;
    for (int r = 0; r < n; ++r)
        len += L.Text(r).size() + (L.RowAttr(r) == LineEnd ? 2 : 0);
    std::string out;
    out.reserve(len);
    for (int r = 0; r < n; ++r) {
        out += L.Text(r);
        if (L.RowAttr(r) == LineEnd) out += "\r\n";
    }
    return out;
}

void TEditorStrings::ForEachPiece(const std::function<void(std::string_view)>& Piece) const {
    const TEditorScreenStrings& L = FEditor.List();
    for (int r = 0, n = L.Count(); r < n; ++r) {
        Piece(L.Text(r));
        if (L.RowAttr(r) == LineEnd) Piece("\r\n");
    }
}

void TEditorStrings::SetTextStr(std::string_view Value) {
    TUpdateBracket b(*this);
    FEditor.List().LoadText(Value);
}

template <class R> void TEditorStrings::Load(R&& Read) {
    TEditorScreenStrings& L = FEditor.List();
    try {
        // One pass: each line is cut into rows as it is read (when wrapping), so that the text
        // is never held twice.
        const TWrapContext ctx = L.WrapContext();
        const TColumnMetrics metrics = ctx.Metrics();
        const bool cut = L.WordWrap() && !FEditor.Loading();
        std::vector<std::pair<std::string, int>> batch;
        auto flush = [&] {
            const int at = L.Count();
            L.InsertRecords(at, static_cast<int>(batch.size()));
            for (size_t i = 0; i < batch.size(); ++i) {
                TVelRecord& r = L.Rec(at + static_cast<int>(i));
                r.Text = std::move(batch[i].first);
                r.Attr1 = static_cast<std::uint32_t>(batch[i].second);
            }
            batch.clear();
        };
        auto add = [&](std::string_view row, int attr) {
            batch.emplace_back(std::string(row), attr);
            if (batch.size() >= 4096) flush();
        };
        ScanLines(Read, [&](const std::string& line, bool ended) {
            const int last = ended ? LineEnd : EndOfText;
            if (!cut || StrWidth(line, metrics) < metrics.WrapByte) {
                add(line, last);
                return;
            }
            CutLine(line, ctx, add);
            if (batch.empty())
                L.SetRowAttr(L.Count() - 1, last);
            else
                batch.back().second = last;
        });
        flush();
    } catch (...) {
        // Half a file shown could be saved over the whole one.
        L.Clear();
        throw;
    }
    L.FileLoaded();
}

void TEditorStrings::LoadFromFile(const std::string& FileName) {
    TEditorScreenStrings& L = FEditor.List();
    TUpdateBracket b(*this);
    L.Clear();
    // Regular files only, opened without waiting: a FIFO or a device is no text to show.
    const int fd = files::OpenRegular(FileName);
    if (fd < 0) throw EFOpenError("Cannot open file \"" + FileName + "\". " + Cause());
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    Load([&](char* into, size_t max) {
        for (;;) {
            const ssize_t n = ::read(fd, into, max);
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR)
                throw EFOpenError("Cannot read file \"" + FileName + "\". " + Cause());
        }
    });
}

void TEditorStrings::LoadFromBuffer(std::string_view Bytes) {
    TUpdateBracket b(*this);
    FEditor.List().Clear();
    size_t at = 0;
    Load([&](char* into, size_t max) {
        const size_t n = std::min(max, Bytes.size() - at);
        std::memcpy(into, Bytes.data() + at, n);
        at += n;
        return n;
    });
}

void TEditorStrings::SaveToFile(const std::string& FileName) const {
    // As one step: a full disk or a failing write leaves the old file whole, and the file keeps
    // its permissions, attributes and links.
    const int error = files::Replace(FileName, GetTextStr());
    if (error != 0)
        throw EFCreateError("Cannot write file \"" + FileName + "\". " + files::ErrorText(error));
}

void TEditorStrings::SetUpdateState(bool Updating) {
    TEditorScreenStrings& L = FEditor.List();
    if (Updating) {
        ++FUpdating;
        L.BeginUpdate();
        FEditor.BeginUnderlineErase();
        ++FEditor.FCaretUpdateLock;
    } else {
        --FUpdating;
        --FEditor.FCaretUpdateLock;
        FEditor.EndUnderlineErase();
        L.EndUpdate();
        FEditor.UpdateCaret();
    }
}

} // namespace editor
