#include "grep.h"

#include "codec.h"

#include <memory>

namespace engine {
namespace {

bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The codes of a literal as the reader decodes them: lead byte in the high half.
std::vector<std::uint16_t> LiteralCodes(const std::string& s) {
    std::vector<std::uint16_t> codes;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (IsLead(b) && i + 1 < s.size())
            codes.push_back(
                static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(s[++i])));
        else
            codes.push_back(b);
    }
    return codes;
}

// Counts a running Grep call for as long as it runs, however it ends.
struct RunningGuard {
    int& n;
    explicit RunningGuard(int& c) : n(c) { ++n; }
    ~RunningGuard() { --n; }
};

} // namespace

TGrep::TGrep() = default;

void TGrep::ForbidWhileRunning() const {
    if (running_ > 0) throw Exception(cp932::FromUtf8("検索中は検索語を変更できません"));
}

void TGrep::SetRegExp(const std::string& pattern) {
    ForbidWhileRunning();
    regExp_ = pattern;
    literal_ = pattern;
}

void TGrep::SetUseFuzzyCharDic(bool on) {
    ForbidWhileRunning();
    useFuzzy_ = on;
    SetRegExp(regExp_);
}

void TGrep::SetUseSynonymDic(bool on) {
    ForbidWhileRunning();
    useSynonym_ = on;
    SetRegExp(regExp_);
}

void TGrep::Grep(const std::string& fileName) {
    RunningGuard guard(running_);
    GrepByLiteral(fileName);
}

void TGrep::GrepByLiteral(const std::string& fileName) {
    Cancel = false;
    const std::vector<std::uint16_t> codes = LiteralCodes(literal_);
    if (!OnMatch) return;
    std::unique_ptr<TTxtFile> file;
    try {
        file = std::make_unique<TTxtFile>(fileName, Cancel, ProcessMessages);
    } catch (const EEndOfFile&) {
        return;
    }
    // No data character has code 0 (a zero byte reads as a space), so a literal that names it
    // (or the empty literal) can match nothing.
    if (codes.empty()) return;
    for (std::uint16_t c : codes)
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

} // namespace engine
