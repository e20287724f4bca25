#include "note_text.h"

namespace viewer {

std::string RemoveTags(const std::string& text) {
    std::string result;
    size_t from = 0; // the rest is text[from..]
    for (;;) {
        const size_t lt = text.find('<', from);
        if (lt == std::string::npos) break;
        const size_t gt = text.find('>', from);
        result.append(text, from, lt - from);
        if (gt == std::string::npos) break;
        from = gt + 1;
    }
    return result;
}

std::string CollapseBlankLines(const std::string& text) {
    static const std::string three = "\r\n\r\n\r\n";
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(three, from);
        if (at == std::string::npos) break;
        out.append(text, from, at - from);
        out += "\r\n";
        from = at + three.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

std::string ToNoteBytes(const std::string& editorText, TLineEnds ends) {
    if (ends == TLineEnds::CrLf) return editorText;
    const char end = ends == TLineEnds::Lf ? '\n' : '\r';
    std::string out;
    out.reserve(editorText.size());
    for (size_t i = 0; i < editorText.size(); ++i) {
        if (editorText[i] == '\r' && i + 1 < editorText.size() && editorText[i + 1] == '\n') {
            out += end;
            ++i;
        } else {
            out += editorText[i];
        }
    }
    return out;
}

std::optional<TLineEnds> FaithfulLineEnds(const std::string& fileBytes,
                                          const std::string& editorText) {
    const bool hasCr = fileBytes.find('\r') != std::string::npos;
    const bool hasLf = fileBytes.find('\n') != std::string::npos;
    const TLineEnds ends = hasCr && !hasLf   ? TLineEnds::Cr
                           : hasLf && !hasCr ? TLineEnds::Lf
                                             : TLineEnds::CrLf;
    if (ToNoteBytes(editorText, ends) != fileBytes) return std::nullopt;
    return ends;
}

} // namespace viewer
