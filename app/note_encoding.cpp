#include "note_encoding.h"

#include "codec.h"
#include "utf8_bytes.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cp932 {

// ---- which encoding ------------------------------------------------------------------------

namespace {

bool StartsWith(std::string_view s, std::string_view mark) {
    return s.substr(0, mark.size()) == mark;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF", kUtf16LEMark = "\xFF\xFE",
                           kUtf16BEMark = "\xFE\xFF";

// Whether `bytes` are well-formed UTF-8; a character cut off at their end counts when `cutOk`.
bool WellFormedUtf8(std::string_view bytes, bool cutOk) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const Utf8Char c = DecodeUtf8(p + i, n - i);
        if (c.code == kIllFormed) {
            // Only a sequence that the end itself cut short may be a character.
            return cutOk && i + c.length == n && c.length < Utf8SequenceLength(p[i]);
        }
        i += c.length;
    }
    return true;
}

} // namespace

NoteKind DetectNoteKind(std::string_view head, bool wholeNote, EncodingChoice choice) {
    switch (choice) {
    case EncodingChoice::ShiftJis:
        return {};
    case EncodingChoice::Utf8:
        return {NoteEncoding::Utf8, StartsWith(head, kUtf8Mark) ? kUtf8Mark.size() : 0};
    case EncodingChoice::Utf16:
        if (StartsWith(head, kUtf16BEMark)) return {NoteEncoding::Utf16BE, 2};
        return {NoteEncoding::Utf16LE, StartsWith(head, kUtf16LEMark) ? std::size_t(2) : 0};
    case EncodingChoice::Auto:
        break;
    }
    if (StartsWith(head, kUtf8Mark)) return {NoteEncoding::Utf8, kUtf8Mark.size()};
    if (StartsWith(head, kUtf16LEMark)) return {NoteEncoding::Utf16LE, 2};
    if (StartsWith(head, kUtf16BEMark)) return {NoteEncoding::Utf16BE, 2};
    if (head.size() > kEncodingPrefix) {
        head = head.substr(0, kEncodingPrefix);
        wholeNote = false;
    }
    const auto high = std::find_if(head.begin(), head.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (high == head.end()) return {};
    const std::size_t from = static_cast<std::size_t>(high - head.begin());
    const std::string_view window = head.substr(from, kEncodingWindow);
    const bool cutByNoteEnd = wholeNote && from + window.size() == head.size();
    if (WellFormedUtf8(window, !cutByNoteEnd)) return {NoteEncoding::Utf8, 0};
    return {};
}

// ---- UTF-8 ---------------------------------------------------------------------------------

unsigned Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool Utf8Continues(unsigned char lead, unsigned index, unsigned char b) {
    if (index == 1) {
        // The second byte's range keeps out overlong forms, surrogates and code points past
        // U+10FFFF.
        switch (lead) {
        case 0xE0:
            return b >= 0xA0 && b <= 0xBF;
        case 0xED:
            return b >= 0x80 && b <= 0x9F;
        case 0xF0:
            return b >= 0x90 && b <= 0xBF;
        case 0xF4:
            return b >= 0x80 && b <= 0x8F;
        default:
            break;
        }
    }
    return b >= 0x80 && b <= 0xBF;
}

Utf8Char DecodeUtf8(const unsigned char* p, std::size_t n) {
    const unsigned char lead = p[0];
    const unsigned length = Utf8SequenceLength(lead);
    if (length == 1) return {lead, 1};
    if (length == 0) return {kIllFormed, 1};
    char32_t code = lead & (0x7F >> length);
    for (unsigned k = 1; k < length; ++k) {
        if (k >= n || !Utf8Continues(lead, k, p[k])) return {kIllFormed, k};
        code = code << 6 | (p[k] & 0x3F);
    }
    return {code, length};
}

std::uint16_t ShiftJisCodeOf(char32_t c) {
    if (c < 0x80) return static_cast<std::uint16_t>(c);
    if (c >= 0x10000) return kNoFormCode; // (none outside the basic plane has a form)
    const std::uint16_t code = UnitCodeTable()[c];
    return code ? code : kNoFormCode;
}

namespace {

unsigned char* PutCode(unsigned char* out, std::uint16_t code) {
    if (code >= 0x100) *out++ = static_cast<unsigned char>(code >> 8);
    *out++ = static_cast<unsigned char>(code);
    return out;
}

} // namespace

std::size_t ShiftJisFormInto(unsigned char* out, const unsigned char* utf8, std::size_t n) {
    const std::uint16_t* table = UnitCodeTable();
    unsigned char* o = out;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = utf8[i];
        if (b < 0x80) {
            // Runs of ASCII eight bytes at a time: markup and Latin text.
            *o++ = b;
            ++i;
            while (i + 8 <= n) {
                std::uint64_t w;
                std::memcpy(&w, utf8 + i, 8);
                if (w & 0x8080808080808080ULL) break;
                std::memcpy(o, &w, 8);
                o += 8;
                i += 8;
            }
            continue;
        }
        // The three-byte characters of kana, kanji and full-width forms, the most frequent,
        // decoded in place (E0 and ED, whose second bytes are narrower, go the long way).
        if (i + 2 < n && (b & 0xF0) == 0xE0 && b != 0xE0 && b != 0xED) {
            const unsigned char b1 = utf8[i + 1], b2 = utf8[i + 2];
            if (((b1 & 0xC0) == 0x80) & ((b2 & 0xC0) == 0x80)) {
                std::uint16_t code = table[(b & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F)];
                if (code == 0) code = kNoFormCode;
                const bool two = code >= 0x100;
                o[0] = static_cast<unsigned char>(two ? code >> 8 : code);
                o[1] = static_cast<unsigned char>(code);
                o += 1 + two;
                i += 3;
                continue;
            }
        }
        const Utf8Char c = DecodeUtf8(utf8 + i, n - i);
        o = PutCode(o, c.code == kIllFormed ? kNoFormCode : ShiftJisCodeOf(c.code));
        i += c.length;
    }
    return static_cast<std::size_t>(o - out);
}

