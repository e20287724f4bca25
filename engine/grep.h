// TGrep: searches one file at a time for the current pattern and reports every line that holds
// a match, in file order, through OnMatch. A pattern that compiles to a plain string is
// searched by direct comparison, any other by walking its deterministic automaton.
#pragma once

#include "errors.h"
#include "fast_grep.h"
#include "regexp.h"
#include "txtfile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engine {

class TGrep : public TRegularExpression {
  public:
    TGrep();
    TGrep(const TGrep&) = delete;
    TGrep& operator=(const TGrep&) = delete;

    // Called once for every line that holds a match.
    std::function<void(TGrep& Sender, RE_LineInfo_t LineInfo)> OnMatch;
    // Set by the caller (or by OnMatch) to stop Grep; Grep clears it when it starts a file.
    bool Cancel = false;
    // The host's event pump, run once per block read and once per reported line.
    std::function<void()> ProcessMessages;

    // Makes `pattern` current. ERegExpParser for a malformed pattern. While Grep runs (from
    // inside OnMatch or the event pump) the pattern and the flags cannot change, since the
    // automaton in use must stay alive: that raises Exception and changes nothing.
    void SetRegExp(const std::string& pattern) override;
    // Takes the other's pattern, flags and compiled automaton (see TRegularExpression); not
    // while Grep runs.
    void ShareCurrentOf(const TRegularExpression& other) override;
    // Widening by the character-equivalence dictionary; setting it re-applies RegExp().
    void SetUseFuzzyCharDic(bool on);
    bool UseFuzzyCharDic() const { return PreProcessor().UseFuzzyCharDic; }
    // Widening by synonym dictionaries (none is registered); setting it re-applies RegExp().
    void SetUseSynonymDic(bool on);
    bool UseSynonymDic() const { return PreProcessor().UseSynonymDic; }

    // Both line anchors are the line feeds that the reader puts around every line.
    TCharCode HeadCode() const override { return kLineFeed; }
    TCharCode TailCode() const override { return kLineFeed; }

    // Searches one file (Shift-JIS path, "/" separators). EFileNotFound when it cannot be
    // opened, EGrepCancel when cancelled; an empty file reports nothing.
    void Grep(const std::string& fileName);

    // The reference routines, which start an attempt at every character through the block
    // reader. Grep runs the fast search instead unless UseReference is set; both report the
    // same lines.
    void GrepByLiteral(const std::string& fileName);
    void GrepByAutomaton(const std::string& fileName);

    bool UseReference = false;

    // How the notes are read: each in its own encoding (Shift-JIS, UTF-8 or UTF-16, see
    // cp932::DetectNoteKind), or all in one.
    cp932::EncodingChoice Encoding = cp932::EncodingChoice::Auto;

    // Whether Grep currently runs the literal routine.
    bool UsesLiteral() const { return useLiteral_; }

  private:
    void ForbidWhileRunning() const;
    void ChooseRoutine();

    bool useLiteral_ = true;
    std::vector<TCharCode> literal_;
    int running_ = 0;
    TFastBuffer buffer_;
};

} // namespace engine
