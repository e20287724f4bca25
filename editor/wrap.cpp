#include "wrap.h"

#include "codec.h"

#include <bitset>

namespace editor {

namespace {

const std::bitset<256>& Delimiters() {
    static const std::bitset<256> set = [] {
        std::bitset<256> s;
        auto range = [&s](int a, int b) {
            for (int i = a; i <= b; ++i)
                s.set(static_cast<size_t>(i));
        };
        range(0, 47);
        range(58, 64);
        range(91, 94);
        range(96, 96);
        range(123, 128);
        range(160, 165);
        range(253, 255);
        return s;
    }();
    return set;
}

bool IsLeadAt(std::string_view S, size_t i) {
    return cp932::IsLeadByte(static_cast<unsigned char>(S[i])) && i + 1 < S.size();
}

int TabColumns(int K, const TColumnMetrics& M) {
    int ts = M.TabSpaceCount > 0 ? M.TabSpaceCount : 8;
    int w = ts - K % ts;
    if (M.WordWrap && M.WrapByte > 0) w = std::min(w, M.WrapByte - K % M.WrapByte);
    return w;
}

// Builds the map up to Limit columns (0: no limit).
std::string BuildMap(std::string_view S, const TColumnMetrics& M, size_t Limit) {
    std::string map;
    map.reserve(Limit ? Limit + 8 : S.size() + 8);
    for (size_t i = 0; i < S.size() && (Limit == 0 || map.size() < Limit);) {
        unsigned char b = static_cast<unsigned char>(S[i]);
        if (b == '\t') {
            map += kcDelimiter;
            map.append(static_cast<size_t>(TabColumns(static_cast<int>(map.size()) - 1, M) - 1),
                       kcTabBlank);
            ++i;
        } else if (IsLeadAt(S, i)) {
            map += kcLead;
            map += kcTrail;
            i += 2;
        } else {
            map += IsWordDelimiter(b) ? kcDelimiter : kcChar;
            ++i;
        }
    }
    return map;
}

// Whether the character X stands in T at a character boundary.
bool InStr(std::string_view X, std::string_view T) {
    return ContainsText(X, T);
}

} // namespace

bool IsWordDelimiter(unsigned char B) {
    return Delimiters().test(B);
}

std::string ColumnMap(std::string_view S, const TColumnMetrics& M) {
    return BuildMap(S, M, M.WordWrap ? static_cast<size_t>(M.WrapByte + 3) : 1000);
}

std::string FullColumnMap(std::string_view S, const TColumnMetrics& M) {
    return BuildMap(S, M, 0); // no limit
}

int StrWidth(std::string_view S, const TColumnMetrics& M) {
    int w = 0;
    for (size_t i = 0; i < S.size();) {
        if (S[i] == '\t') {
            w += TabColumns(w, M);
            ++i;
        } else if (IsLeadAt(S, i)) {
            w += 2;
            i += 2;
        } else {
            ++w;
            ++i;
        }
    }
    return w;
}

std::string ExpandTab(std::string_view S, const TColumnMetrics& M) {
    if (S.find('\t') == std::string_view::npos) return std::string(S);
    std::string r;
    int w = 0;
    for (size_t i = 0; i < S.size();) {
        if (S[i] == '\t') {
            int n = TabColumns(w, M);
            r.append(static_cast<size_t>(n), ' ');
            w += n;
            ++i;
        } else {
            int n = IsLeadAt(S, i) ? 2 : 1;
            r.append(S.substr(i, static_cast<size_t>(n)));
            w += n;
            i += static_cast<size_t>(n);
        }
    }
    return r;
}

// TEditorAttributeArray

void TEditorAttributeArray::Reset(std::string_view S, std::string Map) {
    FText = S;
    FMap = std::move(Map);
    FMap += kcEnd;
    FPos = 0;
    FCount = 0;
    FCode = 0;
    Next();
}

void TEditorAttributeArray::Next() {
    if (FCode == kcEnd) return;
    ++FPos;
    FCode = CodeAt(FPos);
    if (FCode != kcTabBlank && FCode != kcEnd) ++FCount;
}

void TEditorAttributeArray::Prev() {
    if (FPos <= 1) return;
    // The column left behind held a byte of its own unless it was a tab's blank (or the end).
    char left = FCode;
    --FPos;
    FCode = CodeAt(FPos);
    if (left != kcTabBlank && left != kcEnd) --FCount;
}

void TEditorAttributeArray::Prev2() {
    Prev();
    if (FCode == kcLead) Prev();
}

void TEditorAttributeArray::MoveTo(int P) {
    while (FPos < P && FCode != kcEnd)
        Next();
    while (FPos > P && FPos > 1)
        Prev();
}

std::string_view TEditorAttributeArray::CurrentChar() const {
    if (FCode == kcEnd || FCode == 0 || FCount < 1) return {};
    size_t c = static_cast<size_t>(FCount);
    if (FCode == kcTrail) return c >= 2 ? FText.substr(c - 2, 2) : std::string_view{};
    if (FCode == kcLead) return FText.substr(c - 1, 2);
    return FText.substr(c - 1, 1);
}

std::string_view TEditorAttributeArray::NextChar() {
    if (FCode == kcEnd) return {};
    Next();
    std::string_view r = CurrentChar();
    Prev();
    return r;
}

// Cutting

namespace {

// Runs the cutting loop over Line, calling Emit for each row; returns the row count.
int Cut(std::string_view Line, const TWrapContext& C,
        const std::function<void(std::string_view, int)>* Emit) {
    if (!C.WordWrap || !C.Option) {
        if (Emit) (*Emit)(Line, LineEnd);
        return 1;
    }
    const TEditorWrapOption& o = *C.Option;
    const TColumnMetrics metrics = C.Metrics();
    const int W = metrics.WrapByte;
    std::string map = ColumnMap(Line, metrics);
    if (static_cast<int>(map.size()) < W) {
        if (Emit) (*Emit)(Line, LineEnd);
        return 1;
    }
    const int floor45 = (W / 5) * 4;
    int rows = 0;
    std::string_view rest = Line;
    // Rows wait one step so that the last of a line that fills its row exactly can become
    // LineEnd (FollowRetMark).
    std::string_view pending;
    bool hasPending = false;
    TEditorAttributeArray a;
    a.Reset(rest, std::move(map));
    a.MoveTo(W);
    while (a.Code() != kcEnd) {
        if (a.Code() == kcLead) {
            a.Prev();
        } else if (o.WordBreak() && W < a.Length()) {
            while (!(a.Code() == kcDelimiter || a.Code() == kcTabBlank || a.Code() == kcTrail) &&
                   a.Position() > W / 3)
                a.Prev2();
            // No break found in the last two thirds: cut at the width after all.
            if (a.Position() <= W / 3) {
                a.MoveTo(W);
                if (a.Code() == kcLead) a.Prev();
            }
        }
        if (o.FollowPunctuation()) {
            while (a.Position() < W + 2 && InStr(a.NextChar(), o.PunctuationStr())) {
                a.Next();
                if (a.Code() == kcLead) a.Next();
            }
        }
        if (o.Leading() && a.Position() < a.Length()) {
            while (a.Position() > floor45 && InStr(a.CurrentChar(), o.LeadStr()))
                a.Prev2();
            if (a.Position() + 1 < a.Length() && InStr(a.NextChar(), o.FollowStr())) {
                std::string_view A = a.NextChar();
                std::string_view B = a.CurrentChar();
                while (a.Position() > floor45 &&
                       (InStr(B, o.LeadStr()) || InStr(A, o.FollowStr()))) {
                    a.Prev2();
                    A = B;
                    B = a.CurrentChar();
                }
            }
        }
        // Always take at least one character, so the loop ends whatever the map says.
        size_t n = static_cast<size_t>(std::max(a.Count(), 1));
        if (n > rest.size()) n = rest.size();
        if (n < rest.size() && n == 1 && IsLeadAt(rest, 0)) n = 2;
        if (hasPending && Emit) (*Emit)(pending, Wrapped);
        pending = rest.substr(0, n);
        hasPending = true;
        ++rows;
        rest.remove_prefix(n);
        a.Reset(rest, ColumnMap(rest, metrics));
        a.MoveTo(W);
    }
    if (!rest.empty()) {
        if (Emit) {
            (*Emit)(pending, Wrapped);
            (*Emit)(rest, LineEnd);
        }
        return rows + 1;
    }
    if (o.FollowRetMark()) {
        if (Emit) (*Emit)(pending, LineEnd);
        return rows;
    }
    if (Emit) {
        (*Emit)(pending, Wrapped);
        (*Emit)(std::string_view{}, LineEnd);
    }
    return rows + 1;
}

} // namespace

void CutLine(std::string_view Line, const TWrapContext& C,
             const std::function<void(std::string_view, int)>& Emit) {
    Cut(Line, C, &Emit);
}

int RowCountOf(std::string_view Line, const TWrapContext& C) {
    return Cut(Line, C, nullptr);
}

void StrToRows(std::string_view Text, const TWrapContext& C, TRowAttributeStringList& Rows) {
    Rows.BeginUpdate();
    Rows.Clear();
    auto emit = [&Rows](std::string_view row, int attr) {
        int i = Rows.Add(std::string(row));
        Rows.SetRowAttr(i, attr);
    };
    std::function<void(std::string_view, int)> fn = emit;
    if (Text.empty()) {
        emit({}, LineEnd);
    } else {
        size_t p = 0;
        while (p < Text.size()) {
            size_t e = p;
            while (e < Text.size() && Text[e] != '\r' && Text[e] != '\n')
                ++e;
            Cut(Text.substr(p, e - p), C, &fn);
            p = e;
            if (p < Text.size() && Text[p] == '\r') ++p;
            if (p < Text.size() && Text[p] == '\n') ++p;
        }
    }
    Rows.EndUpdate();
}

} // namespace editor