void AppendShiftJisForm(std::string& out, std::string_view utf8) {
    const std::size_t at = out.size();
    out.resize(at + 2 * utf8.size());
    const std::size_t n =
        ShiftJisFormInto(reinterpret_cast<unsigned char*>(out.data()) + at,
                         reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    out.resize(at + n);
}

std::string ShownUtf8(std::string_view utf8, std::vector<std::size_t>* places) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    std::string shown;
    shown.reserve(utf8.size());
    if (places) places->clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Char c = DecodeUtf8(p + i, utf8.size() - i);
        if (places) {
            const bool twoBytes = c.code == kIllFormed || ShiftJisCodeOf(c.code) >= 0x100;
            places->insert(places->end(), twoBytes ? 2 : 1, shown.size());
        }
        if (c.code == kIllFormed)
            shown += "\xEF\xBF\xBD";
        else
            shown.append(utf8.substr(i, c.length));
        i += c.length;
    }
    if (places) places->push_back(shown.size());
    return shown;
}

// ---- UTF-16 --------------------------------------------------------------------------------

namespace {

constexpr char kNoUnit = '\xFF';

} // namespace

void Utf16ToUtf8::Unit(char16_t u, std::string& out) {
    if (high_) {
        if (u >= 0xDC00 && u <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((high_ - 0xD800) << 10) + (u - 0xDC00));
            high_ = 0;
            return;
        }
        out += kNoUnit;
        high_ = 0;
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
        high_ = u;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
        out += kNoUnit;
    } else {
        AppendUtf8(out, u);
    }
}

void Utf16ToUtf8::Convert(const unsigned char* p, std::size_t n, std::string& out) {
    out.reserve(out.size() + n * 3 / 2 + 4);
    std::size_t i = 0;
    if (oddByte_ >= 0 && n > 0) {
        const unsigned a = static_cast<unsigned>(oddByte_), b = p[0];
        Unit(static_cast<char16_t>(bigEndian_ ? a << 8 | b : b << 8 | a), out);
        oddByte_ = -1;
        i = 1;
    }
    for (; i + 1 < n; i += 2) {
        const char16_t u =
            static_cast<char16_t>(bigEndian_ ? p[i] << 8 | p[i + 1] : p[i + 1] << 8 | p[i]);
        // ASCII, the bulk of line ends and markup, straight through.
        if (u < 0x80 && !high_)
            out += static_cast<char>(u);
        else
            Unit(u, out);
    }
    if (i < n) oddByte_ = p[i];
}

void Utf16ToUtf8::Finish(std::string& out) {
    if (high_) out += kNoUnit;
    if (oddByte_ >= 0) out += kNoUnit;
    high_ = 0;
    oddByte_ = -1;
}

// ---- spellings -----------------------------------------------------------------------------

