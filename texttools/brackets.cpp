// Bracket removal over Shift-JIS text.
#include "brackets.h"

#include "codec.h"

#include <cstddef>
#include <utility>

namespace {

bool IsOpening(const std::string& t, std::size_t i, std::size_t width) {
    const auto b0 = static_cast<unsigned char>(t[i]);
    if (width == 1) return b0 == '(';
    return b0 == 0x81 && static_cast<unsigned char>(t[i + 1]) == 0x69; // （
}

bool IsClosing(const std::string& t, std::size_t i, std::size_t width) {
    const auto b0 = static_cast<unsigned char>(t[i]);
    if (width == 1) return b0 == ')';
    return b0 == 0x81 && static_cast<unsigned char>(t[i + 1]) == 0x6A; // ）
}

} // namespace

const std::string& MissingOpenBracketMessage() {
    static const std::string kMsg = cp932::FromUtf8("カッコが閉じていません-- ( が足りません");
    return kMsg;
}

const std::string& MissingCloseBracketMessage() {
    static const std::string kMsg = cp932::FromUtf8("カッコが閉じていません--  ) が足りません");
    return kMsg;
}

TStripResult StripBracketsChecked(const std::string& text) {
    TStripResult r{{}, TBracketFault::bfNone, {}};
    const std::size_t n = text.size();
    int depth = 0;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < n) {
        // A lead byte at the very end stands alone.
        const std::size_t width =
            (cp932::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < n) ? 2 : 1;
        if (IsOpening(text, i, width)) {
            if (++depth == 1) r.text.append(text, start, i - start);
        } else if (IsClosing(text, i, width)) {
            if (--depth == 0) start = i + width;
            if (depth < 0) {
                // The unmatched closing bracket stays; what follows it is dropped.
                r.text.append(text, start, i + width - start);
                r.fault = TBracketFault::bfMissingOpen;
                r.message = MissingOpenBracketMessage();
                return r;
            }
        }
        i += width;
    }
    if (depth == 0) {
        r.text.append(text, start, n - start);
    } else {
        r.fault = TBracketFault::bfMissingClose;
        r.message = MissingCloseBracketMessage();
    }
    return r;
}

std::string StripBrackets(const std::string& text,
                          const std::function<void(const std::string&)>& showMessage) {
    TStripResult r = StripBracketsChecked(text);
    if (r.fault != TBracketFault::bfNone && showMessage) showMessage(r.message);
    return std::move(r.text);
}
