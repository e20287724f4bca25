// The INI functions and the settings component, written and then read back: a write that
// reports success can be read back (the value as the read promises to return it), writing the
// same again changes nothing, a refused write leaves the file as it was, and a fenced string or
// an integer of the settings component comes back unchanged. Any old file content is allowed.
#include "codec.h"
#include "inigt.h"
#include "profile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& Path() {
    static const std::string path = [] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/quelvra-fuzz-" + std::to_string(getpid()) + ".ini";
    }();
    return path;
}

struct Remover {
    ~Remover() { std::remove(Path().c_str()); }
};

std::string Slurp() {
    std::ifstream in(Path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Put(const std::string& text) {
    std::ofstream(Path(), std::ios::binary | std::ios::trunc) << text;
}

// What a read returns for a written value: line breaks became spaces, blanks around it and one
// pair of enclosing quotes are gone, at most 2047 bytes without half a character.
std::string Expected(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    std::size_t b = 0, e = v.size();
    while (b < e && (v[b] == ' ' || v[b] == '\t'))
        ++b;
    while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t'))
        --e;
    v = v.substr(b, e - b);
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        v = v.substr(1, v.size() - 2);
    std::size_t n = 0;
    while (n < v.size()) {
        const std::size_t w = cp932::IsLeadByte(static_cast<unsigned char>(v[n])) ? 2 : 1;
        if (n + w > app::kMaxProfileValue) break;
        n += w;
    }
    return v.substr(0, std::min(n, v.size()));
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "settings file: %s\n", what);
    std::abort();
}

} // namespace

// Input: the old file, section, key and value, separated by bytes 0xFF (not Shift-JIS).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Remover remover;
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && parts.size() < 4)
            parts.emplace_back();
        else
            parts.back() += static_cast<char>(data[i]);
    }
    if (parts.size() < 4) return 0;
    const std::string &old = parts[0], &section = parts[1], &key = parts[2], &value = parts[3];

    Put(old);
    const std::string def = "\x01no value";
    if (app::WriteProfileString(section, key, value, Path())) {
        if (app::GetProfileString(section, key, def, Path()) != Expected(value))
            Fail("a written value does not read back");
        const std::string once = Slurp();
        if (!app::WriteProfileString(section, key, value, Path()) || Slurp() != once)
            Fail("writing the same value again changed the file");
    } else if (Slurp() != old) {
        Fail("a refused write changed the file");
    }

    TIniGT ini;
    ini.SetDefaultDir(ddNone);
    ini.SetFileName(Path());
    for (const TIniGTFence fence : {fnParenthesis, fnVer11Mode}) {
        ini.SetFence(fence);
        Put(old);
        try {
            ini.WriteString(section, key, value);
        } catch (const EIniFileException&) {
            if (Slurp() != old) Fail("a refused write changed the file");
            continue;
        }
        if (value.find_first_of("\r\n") == std::string::npos &&
            value.size() + 2 <= app::kMaxProfileValue && ini.ReadString(section, key, def) != value)
            Fail("a fenced string does not read back");
        const std::int32_t number = static_cast<std::int32_t>(value.size() * 2654435761u);
        ini.WriteInteger(section, key, number);
        if (ini.ReadInteger(section, key, 7) != number) Fail("an integer does not read back");
    }
    return 0;
}
