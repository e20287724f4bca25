#include "sjis_text.h"

#include "codec.h"

namespace cp932 {

int CompareNoCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        const bool la = IsLeadByte(ca) && i + 1 < a.size();
        const bool lb = IsLeadByte(cb) && j + 1 < b.size();
        // A two-byte character as lead byte * 256 + second byte, above every single byte.
        int wa = la ? (ca << 8 | static_cast<unsigned char>(a[i + 1])) : ca;
        int wb = lb ? (cb << 8 | static_cast<unsigned char>(b[j + 1])) : cb;
        if (!la && ca >= 'a' && ca <= 'z') wa -= 32;
        if (!lb && cb >= 'a' && cb <= 'z') wb -= 32;
        if (wa != wb) return wa < wb ? -1 : 1;
        i += la ? 2 : 1;
        j += lb ? 2 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string_view> SplitLineViews(std::string_view text, LoneCr loneCr,
                                             FinalLineEnd finalEnd) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool crLf = c == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        const bool lineEnd = c == '\n' || crLf ||
                             (c == '\r' && (loneCr == LoneCr::EndsLine || i + 1 == text.size()));
        if (!lineEnd) continue;
        lines.push_back(text.substr(start, i - start));
        if (crLf) ++i;
        start = i + 1;
    }
    if (start < text.size() || finalEnd == FinalLineEnd::StartsEmptyLine)
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> SplitLines(std::string_view text, LoneCr loneCr, FinalLineEnd finalEnd) {
    const std::vector<std::string_view> views = SplitLineViews(text, loneCr, finalEnd);
    return {views.begin(), views.end()};
}

} // namespace cp932
