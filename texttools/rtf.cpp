// Rich text files: writer and reader.
#include "rtf.h"

#include "codec.h"
#include "win_color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace rtf {

namespace {

// Our own ignorable destination: the size of text without a size of its own, in half points.
// Other readers skip it (\*); ours gives such text back without a size.
constexpr std::string_view kPlainSizeWord = "quelvraplainfs";

int HalfPoints(double points) {
    return static_cast<int>(std::lround(points * 2));
}

void Hex(std::string& out, unsigned char b) {
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[b >> 4];
    out += digits[b & 15];
}

// The text of one run, escaped. Both bytes of a two-byte character become \'hh, so that a
// second byte that happens to be "\", "{" or "}" stays part of its character.
void WriteText(std::string& out, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (cp932::IsLeadByte(b) && i + 1 < text.size()) {
            Hex(out, b);
            Hex(out, static_cast<unsigned char>(text[++i]));
        } else if (b == '\r' || b == '\n') {
            if (b == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\\par\n";
        } else if (b == '\t') {
            out += "\\tab ";
        } else if (b == '\\' || b == '{' || b == '}') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b < 0x20 || b >= 0x7F) {
            Hex(out, b);
        } else {
            out += static_cast<char>(b);
        }
    }
}

} // namespace

std::vector<Run> Merge(std::vector<Run> runs) {
    std::vector<Run> out;
    for (Run& r : runs) {
        if (r.text.empty()) continue;
        if (!out.empty() && out.back().SameFormat(r))
            out.back().text += r.text;
        else
            out.push_back(std::move(r));
    }
    return out;
}

std::string Write(const std::vector<Run>& runs, const WriteOptions& options) {
    const double plain = options.plainPoints > 0 ? options.plainPoints : 10;
    std::vector<std::uint32_t> colors; // table entries after the automatic one
    for (const Run& r : runs)
        if (r.color != kAutoColor &&
            std::find(colors.begin(), colors.end(), r.color) == colors.end())
            colors.push_back(r.color);

    std::string out = "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1041\\deflangfe1041\n{\\fonttbl{"
                      "\\f0\\fnil\\fcharset128 ";
    std::string name;
    WriteText(name, options.fontName.empty() ? std::string("MS Gothic") : options.fontName);
    out += name + ";}}\n{\\colortbl ;";
    for (std::uint32_t c : colors) {
        const wincolor::TRgb rgb = wincolor::ToRgb(c);
        out += "\\red" + std::to_string(rgb.red) + "\\green" + std::to_string(rgb.green) +
               "\\blue" + std::to_string(rgb.blue) + ";";
    }
    out += "}\n{\\*\\" + std::string(kPlainSizeWord) + std::to_string(HalfPoints(plain)) + "}\n";
    // Word processors give Japanese text a font and a language of its own (the double-byte
    // text's associated font): both are the document's, or the text shows in another face.
    out += "\\uc1\\pard\\plain\\f0\\dbch\\af0\\loch\\langfe1041\\fs" +
           std::to_string(HalfPoints(plain)) + " ";

    int cf = 0, fs = HalfPoints(plain);
    bool bold = false, ul = false;
    for (const Run& r : runs) {
        if (r.text.empty()) continue;
        const int wantCf = r.color == kAutoColor
                               ? 0
                               : static_cast<int>(std::find(colors.begin(), colors.end(), r.color) -
                                                  colors.begin()) +
                                     1;
        const int wantFs = HalfPoints(r.points > 0 ? r.points : plain);
        std::string ctl;
        if (wantCf != cf) ctl += "\\cf" + std::to_string(cf = wantCf);
        if (wantFs != fs) ctl += "\\fs" + std::to_string(fs = wantFs);
        if (r.bold != bold) ctl += (bold = r.bold) ? "\\b" : "\\b0";
        if (r.underline != ul) ctl += (ul = r.underline) ? "\\ul" : "\\ulnone";
        if (!ctl.empty()) out += ctl + " ";
        WriteText(out, r.text);
    }
    // A word processor's last paragraph ends with a mark; the reader drops it again.
    out += "\\par\n}\n";
    return out;
}

