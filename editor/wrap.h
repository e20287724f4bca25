// Measuring text on the grid of display columns and cutting logical lines into screen rows by
// byte width, with the Japanese line-breaking rules of the wrap options.
#pragma once

#include "notify.h"
#include "options.h"

#include <functional>
#include <string>
#include <string_view>

namespace editor {

// The settings a column map depends on: the editor's tab stops, its wrap switch and width.
struct TColumnMetrics {
    int TabSpaceCount = 8;
    bool WordWrap = false;
    int WrapByte = 80;
};

// Column codes.
constexpr char kcChar = '1';      // a one-byte character that is not a word delimiter
constexpr char kcDelimiter = '2'; // a one-byte word delimiter (a tab is one)
constexpr char kcTabBlank = '3';  // a blank column belonging to the tab before it
constexpr char kcLead = '4';      // left column of a two-byte character
constexpr char kcTrail = '5';     // right column of a two-byte character
constexpr char kcEnd = '0';       // appended by the walker

bool IsWordDelimiter(unsigned char B);

// One code per display column of S. Stops once the map reaches WrapByte + 3 columns (wrap on)
// or 1000 (off); the character crossing the limit is still emitted whole.
std::string ColumnMap(std::string_view S, const TColumnMetrics& M);
// One code per display column of S, however wide: the caret's places in a row wider than the
// columns drawn.
std::string FullColumnMap(std::string_view S, const TColumnMetrics& M);
// Display columns of S (no limit).
int StrWidth(std::string_view S, const TColumnMetrics& M);
// S with every tab replaced by the blanks it occupies.
std::string ExpandTab(std::string_view S, const TColumnMetrics& M);

// Walks a column map, keeping the number of text bytes covered by columns 1..Position.
class TEditorAttributeArray {
  public:
    void Reset(std::string_view S, std::string Map);
    void Next();
    void Prev();
    void Prev2();
    void MoveTo(int P);
    int Length() const { return static_cast<int>(FMap.size()) - 1; }
    int Position() const { return FPos; }
    int Count() const { return FCount; }
    char Code() const { return FCode; }
    std::string_view CurrentChar() const;
    std::string_view NextChar();

  private:
    char CodeAt(int P) const {
        return P >= 1 && P <= static_cast<int>(FMap.size()) ? FMap[P - 1] : 0;
    }
    std::string_view FText;
    std::string FMap; // with kcEnd appended
    int FPos = 0;
    int FCount = 0;
    char FCode = 0;
};

// What cutting needs: the wrap switch, the options and the tab stops.
struct TWrapContext {
    bool WordWrap = false;
    const TEditorWrapOption* Option = nullptr;
    int TabSpaceCount = 8;
    TColumnMetrics Metrics() const {
        return {TabSpaceCount, WordWrap, Option ? Option->WrapByte() : 80};
    }
};

// Cuts one logical line (no line ends in it) into rows, calling Emit(row bytes, attribute) for
// each: every row but the last is Wrapped, the last LineEnd.
void CutLine(std::string_view Line, const TWrapContext& C,
             const std::function<void(std::string_view, int)>& Emit);
// The number of rows CutLine would give.
int RowCountOf(std::string_view Line, const TWrapContext& C);
// Clears Rows and fills it with the rows of Text; a final line end starts no further line, an
// empty text gives one empty row. The caller sets the attribute of the last row.
void StrToRows(std::string_view Text, const TWrapContext& C, TRowAttributeStringList& Rows);

} // namespace editor
