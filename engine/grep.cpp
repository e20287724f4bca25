#include "grep.h"

#include "codec.h"
#include "fast_grep.h"

#include <memory>
#include <utility>

namespace engine {
namespace {

// Counts a running Grep call for as long as it runs, however it ends.
struct RunningGuard {
    int& n;
    explicit RunningGuard(int& c) : n(c) { ++n; }
    ~RunningGuard() { --n; }
};

} // namespace

TGrep::TGrep() {
    FuzzyCharDics().push_back(&EquivalenceDictionary());
    ChooseRoutine();
}

void TGrep::ForbidWhileRunning() const {
    if (running_ > 0) throw Exception(cp932::FromUtf8("検索中は検索語を変更できません"));
}

void TGrep::ChooseRoutine() {
    useLiteral_ = IsLiteral();
    literal_ = useLiteral_ ? CurrentAutomaton().LiteralCodes : std::vector<TCharCode>{};
}

void TGrep::SetRegExp(const std::string& pattern) {
    ForbidWhileRunning();
    try {
        TRegularExpression::SetRegExp(pattern);
    } catch (...) {
        // The component kept its previous pattern or fell back to the empty one; either way
        // the routine follows the automaton now current, so that RegExp() and what Grep
        // finds never disagree.
        ChooseRoutine();
        throw;
    }
    ChooseRoutine();
}

void TGrep::ShareCurrentOf(const TRegularExpression& other) {
    ForbidWhileRunning();
    try {
        TRegularExpression::ShareCurrentOf(other);
    } catch (...) {
        ChooseRoutine();
        throw;
    }
    ChooseRoutine();
}

void TGrep::SetUseFuzzyCharDic(bool on) {
    ForbidWhileRunning();
    PreProcessor().UseFuzzyCharDic = on;
    SetRegExp(RegExp());
}

void TGrep::SetUseSynonymDic(bool on) {
    ForbidWhileRunning();
    PreProcessor().UseSynonymDic = on;
    SetRegExp(RegExp());
}

void TGrep::Grep(const std::string& fileName) {
    RunningGuard guard(running_);
    if (!UseReference) {
        // As the reference routines: the literal one clears Cancel even without OnMatch.
        if (useLiteral_) Cancel = false;
        if (!OnMatch) return;
        Cancel = false;
        auto report = [this](RE_LineInfo_t& info) { OnMatch(*this, std::move(info)); };
        if (FastGrep(CurrentAutomaton(), fileName, Encoding, buffer_, Cancel, ProcessMessages,
                     report))
            return;
    }
    if (useLiteral_)
        GrepByLiteral(fileName);
    else
        GrepByAutomaton(fileName);
}

void TGrep::GrepByLiteral(const std::string& fileName) {
    Cancel = false;
    const std::vector<TCharCode> codes = literal_;
    if (!OnMatch) return;
    std::unique_ptr<TTxtFile> file;
    try {
        file = std::make_unique<TTxtFile>(fileName, Cancel, ProcessMessages, Encoding);
    } catch (const EEndOfFile&) {
        return;
    }
    // No data character has code 0 (a zero byte reads as a space), so a literal that names it
    // (or the empty literal) can match nothing.
    if (codes.empty()) return;
    for (TCharCode c : codes)
        if (c == 0) return;
    const std::size_t n = codes.size();
    RE_LineInfo_t info;
    try {
        for (;;) {
            if (file->GetStartChar() != codes[0]) continue;
            std::size_t i = 1;
            while (i < n && file->GetNextChar() == codes[i])
                ++i;
            if (i == n) {
                file->GetLine(info);
                OnMatch(*this, info);
            }
        }
    } catch (const EEndOfFile&) {
    }
}

void TGrep::GrepByAutomaton(const std::string& fileName) {
    if (!OnMatch) return;
    Cancel = false;
    const TRE_DFAState* initial = CurrentAutomaton().InitialState;
    std::unique_ptr<TTxtFile> file;
    try {
        file = std::make_unique<TTxtFile>(fileName, Cancel, ProcessMessages, Encoding);
    } catch (const EEndOfFile&) {
        return;
    }
    RE_LineInfo_t info;
    try {
        for (;;) {
            const TRE_DFAState* state = NextState(initial, file->GetStartChar());
            while (state) {
                if (state->Accepting) {
                    file->GetLine(info);
                    OnMatch(*this, info);
                    break;
                }
                // Past the end of the data the reader yields code 0 for ever; an attempt
                // that gets there (only a pattern naming code 0 can) ends instead of looping.
                if (file->MatchAtEnd()) break;
                state = NextState(state, file->GetNextChar());
            }
        }
    } catch (const EEndOfFile&) {
    }
}

} // namespace engine
