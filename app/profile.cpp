#include "profile.h"

#include "codec.h"
#include "files.h"
#include "sjis_text.h"

#include <optional>
#include <vector>

namespace app {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Position of the first single-byte `c` in s, stepping over two-byte characters (whose second
// byte may equal "]" or other ASCII bytes); npos when absent.
size_t FindByte(const std::string& s, char c, size_t from = 0) {
    for (size_t i = from; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (cp932::IsLeadByte(b) && i + 1 < s.size()) {
            ++i;
            continue;
        }
        if (s[i] == c) return i;
    }
    return std::string::npos;
}

// At most max bytes of s, without cutting a two-byte character in half.
std::string Cut(const std::string& s, size_t max) {
    if (s.size() <= max) return s;
    size_t i = 0;
    while (i < max) {
        const size_t step = cp932::IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
        if (i + step > max) break;
        i += step;
    }
    return s.substr(0, i);
}

// One line of the file as the reader understands it.
struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string name;  // section or key name, trimmed
    std::string value; // the raw text after "=" (keys only)
};

Line Parse(const std::string& raw) {
    Line l;
    const std::string t = Trim(raw);
    if (t.empty() || t[0] == ';') return l;
    if (t[0] == '[') {
        const size_t close = FindByte(t, ']', 1);
        l.kind = Line::Section;
        l.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
        return l;
    }
    const size_t eq = FindByte(t, '=');
    if (eq == std::string::npos) return l;
    l.kind = Line::Key;
    l.name = Trim(t.substr(0, eq));
    l.value = t.substr(eq + 1);
    return l;
}

// The file's bytes; nullopt when there is no file to read (missing, a folder, unreadable).
std::optional<std::string> ReadAll(const std::string& path) {
    return files::ReadRegular(cp932::PathToNative(path));
}

// The file's lines without their line ends (CR LF or LF; a CR inside a line is part of it).
std::vector<std::string> SplitLines(const std::string& text) {
    return cp932::SplitLines(text, cp932::LoneCr::IsText, cp932::FinalLineEnd::EndsLastLine);
}

// Where the value of section/key lies: the line of the section header and of the key.
struct Place {
    std::optional<size_t> section, key;
    size_t sectionEnd = 0; // one past the last non-blank line of the section
};

Place Find(const std::vector<std::string>& lines, const std::string& section,
           const std::string& key) {
    Place p;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line l = Parse(lines[i]);
        if (!p.section) {
            if (l.kind == Line::Section && cp932::EqualsNoCase(l.name, section)) {
                p.section = i;
                p.sectionEnd = i + 1;
            }
            continue;
        }
        if (l.kind == Line::Section) break; // the first section of that name is the one used
        if (!Trim(lines[i]).empty()) p.sectionEnd = i + 1;
        if (l.kind == Line::Key && !p.key && cp932::EqualsNoCase(l.name, key)) p.key = i;
    }
    return p;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

// A name whose last byte is a lead byte without its second byte: written out, the lead byte
// would take the "=" or "]" after it, and no read could find the name again.
bool EndsInLoneLeadByte(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        if (cp932::IsLeadByte(static_cast<unsigned char>(s[i]))) {
            if (i + 1 == s.size()) return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

} // namespace

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, const std::string& path) {
    const auto text = ReadAll(path);
    if (!text) return def;
    const std::vector<std::string> lines = SplitLines(*text);
    // Names are taken trimmed, as the write stores them.
    const Place p = Find(lines, Trim(section), Trim(key));
    if (!p.key) return def;
    std::string v = Trim(Parse(lines[*p.key]).value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return Cut(v, kMaxProfileValue);
}

bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    const std::string sec = Trim(section), k = Trim(key);
    if (sec.empty() || HasLineBreak(sec) || FindByte(sec, ']') != std::string::npos ||
        EndsInLoneLeadByte(sec))
        return false;
    if (k.empty() || HasLineBreak(k) || FindByte(k, '=') != std::string::npos || k[0] == '[' ||
        k[0] == ';' || EndsInLoneLeadByte(k))
        return false;
    std::string v = value;
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';

    const std::string old = ReadAll(path).value_or(std::string());
    std::vector<std::string> lines = SplitLines(old);
    const Place p = Find(lines, sec, k);
    const std::string entry = k + "=" + v;
    if (p.key) {
        lines[*p.key] = entry;
    } else if (p.section) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(p.sectionEnd), entry);
    } else {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + sec + "]");
        lines.push_back(entry);
    }
    std::string text;
    for (const auto& l : lines)
        text += l + "\r\n";
    if (text == old) return true; // already so on the disk
    return files::Replace(cp932::PathToNative(path), text) == 0;
}

} // namespace app
