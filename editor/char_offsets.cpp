#include "char_offsets.h"

#include "codec.h"

#include <algorithm>

namespace editor {

namespace {

// Bytes of the character that starts at byte I of S.
size_t CharBytes(std::string_view S, size_t I) {
    return cp932::IsLeadByte(static_cast<unsigned char>(S[I])) && I + 1 < S.size() ? 2 : 1;
}

// The byte where each character of S starts, and S's length after them.
std::vector<size_t> CharStarts(std::string_view S) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < S.size(); i += CharBytes(S, i))
        starts.push_back(i);
    starts.push_back(S.size());
    return starts;
}

// S with every line end (CR LF, CR or LF) written "\n".
std::string OneCharLineEnds(std::string_view S) {
    std::string out;
    out.reserve(S.size());
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == '\r') {
            out += '\n';
            if (i + 1 < S.size() && S[i + 1] == '\n') ++i;
        } else {
            out += S[i];
        }
    }
    return out;
}

} // namespace

int CharCount(std::string_view S) {
    int n = 0;
    for (size_t i = 0; i < S.size(); i += CharBytes(S, i))
        ++n;
    return n;
}

int ByteOfChar(std::string_view S, int N) {
    size_t i = 0;
    for (; i < S.size() && N > 0; --N)
        i += CharBytes(S, i);
    return static_cast<int>(i);
}

int TCharOffsets::RowChars(int ARow) const {
    return CharCount(FList.Text(ARow)) + (FList.RowAttr(ARow) == LineEnd ? 1 : 0);
}

void TCharOffsets::Reindex(size_t From) {
    FFirstRow.resize(FBlocks.size() + 1);
    FFirstChar.resize(FBlocks.size() + 1);
    if (From == 0) FFirstRow[0] = FFirstChar[0] = 0;
    for (size_t b = From; b < FBlocks.size(); ++b) {
        FFirstRow[b + 1] = FFirstRow[b] + static_cast<int>(FBlocks[b].Rows.size());
        FFirstChar[b + 1] = FFirstChar[b] + FBlocks[b].Chars;
    }
}

void TCharOffsets::Ensure() {
    if (FGeneration == FList.ChangeCount() && !FFirstRow.empty() &&
        FFirstRow.back() == FList.Count())
        return;
    const int n = FList.Count();
    FBlocks.clear();
    for (int r = 0; r < n; ++r) {
        if (r % static_cast<int>(kBlockRows) == 0) {
            FBlocks.emplace_back();
            FBlocks.back().Rows.reserve(kBlockRows);
        }
        const int chars = RowChars(r);
        FBlocks.back().Rows.push_back(chars);
        FBlocks.back().Chars += chars;
    }
    Reindex(0);
    FGeneration = FList.ChangeCount();
}

size_t TCharOffsets::BlockOf(int ARow) const {
    return static_cast<size_t>(std::upper_bound(FFirstRow.begin(), FFirstRow.end() - 1, ARow) -
                               FFirstRow.begin()) -
           1;
}

int TCharOffsets::Length() {
    Ensure();
    return FFirstChar.back();
}

int TCharOffsets::RowStart(int ARow) {
    Ensure();
    if (ARow <= 0) return 0;
    if (ARow >= FList.Count()) return FFirstChar.back();
    const size_t b = BlockOf(ARow);
    int at = FFirstChar[b];
    const std::vector<int>& rows = FBlocks[b].Rows;
    for (int i = 0, end = ARow - FFirstRow[b]; i < end; ++i)
        at += rows[static_cast<size_t>(i)];
    return at;
}

int TCharOffsets::OffsetOf(int ARow, int AByte) {
    Ensure();
    if (ARow < 0) return 0;
    if (ARow >= FList.Count()) return FFirstChar.back();
    const std::string& s = FList.Text(ARow);
    const size_t end = static_cast<size_t>(std::clamp(AByte, 0, static_cast<int>(s.size())));
    int n = 0;
    for (size_t i = 0; i < end; i += CharBytes(s, i))
        ++n;
    return RowStart(ARow) + n;
}

TCharOffsets::TPlace TCharOffsets::PlaceOf(int Offset) {
    Ensure();
    const int n = FList.Count();
    if (n == 0 || Offset <= 0) return {0, 0};
    if (Offset >= FFirstChar.back()) {
        // The text's end: after a final line end, the row after the last.
        if (FList.RowAttr(n - 1) == LineEnd) return {n, 0};
        return {n - 1, static_cast<int>(FList.Text(n - 1).size())};
    }
    // The last row that starts at or before Offset (rows of no characters start where the next
    // does: the one that holds the character is the last of them).
    const size_t b =
        static_cast<size_t>(std::upper_bound(FFirstChar.begin(), FFirstChar.end() - 1, Offset) -
                            FFirstChar.begin() - 1);
    int row = FFirstRow[b], at = FFirstChar[b];
    const std::vector<int>& rows = FBlocks[b].Rows;
    for (size_t i = 0; i + 1 < rows.size() && at + rows[i] <= Offset; ++i) {
        at += rows[i];
        ++row;
    }
    return {row, ByteOfChar(FList.Text(row), Offset - at)};
}

