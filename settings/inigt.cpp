#include "inigt.h"

#include "codec.h"
#include "profile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

const char* const TIniGT::kSystemFolder = "/etc";

namespace {

const std::string& OpenCorner() {
    static const std::string s = cp932::FromUtf8("｢");
    return s;
}
const std::string& CloseCorner() {
    static const std::string s = cp932::FromUtf8("｣");
    return s;
}

// The running program, from the system's record of it; empty where there is none.
std::string RunningExecutable() {
    std::error_code ec;
    const fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : cp932::PathFromNative(p.string());
}

size_t LastSlash(const std::string& path) {
    return path.rfind('/');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

TIniGT::TIniGT() : executable_(RunningExecutable()) {
    UpdatePath();
}

void TIniGT::SetDefaultDir(TIniGTDefaultDir d) {
    defaultDir_ = d;
    UpdatePath();
}

void TIniGT::SetFileName(const std::string& name) {
    fileName_ = name;
    UpdatePath();
}

void TIniGT::SetExecutable(const std::string& path) {
    executable_ = path;
    UpdatePath();
}

void TIniGT::Loaded() {
    if (fileName_.empty()) SetFileName(DefaultFileName(executable_));
}

std::string TIniGT::DefaultFileName(const std::string& executable) {
    const size_t slash = LastSlash(executable);
    std::string name = slash == std::string::npos ? executable : executable.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    name += ".INI";
    // Lower case for ASCII letters only: the second byte of a two-byte character stays.
    for (size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (cp932::IsLeadByte(b)) {
            ++i;
            continue;
        }
        if (b >= 'A' && b <= 'Z') name[i] = static_cast<char>(b + 32);
    }
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 32);
    return name;
}

void TIniGT::UpdatePath() {
    if (LastSlash(fileName_) != std::string::npos) {
        path_ = fileName_;
        return;
    }
    switch (defaultDir_) {
    case ddApplication: {
        const size_t slash = LastSlash(executable_);
        path_ = (slash == std::string::npos ? std::string() : executable_.substr(0, slash + 1)) +
                fileName_;
        break;
    }
    case ddWindows:
        path_ = std::string(kSystemFolder) + "/" + fileName_;
        break;
    case ddNone:
        path_ = fileName_;
        break;
    }
}

std::string TIniGT::ReadStringRaw(const std::string& section, const std::string& key,
                                  const std::string& def) const {
    return app::GetProfileString(section, key, def, path_);
}

void TIniGT::WriteStringRaw(const std::string& section, const std::string& key,
                            const std::string& value) const {
    if (!app::WriteProfileString(section, key, value, path_))
        throw EIniFileException(path_ + cp932::FromUtf8(" に書き込めません"));
}

std::string TIniGT::Enclose(const std::string& value) const {
    switch (fence_) {
    case fnDoubleQuote:
        return "\"" + value + "\"";
    case fnParenthesis:
    case fnVer11Mode:
        return OpenCorner() + value + CloseCorner();
    case fnNone:
        break;
    }
    return value;
}

std::string TIniGT::ReadString(const std::string& section, const std::string& key,
                               const std::string& def) const {
    std::string v = ReadStringRaw(section, key, Enclose(def));
    if (v.size() >= 2) {
        const bool quotes = fence_ == fnDoubleQuote || fence_ == fnVer11Mode;
        const bool corners = fence_ == fnParenthesis || fence_ == fnVer11Mode;
        if (quotes && v.front() == '"' && v.back() == '"') {
            v = v.substr(1, v.size() - 2);
        } else if (corners && v.front() == OpenCorner()[0] && v.back() == CloseCorner()[0]) {
            v = v.substr(1, v.size() - 2);
        }
    }
    return v;
}

void TIniGT::WriteString(const std::string& section, const std::string& key,
                         const std::string& value) const {
    WriteStringRaw(section, key, Enclose(value));
}

bool TIniGT::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniGT::WriteBool(const std::string& section, const std::string& key, bool value) const {
    WriteStringRaw(section, key, value ? "1" : "0");
}

bool TIniGT::ParseInteger(const std::string& text, std::int32_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size()) return false;
    long long value = 0;
    if (text[i] == '$') {
        // Up to 8 hexadecimal digits: the 32-bit pattern, so $FFFFFFFF is -1.
        if (++i >= text.size() || text.size() - i > 8) return false;
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        auto bits = static_cast<std::uint32_t>(value);
        if (negative) bits = 0u - bits;
        out = static_cast<std::int32_t>(bits);
        return true;
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) return false;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return false;
    out = static_cast<std::int32_t>(value);
    return true;
}