namespace {

// Every character whose form is a code: (code, character) sorted by code.
const std::vector<std::pair<std::uint16_t, char32_t>>& Sources() {
    static const std::vector<std::pair<std::uint16_t, char32_t>> sources = [] {
        std::vector<std::pair<std::uint16_t, char32_t>> s;
        const std::uint16_t* table = UnitCodeTable();
        for (char32_t u = 1; u < 0x10000; ++u)
            if (table[u]) s.emplace_back(table[u], u);
        std::sort(s.begin(), s.end());
        return s;
    }();
    return sources;
}

} // namespace

std::optional<std::vector<std::string>> Utf8Spellings(std::string_view sjis, std::size_t most) {
    std::vector<std::string> spellings = {""};
    const auto& sources = Sources();
    for (std::size_t i = 0; i < sjis.size();) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        std::uint16_t code = b;
        if (IsLeadByte(b) && i + 1 < sjis.size()) {
            code = static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(sjis[i + 1]));
            i += 2;
        } else {
            ++i;
        }
        if (code == kNoFormCode) return std::nullopt;
        const auto range = std::equal_range(
            sources.begin(), sources.end(), std::pair<std::uint16_t, char32_t>(code, 0),
            [](const auto& x, const auto& y) { return x.first < y.first; });
        const std::size_t ways = static_cast<std::size_t>(range.second - range.first);
        if (ways == 0) return std::vector<std::string>{};
        if (spellings.size() * ways > most) return std::nullopt;
        std::vector<std::string> longer;
        longer.reserve(spellings.size() * ways);
        for (const std::string& s : spellings)
            for (auto r = range.first; r != range.second; ++r) {
                longer.push_back(s);
                AppendUtf8(longer.back(), r->second);
            }
        spellings = std::move(longer);
    }
    std::sort(spellings.begin(), spellings.end());
    spellings.erase(std::unique(spellings.begin(), spellings.end()), spellings.end());
    return spellings;
}

// ---- whole notes ---------------------------------------------------------------------------

namespace {

// A note's text as UTF-8: a UTF-8 note's bytes after the mark, a UTF-16 note's converted.
std::string NoteUtf8(std::string_view bytes, const NoteKind& kind) {
    const std::string_view body = bytes.substr(std::min(kind.markBytes, bytes.size()));
    if (kind.encoding == NoteEncoding::Utf8) return std::string(body);
    std::string utf8;
    Utf16ToUtf8 decoder(kind.encoding == NoteEncoding::Utf16BE);
    decoder.Convert(reinterpret_cast<const unsigned char*>(body.data()), body.size(), utf8);
    decoder.Finish(utf8);
    return utf8;
}

} // namespace

NoteKind NoteKindOf(std::string_view bytes, EncodingChoice choice) {
    return DetectNoteKind(bytes.substr(0, kEncodingPrefix), bytes.size() <= kEncodingPrefix,
                          choice);
}

NoteText DecodeNote(std::string_view bytes, EncodingChoice choice) {
    NoteText note;
    note.kind = NoteKindOf(bytes, choice);
    if (!note.kind.Unicode()) {
        note.text = std::string(bytes);
        return note;
    }
    AppendShiftJisForm(note.text, NoteUtf8(bytes, note.kind));
    const std::optional<std::string> back = EncodeNote(note.text, note.kind);
    note.exact = back && *back == bytes;
    return note;
}

std::optional<std::string> EncodeNote(std::string_view sjis, const NoteKind& kind) {
    if (!kind.Unicode()) return std::string(sjis);
    const char16_t* chars = CodeCharTable();
    std::string out;
    const bool utf8 = kind.encoding == NoteEncoding::Utf8;
    const bool big = kind.encoding == NoteEncoding::Utf16BE;
    if (kind.markBytes > 0) out = utf8 ? kUtf8Mark : big ? kUtf16BEMark : kUtf16LEMark;
    out.reserve(out.size() + sjis.size() * (utf8 ? 3 : 2) / 2 + 2);
    for (std::size_t i = 0; i < sjis.size();) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        char16_t c;
        if (b < 0x80) {
            c = b;
            ++i;
        } else if (IsLeadByte(b)) {
            if (i + 1 >= sjis.size()) return std::nullopt;
            c = chars[b << 8 | static_cast<unsigned char>(sjis[i + 1])];
            i += 2;
        } else {
            c = chars[b];
            ++i;
        }
        if (c == 0 && b != 0) return std::nullopt;
        if (utf8) {
            AppendUtf8(out, c);
        } else if (big) {
            out += static_cast<char>(c >> 8);
            out += static_cast<char>(c & 0xFF);
        } else {
            out += static_cast<char>(c & 0xFF);
            out += static_cast<char>(c >> 8);
        }
    }
    return out;
}

} // namespace cp932
