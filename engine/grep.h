// TGrep: searches one file at a time for the current pattern and reports every line that holds
// a match, in file order, through OnMatch.
#pragma once

#include "errors.h"
#include "txtfile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engine {

class TGrep {
  public:
    TGrep();
    virtual ~TGrep() = default;
    TGrep(const TGrep&) = delete;
    TGrep& operator=(const TGrep&) = delete;

    // Called once for every line that holds a match.
    std::function<void(TGrep& Sender, RE_LineInfo_t LineInfo)> OnMatch;
    // Set by the caller (or by OnMatch) to stop Grep; Grep clears it when it starts a file.
    bool Cancel = false;
    // The host's event pump, run once per block read and once per reported line.
    std::function<void()> ProcessMessages;

    // Makes `pattern` current. ERegExpParser for a malformed pattern, which leaves the previous
    // pattern in force. While Grep runs (from inside OnMatch or the event pump) the pattern and
    // the flags cannot change: the automaton in use must stay alive; that raises Exception.
    void SetRegExp(const std::string& pattern);
    const std::string& RegExp() const { return regExp_; }
    void SetUseFuzzyCharDic(bool on);
    bool UseFuzzyCharDic() const { return useFuzzy_; }
    void SetUseSynonymDic(bool on);
    bool UseSynonymDic() const { return useSynonym_; }

    // Searches one file (Shift-JIS path, "/" separators). EFileNotFound when it cannot be
    // opened, EGrepCancel when cancelled; an empty file reports nothing.
    void Grep(const std::string& fileName);

    void GrepByLiteral(const std::string& fileName);

  private:
    void ForbidWhileRunning() const;

    std::string regExp_;
    bool useFuzzy_ = false;
    bool useSynonym_ = false;
    std::string literal_;
    int running_ = 0;
};

} // namespace engine

using engine::TGrep;
