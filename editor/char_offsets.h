// The text as a reader of characters sees it (a screen reader, a magnifier): offsets that count
// characters, a two-byte character being one and a line end being one ("\n"), and what each edit
// removed and inserted, as characters. The character offset of every row start is kept and
// brought up to date edit by edit, so that a caret move or a piece of text asked for costs the
// rows it touches, not a pass over the whole text.
#pragma once

#include "screen_rows.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace editor {

// What one edit did: at character Offset, the characters Removed gave way to Inserted (both
// Shift-JIS, a line end written "\n").
struct TTextEdit {
    int Offset = 0;
    std::string Removed, Inserted;
    friend bool operator==(const TTextEdit&, const TTextEdit&) = default;
};

// Characters of S: a lead byte and the byte after it are one.
int CharCount(std::string_view S);
// The byte where character N of S starts (S's length when S has fewer characters).
int ByteOfChar(std::string_view S, int N);

class TCharOffsets {
  public:
    explicit TCharOffsets(const TEditorScreenStrings& List) : FList(List) {}

    // Characters in the whole text.
    int Length();
    // The offset where row ARow starts; the row count gives the text's length.
    int RowStart(int ARow);
    // The offset of byte AByte of row ARow (at most the row's end, before its line end); the
    // row after the last stands for the text's end.
    int OffsetOf(int ARow, int AByte);
    struct TPlace {
        int Row = 0, Byte = 0;
        friend bool operator==(const TPlace&, const TPlace&) = default;
    };
    // Where an offset falls (clamped to the text): the row that holds its character and the
    // character's first byte; a line end's offset is its row's end; the text's end after a
    // final line end is the row after the last.
    TPlace PlaceOf(int Offset);
    // Characters [From, To) (clamped) as Shift-JIS with "\n" line ends.
    std::string Text(int From, int To);

    // Rows [Index, Index + Count) (their text and line ends) are about to become Text: what will
    // change, as characters, is kept for Changed.
    void Replacing(int Index, int Count, std::string_view Text);
    // The row list changed: an edit announced by Replacing and recorded alone is applied to the
    // kept offsets and returned; anything else has them counted afresh when next asked.
    std::optional<TTextEdit> Changed(const TChangeRecord& Change);

  private:
    // The counts as the rows now are.
    void Ensure();
    int RowChars(int ARow) const;
    // The block that holds row ARow (0 <= ARow < rows).
    size_t BlockOf(int ARow) const;
    // The blocks' first rows and characters, from block From on (their own counts as they are).
    void Reindex(size_t From);

    const TEditorScreenStrings& FList;
    // The characters of each row (its line end counted), in blocks of a few hundred rows, with
    // the first row and the characters before each block: an edit changes one block and the
    // small index, however long the text. Valid while the list's change count is FGeneration.
    static constexpr size_t kBlockRows = 512;
    struct TBlock {
        std::vector<int> Rows;
        int Chars = 0;
    };
    std::vector<TBlock> FBlocks;
    std::vector<int> FFirstRow;  // one more entry than blocks: the row count
    std::vector<int> FFirstChar; // one more entry than blocks: the text's length
    std::uint64_t FGeneration = ~std::uint64_t(0);
    std::optional<TTextEdit> FPending;
    bool FCompound = false;
};

} // namespace editor
