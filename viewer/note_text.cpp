#include "note_text.h"

#include "codec.h"

namespace viewer {
namespace {

std::string Sjis(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

} // namespace

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

bool TNoteForm::Mixed() const {
    return (count[0] > 0) + (count[1] > 0) + (count[2] > 0) > 1;
}

TNoteForm TNoteForm::Uniform() const {
    TNoteForm f = *this;
    for (int& n : f.count)
        n = 0;
    f.count[static_cast<int>(ends)] = count[0] + count[1] + count[2];
    return f;
}

std::optional<TNoteForm> NoteFormOf(std::string_view fileBytes, std::string_view editorText) {
    TNoteFormCheck check(fileBytes);
    check.Feed(editorText);
    return check.Result();
}

TNoteFormCheck::TNoteFormCheck(std::string_view fileBytes) {
    const size_t eof = fileBytes.find('\x1A');
    body_ = fileBytes.substr(0, eof);
    if (eof != std::string_view::npos) form_.tail = std::string(fileBytes.substr(eof));
}

void TNoteFormCheck::Feed(std::string_view piece) {
    // The body as the editor holds it: every line end a CR LF.
    for (size_t k = 0; k < piece.size() && same_; ++k) {
        const char e = piece[k];
        if (lfDue_) {
            same_ = e == '\n';
            lfDue_ = false;
            continue;
        }
        if (at_ >= body_.size()) {
            same_ = false;
            break;
        }
        const char c = body_[at_];
        if (c != '\r' && c != '\n') {
            same_ = e == c;
            ++at_;
            continue;
        }
        const TLineEnds kind = c == '\n'                                          ? TLineEnds::Lf
                               : at_ + 1 < body_.size() && body_[at_ + 1] == '\n' ? TLineEnds::CrLf
                                                                                  : TLineEnds::Cr;
        ++form_.count[static_cast<int>(kind)];
        at_ += kind == TLineEnds::CrLf ? 2 : 1;
        same_ = e == '\r';
        lfDue_ = true;
    }
}

std::optional<TNoteForm> TNoteFormCheck::Result() const {
    if (!same_ || lfDue_ || at_ != body_.size()) return std::nullopt;
    TNoteForm form = form_;
    // The most frequent; a tie goes to CR LF, then LF.
    for (const TLineEnds kind : {TLineEnds::Lf, TLineEnds::Cr})
        if (form.count[static_cast<int>(kind)] > form.count[static_cast<int>(form.ends)])
            form.ends = kind;
    return form;
}

std::string ToNoteBytes(std::string_view editorText, const TNoteForm& form) {
    std::string out;
    out.reserve(editorText.size() + form.tail.size());
    if (form.ends == TLineEnds::CrLf) {
        out.append(editorText);
    } else {
        const char end = form.ends == TLineEnds::Lf ? '\n' : '\r';
        for (size_t i = 0; i < editorText.size(); ++i) {
            if (editorText[i] == '\r' && i + 1 < editorText.size() && editorText[i + 1] == '\n') {
                out += end;
                ++i;
            } else {
                out += editorText[i];
            }
        }
    }
    out += form.tail;
    return out;
}

std::string LineEndName(TLineEnds ends) {
    switch (ends) {
    case TLineEnds::CrLf:
        return "CR+LF";
    case TLineEnds::Lf:
        return "LF";
    case TLineEnds::Cr:
        return "CR";
    }
    return {};
}

std::string MixedLineEndsQuestion(const std::string& path, const TNoteForm& form) {
    std::string kinds;
    for (const TLineEnds kind : {TLineEnds::CrLf, TLineEnds::Lf, TLineEnds::Cr}) {
        const int n = form.count[static_cast<int>(kind)];
        if (n == 0) continue;
        if (!kinds.empty()) kinds += Sjis("、");
        kinds += LineEndName(kind) + Sjis("が") + std::to_string(n) + Sjis("個");
    }
    return Sjis("「") + path + Sjis("」では改行コードが混在しています（") + kinds +
           Sjis("）。\r\n保存すると、すべての改行をいちばん多い ") + LineEndName(form.ends) +
           Sjis(" にそろえます。保存しますか？");
}

TChangedOnDisk ChangedOnDiskQuestion(const std::string& path, bool removed) {
    if (removed)
        return {Sjis("「") + path +
                    Sjis("」は、読み込んだ後で削除されたか、移動されています。\r\n"
                         "この内容でファイルを作り直しますか？"),
                Sjis("保存")};
    return {Sjis("「") + path +
                Sjis("」は、読み込んだ後でほかのプログラムによって変更されています。\r\n"
                     "上書きすると、その変更は失われます。上書きしますか？"),
            Sjis("上書き保存")};
}

} // namespace viewer
