#include "result_text.h"

#include "codec.h"
#include "sjis_text.h"

namespace engine {

std::string FileNamePart(const std::string& path) {
    // ("/" is never the second byte of a two-byte character.)
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HeaderText(const std::string& path, const std::string& base, bool subfolders) {
    if (!subfolders) return FileNamePart(path);
    if (cp932::StartsWithNoCase(path, base + "/")) return path.substr(base.size() + 1);
    return path;
}

void AppendHitLine(std::string& out, std::string_view line, bool star, std::int32_t lineNo) {
    static const std::string kStar = cp932::FromUtf8("★");
    out += "    ";
    if (lineNo > 0) {
        out += std::to_string(lineNo);
        out += ':';
    }
    if (star) out += kStar;
    out += line;
}

std::string SummaryLine(const std::array<std::string, 3>& fields, long long hits) {
    static const std::string head = cp932::FromUtf8("　　検索キーワード　　　"),
                             between = cp932::FromUtf8("　　"), after = cp932::FromUtf8("　　　"),
                             tail = cp932::FromUtf8("個マッチしました");
    return head + fields[0] + between + fields[1] + between + fields[2] + after +
           std::to_string(hits) + tail;
}

const std::string& BadPatternMessage() {
    static const std::string m = cp932::FromUtf8("検索語に正規表現に違反する入力があります");
    return m;
}

} // namespace engine