bool IsRtf(std::string_view data) {
    std::size_t i = 0;
    if (data.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < data.size() &&
           (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.substr(i, 5) == "{\\rtf";
}

namespace {

// Windows-1252 bytes 0x80-0x9F as UTF-16 (0: none); 0xA0-0xFF are Latin-1.
const char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Code page of a font character set (\fcharsetN); 0 for one we do not know.
int CodePageOfCharset(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 128:
        return 932;
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Central European
    default:
        return 0;
    }
}

enum class Dest { Text, Skip, FontTable, ColorTable, PlainSize };

struct State {
    Dest dest = Dest::Text;
    std::uint32_t color = kAutoColor;
    int halfPoints = 0; // 0: none set
    bool bold = false, underline = false;
    // Text marked as double-byte (\dbch) may carry sizes and bold of its own, as associated
    // properties (\afs, \ab): word processors give Japanese text its attributes that way.
    // -1: none, the text takes the ones above.
    enum CharType { Western, DoubleByte, Complex } charType = Western;
    int asianHalfPoints = -1;
    int asianBold = -1;
    int font = -1;
    int uc = 1;
    bool fontEntryOpen = false; // in the font table: an entry's \fN was seen
};

class Reader {
  public:
    explicit Reader(std::string_view data) : d_(data) {}

    std::vector<Run> Parse() {
        std::size_t i = d_.find('{');
        while (i < d_.size()) {
            const char c = d_[i];
            if (c == '{') {
                // Groups nested deeper than any word processor writes keep the state of the
                // last one kept: a file of nothing but braces costs no memory per brace.
                if (stack_.size() < kMaxDepth)
                    stack_.push_back(state_);
                else
                    ++overflow_;
                ++i;
            } else if (c == '}' && overflow_ > 0) {
                --overflow_;
                skipFallback_ = 0;
                ++i;
            } else if (c == '}') {
                EndGroup();
                if (stack_.empty()) break;
                state_ = stack_.back();
                stack_.pop_back();
                skipFallback_ = 0;
                ++i;
                if (stack_.empty()) break; // the document's own group ended
            } else if (c == '\\') {
                i = ControlAt(i);
            } else if (c == '\r' || c == '\n') {
                ++i; // line ends in the file mean nothing
            } else if (state_.dest == Dest::Text && !skipFallback_ && pendingLead_.empty() &&
                       IsPlainAscii(c)) {
                // A stretch of plain text goes in at once.
                std::size_t j = i + 1;
                while (j < d_.size() && IsPlainAscii(d_[j]))
                    ++j;
                Emit(std::string(d_.substr(i, j - i)));
                i = j;
            } else {
                const auto b = static_cast<unsigned char>(c);
                ++i;
                if (state_.dest == Dest::Text && CodePage() == 932 && cp932::IsLeadByte(b) &&
                    i < d_.size() && static_cast<unsigned char>(d_[i]) >= 0x20 && !skipFallback_ &&
                    pendingLead_.empty()) {
                    // A writer that puts Shift-JIS out raw: the second byte may be "\\" or a
                    // brace and belongs to the character all the same.
                    Bytes(std::string{c, d_[i]});
                    ++i;
                } else {
                    Byte(b);
                }
            }
        }
        if (lastWasPar_) DropLastBreak();
        std::vector<Run> runs = Merge(std::move(runs_));
        if (plainHalfPoints_ > 0)
            for (Run& r : runs)
                if (HalfPoints(r.points) == plainHalfPoints_) r.points = 0;
        return Merge(std::move(runs));
    }

  private:
    static constexpr std::size_t kMaxDepth = 256;
    std::string_view d_;
    std::vector<State> stack_;
    std::size_t overflow_ = 0; // groups opened past kMaxDepth and not closed yet
    State state_;
    std::vector<Run> runs_;
    std::map<int, int> fontCharset_;
    std::vector<std::optional<std::uint32_t>> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;
    int ansiCodePage_ = 1252;
    int defaultFont_ = 0;
    int plainHalfPoints_ = 0;
    int fontEntry_ = 0;
    int fontEntryCharset_ = -1;
    int skipFallback_ = 0;    // fallback characters of a \uN still to skip
    bool lastWasPar_ = false; // the text so far ends with the break of a \par
    char16_t highSurrogate_ = 0;
    std::string pendingLead_; // a lead byte of an \'hh pair waiting for its second byte

    int CodePage() const {
        auto it = fontCharset_.find(state_.font >= 0 ? state_.font : defaultFont_);
        if (it != fontCharset_.end()) {
            const int cp = CodePageOfCharset(it->second);
            if (cp != 0) return cp;
        }
        return ansiCodePage_;
    }

    void EndGroup() {
        if (state_.dest == Dest::FontTable && state_.fontEntryOpen) FinishFontEntry();
    }

    void FinishFontEntry() {
        if (fontEntryCharset_ >= 0) fontCharset_[fontEntry_] = fontEntryCharset_;
        state_.fontEntryOpen = false;
        fontEntryCharset_ = -1;
    }

    void Emit(const std::string& sjis) {
        if (sjis.empty()) return;
        lastWasPar_ = false;
        Run r;
        const bool asian = state_.charType == State::DoubleByte;
        r.color = state_.color;
        r.points =
            (asian && state_.asianHalfPoints >= 0 ? state_.asianHalfPoints : state_.halfPoints) /
            2.0;
        r.bold = asian && state_.asianBold >= 0 ? state_.asianBold != 0 : state_.bold;
        r.underline = state_.underline;
        if (!runs_.empty() && runs_.back().SameFormat(r)) {
            runs_.back().text += sjis;
        } else {
            r.text = sjis;
            runs_.push_back(std::move(r));
        }
    }

    void Break() {
        pendingLead_.clear();
        Emit("\r\n");
    }

    void DropLastBreak() {
        if (runs_.empty()) return;
        std::string& t = runs_.back().text;
        if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) t.resize(t.size() - 2);
        if (t.empty()) runs_.pop_back();
    }

    void Unicode(std::u16string_view units) { Emit(cp932::FromUtf16Lossy(units)); }

    // Characters the group's font or the document's code page gives these bytes.
    void Bytes(const std::string& bytes) {
        if (state_.dest != Dest::Text) return;
        const int cp = CodePage();
        if (cp == 932) {
            Emit(bytes);
            return;
        }
        std::u16string u;
        for (unsigned char b : bytes) {
            if (b < 0x80)
                u += static_cast<char16_t>(b);
            else if (cp == 1252 && b < 0xA0)
                u += kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : u'?';
            else if (cp == 1252)
                u += static_cast<char16_t>(b);
            else if (const char16_t c = cp932::SingleByteCodePageChar(cp, b))
                u += c; // what the pane lacks of it becomes "?" on the way to Shift-JIS
            else
                u += u'?';
        }
        Unicode(u);
    }

    // One byte of text, from the file or from \'hh.
    void Byte(unsigned char b) {
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (state_.dest == Dest::FontTable) {
            if (b == ';' && state_.fontEntryOpen) FinishFontEntry();
            return;
        }
        if (state_.dest == Dest::ColorTable) {
            if (b == ';') {
                colors_.push_back(
                    colorSet_ ? std::optional<std::uint32_t>(wincolor::FromRgb(red_, green_, blue_))
                              : std::nullopt);
                red_ = green_ = blue_ = 0;
                colorSet_ = false;
            }
            return;
        }
        if (state_.dest != Dest::Text) return;
        if (!pendingLead_.empty()) {
            std::string pair = pendingLead_ + static_cast<char>(b);
            pendingLead_.clear();
            // A control byte is no second byte: the lead byte alone is dropped.
            if (b >= 0x20) {
                Bytes(pair);
                return;
            }
        }
        if (b == '\t') {
            Emit("\t");
            return;
        }
        if (b < 0x20) return;
        if (CodePage() == 932 && cp932::IsLeadByte(b)) {
            pendingLead_ = std::string(1, static_cast<char>(b));
            return;
        }
        Bytes(std::string(1, static_cast<char>(b)));
    }

    // A character that a control word stands for.
    void Symbol(std::u16string_view u) {
        if (skipFallback_ > 0) {
            --skipFallback_;
            return;
        }
        if (state_.dest == Dest::Text) Unicode(u);
    }

    void Destination(Dest dest) { state_.dest = state_.dest == Dest::Text ? dest : Dest::Skip; }

    static bool IsPlainAscii(char c) {
        return c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}';
    }
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static int HexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // The control word or symbol at i; returns the position after it.
    std::size_t ControlAt(std::size_t i) {
        ++i; // the backslash
        if (i >= d_.size()) return i;
        const char c = d_[i];
        if (!IsLetter(c)) {
            ++i;
            switch (c) {
            case '\\':
            case '{':
            case '}':
                Byte(static_cast<unsigned char>(c));
                break;
            case '\'': {
                const int hi = i < d_.size() ? HexValue(d_[i]) : -1;
                const int lo = i + 1 < d_.size() ? HexValue(d_[i + 1]) : -1;
                if (hi >= 0 && lo >= 0) {
                    Byte(static_cast<unsigned char>(hi * 16 + lo));
                    i += 2;
                }
                break;
            }
            case '*':
                state_.dest = Dest::Skip; // a destination this reader may not know
                break;
            case '~':
                Symbol(u" ");
                break;
            case '_':
                Symbol(u"-");
                break;
            case '\r':
            case '\n':
                Word("par", false, 0);
                break;
            default:
                break; // \- \| \: and the like: nothing to show
            }
            return i;
        }
        const std::size_t start = i;
        while (i < d_.size() && IsLetter(d_[i]) && i - start < 32)
            ++i;
        const std::string_view word = d_.substr(start, i - start);
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (i < d_.size() && d_[i] == '-' && i + 1 < d_.size() && IsDigit(d_[i + 1])) {
            negative = true;
            ++i;
        }
        int digits = 0;
        while (i < d_.size() && IsDigit(d_[i])) {
            if (digits++ < 10) param = param * 10 + (d_[i] - '0');
            hasParam = true;
            ++i;
        }
        if (negative) param = -param;
        param = std::clamp<long long>(param, -2147483647LL, 2147483647LL);
        if (i < d_.size() && d_[i] == ' ') ++i; // the delimiting space belongs to the word
        if (word == "bin") {
            // Binary data: skipped whole, whatever bytes it holds.
            const std::size_t n = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
            return std::min(d_.size(), i + n);
        }
        Word(word, hasParam, static_cast<int>(param));
        return i;
    }

    void Word(std::string_view w, bool hasParam, int p) {
        const bool on = !hasParam || p != 0;
        // Destinations.
        if (w == "fonttbl") return Destination(Dest::FontTable);
        if (w == "colortbl") return Destination(Dest::ColorTable);
        if (w == kPlainSizeWord) {
            state_.dest = Dest::PlainSize;
            if (hasParam && p > 0) plainHalfPoints_ = p;
            return;
        }
        static const char* const kSkipped[] = {"stylesheet",
                                               "info",
                                               "pict",
                                               "objdata",
                                               "header",
                                               "headerl",
                                               "headerr",
                                               "headerf",
                                               "footer",
                                               "footerl",
                                               "footerr",
                                               "footerf",
                                               "footnote",
                                               "annotation",
                                               "fldinst",
                                               "listtable",
                                               "listoverridetable",
                                               "revtbl",
                                               "rsidtbl",
                                               "filetbl",
                                               "xe",
                                               "tc",
                                               "txe",
                                               "template",
                                               "nonshppict",
                                               "shpinst",
                                               "themedata",
                                               "colorschememapping",
                                               "latentstyles",
                                               "datastore",
                                               "xmlnstbl",
                                               "generator",
                                               "bkmkstart",
                                               "bkmkend",
                                               "pgdsctbl",
                                               "do",
                                               "atnid",
                                               "atnauthor",
                                               "private",
                                               "mmathPr"};
        for (const char* s : kSkipped)
            if (w == s) return Destination(Dest::Skip);

        if (state_.dest == Dest::FontTable) {
            if (w == "f" && hasParam) {
                if (state_.fontEntryOpen) FinishFontEntry();
                fontEntry_ = p;
                state_.fontEntryOpen = true;
            } else if (w == "fcharset" && hasParam) {
                fontEntryCharset_ = p;
            }
            return;
        }
        if (state_.dest == Dest::ColorTable) {
            const int v = std::clamp(p, 0, 255);
            if (w == "red") red_ = v, colorSet_ = true;
            if (w == "green") green_ = v, colorSet_ = true;
            if (w == "blue") blue_ = v, colorSet_ = true;
            return;
        }

        // Document settings, valid wherever they stand.
        if (w == "ansicpg" && hasParam) {
            ansiCodePage_ = p;
            return;
        }
        if (w == "deff" && hasParam) {
            defaultFont_ = p;
            return;
        }
        if (w == "uc" && hasParam) {
            state_.uc = std::clamp(p, 0, 16);
            return;
        }
        if (state_.dest != Dest::Text) return;

        if (w == "u" && hasParam) {
            if (skipFallback_ > 0) --skipFallback_;
            pendingLead_.clear();
            const auto unit = static_cast<char16_t>(p < 0 ? p + 65536 : p);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                highSurrogate_ = unit;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_) {
                const char16_t pair[2] = {highSurrogate_, unit};
                highSurrogate_ = 0;
                Unicode(std::u16string_view(pair, 2));
            } else if (unit < 0x20) {
                // A control code as a character: the pane's text holds no bare CR, LF or NUL
                // (its line breaks are CR LF), so only a tab is kept, as for raw bytes.
                highSurrogate_ = 0;
                if (unit == u'\t') Emit("\t");
            } else {
                highSurrogate_ = 0;
                Unicode(std::u16string_view(&unit, 1));
            }
            skipFallback_ = state_.uc;
            return;
        }
        if (skipFallback_ > 0) {
            // A control word inside a fallback counts as one of its characters.
            --skipFallback_;
            return;
        }
        if (w == "par" || w == "line" || w == "page" || w == "sect" || w == "row") {
            Break();
            lastWasPar_ = w == "par" || w == "sect" || w == "page";
            return;
        }
        if (w == "tab" || w == "cell") return Emit("\t");
        if (w == "emdash") return Symbol(u"\u2015");
        if (w == "endash") return Symbol(u"-");
        if (w == "bullet") return Symbol(u"\u30FB");
        if (w == "lquote") return Symbol(u"\u2018");
        if (w == "rquote") return Symbol(u"\u2019");
        if (w == "ldblquote") return Symbol(u"\u201C");
        if (w == "rdblquote") return Symbol(u"\u201D");
        if (w == "plain") {
            state_.color = kAutoColor;
            state_.halfPoints = 0;
            state_.bold = state_.underline = false;
            state_.font = -1;
            state_.charType = State::Western;
            state_.asianHalfPoints = state_.asianBold = -1;
            return;
        }
        if (w == "loch" || w == "hich" || w == "ltrch") {
            state_.charType = State::Western;
            return;
        }
        if (w == "dbch") {
            state_.charType = State::DoubleByte;
            return;
        }
        if (w == "rtlch") {
            state_.charType = State::Complex;
            return;
        }
        if (w == "afs" || w == "ab") {
            // Associated properties count for double-byte text only; right-to-left scripts are
            // beyond the pane.
            if (state_.charType != State::DoubleByte) return;
            if (w == "afs")
                state_.asianHalfPoints = hasParam && p > 0 && p <= 3276 ? p : 0;
            else
                state_.asianBold = on ? 1 : 0;
            return;
        }
        if (w == "f" && hasParam) {
            state_.font = p;
            return;
        }
        if (w == "cf") {
            const int n = hasParam ? p : 0;
            state_.color = n >= 0 && n < static_cast<int>(colors_.size()) && colors_[n]
                               ? *colors_[n]
                               : kAutoColor;
            return;
        }
        if (w == "fs") {
            state_.halfPoints = hasParam && p > 0 && p <= 3276 ? p : 0;
            return;
        }
        if (w == "b") {
            state_.bold = on;
            return;
        }
        if (w == "ul" || w == "uld" || w == "uldb" || w == "uldash" || w == "uldashd" ||
            w == "uldashdd" || w == "ulth" || w == "ulw" || w == "ulwave" || w == "ululdbwave" ||
            w == "ulhwave" || w == "ulthd" || w == "ulthdash" || w == "ulldash") {
            state_.underline = on;
            return;
        }
        if (w == "ulnone") {
            state_.underline = false;
            return;
        }
    }
};

} // namespace

std::optional<std::vector<Run>> Read(std::string_view data) {
    if (!IsRtf(data)) return std::nullopt;
    return Reader(data).Parse();
}

} // namespace rtf