std::string TCharOffsets::Text(int From, int To) {
    Ensure();
    From = std::clamp(From, 0, FFirstChar.back());
    To = std::clamp(To, From, FFirstChar.back());
    std::string out;
    if (From == To) return out;
    TPlace p = PlaceOf(From);
    int left = To - From;
    for (int r = p.Row, byte = p.Byte; left > 0 && r < FList.Count(); ++r, byte = 0) {
        const std::string& s = FList.Text(r);
        const int at = ByteOfChar(std::string_view(s).substr(static_cast<size_t>(byte)), left);
        out.append(s, static_cast<size_t>(byte), static_cast<size_t>(at));
        left -= CharCount(
            std::string_view(s).substr(static_cast<size_t>(byte), static_cast<size_t>(at)));
        if (left > 0 && FList.RowAttr(r) == LineEnd) {
            out += '\n';
            --left;
        }
    }
    return out;
}

void TCharOffsets::Replacing(int Index, int Count, std::string_view Text) {
    if (FPending || FCompound) {
        // A second edit before the list reports the first: the offsets are counted afresh.
        FPending.reset();
        FCompound = true;
        return;
    }
    Ensure();
    const int n = FList.Count();
    Index = std::clamp(Index, 0, n);
    Count = std::clamp(Count, 0, n - Index);
    std::string old;
    for (int r = Index; r < Index + Count; ++r) {
        old += FList.Text(r);
        if (FList.RowAttr(r) == LineEnd) old += '\n';
    }
    const std::string now = OneCharLineEnds(Text);
    // Only what differs: the characters both share at their starts and ends stay.
    const std::vector<size_t> a = CharStarts(old), b = CharStarts(now);
    const size_t na = a.size() - 1, nb = b.size() - 1;
    auto same = [&](size_t i, size_t j) {
        return old.compare(a[i], a[i + 1] - a[i], now, b[j], b[j + 1] - b[j]) == 0;
    };
    size_t head = 0;
    while (head < na && head < nb && same(head, head))
        ++head;
    size_t tail = 0;
    while (tail < na - head && tail < nb - head && same(na - 1 - tail, nb - 1 - tail))
        ++tail;
    TTextEdit e;
    e.Offset = RowStart(Index) + static_cast<int>(head);
    e.Removed = old.substr(a[head], a[na - tail] - a[head]);
    e.Inserted = now.substr(b[head], b[nb - tail] - b[head]);
    FPending = std::move(e);
}

std::optional<TTextEdit> TCharOffsets::Changed(const TChangeRecord& Change) {
    std::optional<TTextEdit> edit = std::move(FPending);
    FPending.reset();
    const bool compound = FCompound;
    FCompound = false;
    const int oldRows = FFirstRow.empty() ? -1 : FFirstRow.back();
    const int n = FList.Count();
    const bool single = edit && !compound && Change.Records == 1 && Change.Start >= 0 &&
                        Change.Start + Change.Removed <= oldRows &&
                        oldRows - Change.Removed + Change.Inserted == n;
    if (!single) {
        FGeneration = ~std::uint64_t(0);
        return std::nullopt;
    }
    // The rows of the change are taken out of their blocks and the new ones counted in; the
    // blocks after them keep their counts.
    const int oldLength = FFirstChar.back();
    size_t b = Change.Start < oldRows ? BlockOf(Change.Start) : FBlocks.size();
    if (b == FBlocks.size()) {
        if (FBlocks.empty() || FBlocks.back().Rows.size() >= kBlockRows) FBlocks.emplace_back();
        b = FBlocks.size() - 1;
    }
    const size_t first = b;
    size_t last = b;
    const size_t put = static_cast<size_t>(Change.Start - FFirstRow[first]);
    for (int left = Change.Removed, at = static_cast<int>(put); left > 0; ++b, at = 0) {
        std::vector<int>& rows = FBlocks[b].Rows;
        const int k = std::min(left, static_cast<int>(rows.size()) - at);
        rows.erase(rows.begin() + at, rows.begin() + at + k);
        left -= k;
        last = b;
    }
    std::vector<int>& into = FBlocks[first].Rows;
    std::vector<int> fresh;
    for (int i = 0; i < Change.Inserted; ++i)
        fresh.push_back(RowChars(Change.Start + i));
    into.insert(into.begin() + static_cast<std::ptrdiff_t>(std::min(put, into.size())),
                fresh.begin(), fresh.end());
    // A block grown large is cut; blocks left empty go; the touched ones are counted again.
    if (into.size() > 2 * kBlockRows) {
        std::vector<TBlock> cut;
        for (size_t i = 0; i < into.size(); i += kBlockRows)
            cut.push_back({std::vector<int>(into.begin() + static_cast<std::ptrdiff_t>(i),
                                            into.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                               into.size(), i + kBlockRows))),
                           0});
        FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(first));
        FBlocks.insert(FBlocks.begin() + static_cast<std::ptrdiff_t>(first), cut.begin(),
                       cut.end());
        last += cut.size() - 1;
    }
    for (size_t i = last + 1; i-- > first;) {
        TBlock& t = FBlocks[i];
        if (t.Rows.empty()) {
            FBlocks.erase(FBlocks.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        t.Chars = 0;
        for (int c : t.Rows)
            t.Chars += c;
    }
    Reindex(first);
    if (FFirstChar.back() - oldLength != CharCount(edit->Inserted) - CharCount(edit->Removed) ||
        FFirstRow.back() != n) {
        FGeneration = ~std::uint64_t(0);
        return std::nullopt;
    }
    FGeneration = FList.ChangeCount();
    return edit;
}

} // namespace editor