std::int32_t TIniGT::ReadInteger(const std::string& section, const std::string& key,
                                 std::int32_t def) const {
    std::string v = ReadStringRaw(section, key, "");
    // "0x" written as "$" (built in place: GCC 12 warns falsely on "$" + substr in Release).
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) v.replace(0, 2, 1, '$');
    std::int32_t out;
    return ParseInteger(v, out) ? out : def;
}

void TIniGT::WriteInteger(const std::string& section, const std::string& key,
                          std::int32_t value) const {
    WriteStringRaw(section, key, std::to_string(value));
}

std::string TIniGT::FormatHex(std::int32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<std::uint32_t>(value));
    return buf;
}

std::int32_t TIniGT::ReadHex(const std::string& section, const std::string& key,
                             std::int32_t def) const {
    const std::string v = ReadStringRaw(section, key, FormatHex(def));
    // The first two characters are taken for "0x" without a look; a hand-written 255 thus reads
    // as 5. Characters that are no hexadecimal number give the default rather than an error,
    // so that a damaged file cannot stop the window from restoring the rest of its settings.
    const std::string digits = v.size() > 2 ? v.substr(2, 8) : std::string();
    std::int32_t out;
    return ParseInteger("$" + digits, out) ? out : def;
}

void TIniGT::WriteHex(const std::string& section, const std::string& key,
                      std::int32_t value) const {
    WriteStringRaw(section, key, FormatHex(value));
}

std::int32_t TIniGT::ReadColor(const std::string& section, const std::string& key,
                               std::int32_t def) const {
    return ReadHex(section, key, def);
}

void TIniGT::WriteColor(const std::string& section, const std::string& key,
                        std::int32_t value) const {
    WriteHex(section, key, value);
}

void TIniGT::ReadStrings(const std::string& section, const std::string& name,
                         std::vector<std::string>& list) const {
    const int n = std::min<std::int32_t>(
        ReadInteger(section, name + ".Count", static_cast<std::int32_t>(list.size())),
        kMaxListItems);
    std::vector<std::string> items;
    for (int i = 0; i < n; ++i) {
        const std::string def = i < static_cast<int>(list.size()) ? list[i] : std::string();
        items.push_back(ReadString(section, name + "." + std::to_string(i), def));
    }
    list = std::move(items);
}

void TIniGT::WriteStrings(const std::string& section, const std::string& name,
                          const std::vector<std::string>& list) const {
    WriteInteger(section, name + ".Count", static_cast<std::int32_t>(list.size()));
    for (size_t i = 0; i < list.size(); ++i)
        WriteString(section, name + "." + std::to_string(i), list[i]);
}

app::WindowPlacement TIniGT::ReadWindowPlacement(const std::string& section,
                                                 const std::string& name,
                                                 const app::WindowPlacement& current) const {
    app::WindowPlacement p = current;
    p.Flags = ReadInteger(section, name + ".Flags", current.Flags);
    p.Show = ReadInteger(section, name + ".Show", current.Show);
    p.MaxX = ReadInteger(section, name + ".MaxX", current.MaxX);
    p.MaxY = ReadInteger(section, name + ".MaxY", current.MaxY);
    p.Left = ReadInteger(section, name + ".X", current.Left);
    p.Top = ReadInteger(section, name + ".Y", current.Top);
    p.Right = ReadInteger(section, name + ".XSize", current.Right);
    p.Bottom = ReadInteger(section, name + ".YSize", current.Bottom);
    return p;
}

void TIniGT::WriteWindowPlacement(const std::string& section, const std::string& name,
                                  const app::WindowPlacement& p) const {
    WriteInteger(section, name + ".Flags", p.Flags);
    WriteInteger(section, name + ".Show", p.Show);
    WriteInteger(section, name + ".MaxX", p.MaxX);
    WriteInteger(section, name + ".MaxY", p.MaxY);
    WriteInteger(section, name + ".X", p.Left);
    WriteInteger(section, name + ".Y", p.Top);
    WriteInteger(section, name + ".XSize", p.Right);
    WriteInteger(section, name + ".YSize", p.Bottom);
}
