// The editor's own text search over chunks of rows, and the ways a hit is shown.
#include "editor_model.h"

#include "textsearch.h"

#include <cstdint>
#include <vector>

namespace editor {

namespace {
// A chunk of rows is searched at once until it holds more than this many bytes.
constexpr int kChunkBytes = 8191;
} // namespace

bool TEditorModel::Search(const std::string& Text, int Options) {
    const int n = RowCount();
    if (n == 0 || Text.empty()) return false;
    const bool down = Options & textsearch::soDown;
    const bool sel = FSelState == sstSelected || FSelState == sstHit;
    // Where the search starts: a row and a byte in it.
    int row, byte;
    if (down) {
        row = sel ? FExtent.BottomRow : std::min(FCaretRow, n - 1);
        byte = sel ? FExtent.EndByte + 1 : FCaretRow >= n ? 0 : ByteOfCol(FCaretRow, FCaretCol);
        if (!sel && FCaretRow >= n) return false;
    } else if (sel) {
        row = FExtent.TopRow;
        byte = FExtent.StartByte;
    } else if (FCaretRow >= n) {
        row = n - 1;
        byte = static_cast<int>(RowText(n - 1).size()) + 2;
    } else {
        row = FCaretRow;
        byte = ByteOfCol(FCaretRow, FCaretCol);
    }
    auto lineEnd = [&](int r) { return FList->RowAttr(r) == LineEnd ? 2 : 0; };
    // A chunk of rows First..Last joined, with each row's offset in it.
    std::string chunk;
    std::vector<int> starts;
    auto build = [&](int First, int Last) {
        chunk.clear();
        starts.clear();
        for (int r = First; r <= Last; ++r) {
            starts.push_back(static_cast<int>(chunk.size()));
            chunk += RowText(r);
            if (lineEnd(r)) chunk += "\r\n";
        }
    };
    int hitRow = -1, hitByte = 0, hitLength = 0;
    auto locate = [&](int First, int32_t Offset) {
        int i = static_cast<int>(std::upper_bound(starts.begin(), starts.end(), Offset) -
                                 starts.begin()) -
                1;
        hitRow = First + i;
        hitByte = Offset - starts[i];
    };
    const auto options = static_cast<textsearch::TSearchOptions>(Options);
    if (down) {
        for (int first = row; first < n;) {
            int last = first, size = 0;
            for (; last < n; ++last) {
                size += static_cast<int>(RowText(last).size()) + lineEnd(last);
                if (size > kChunkBytes) break;
            }
            last = std::min(last, n - 1);
            build(first, last);
            std::int32_t s = first == row ? byte : 0, l = 0;
            if (textsearch::FindInBuffer(chunk, s, l, Text, options)) {
                locate(first, s);
                hitLength = l;
                break;
            }
            if (last == n - 1) break;
            first = last > first ? last : first + 1;
        }
    } else {
        for (int last = row; last >= 0;) {
            int first = last, size = 0;
            for (; first >= 0; --first) {
                size += static_cast<int>(RowText(first).size()) + lineEnd(first);
                if (size > kChunkBytes) break;
            }
            first = std::max(first, 0);
            build(first, last);
            std::int32_t s = last == row ? std::min<std::int32_t>(starts.back() + byte,
                                                                  static_cast<int>(chunk.size()))
                                         : static_cast<std::int32_t>(chunk.size());
            std::int32_t l = 0;
            if (textsearch::FindInBuffer(chunk, s, l, Text, options)) {
                locate(first, s);
                hitLength = l;
                break;
            }
            if (first == 0) break;
            last = first < last ? first : last - 1;
        }
    }
    if (hitRow < 0) return false;
    CleanSelection();
    ++FCaretUpdateLock;
    SetRowCol(hitRow, ColOfByte(hitRow, hitByte));
    if (FHitStyle == hsSelect) {
        SetSelLength(hitLength);
    } else {
        if (FBoxMode) SetSelectionMode(false);
        FSelectAsHit = true;
        StartSelection();
        SetCaretByOffset(FCaretRow, hitByte + hitLength);
        UpdateSelection();
        FSelectAsHit = false;
        if (FHitStyle == hsCaret) {
            // The caret goes back to the hit's start, as wide as the hit on its row.
            const int c = ColOfByte(hitRow, hitByte);
            FCaretRow = hitRow;
            FCaretCol = c;
            const int endByte = hitRow == FExtent.BottomRow
                                    ? FExtent.EndByte + 1
                                    : static_cast<int>(RowText(hitRow).size());
            HitCaretView(ColOfByte(hitRow, endByte) - c);
        }
    }
    FHitLength = hitLength;
    --FCaretUpdateLock;
    UpdateCaret();
    ScrollCaret();
    return true;
}

} // namespace editor
