#include "listing.h"

#include "codec.h"
#include "sjis_text.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace listing {
namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

// Extension from the last dot, dot included; "" when the name has none.
std::string ExtensionOf(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// A note is a regular file or a link to one. Sockets, FIFOs and devices are never listed: a FIFO
// would make the search wait for a writer for ever.
bool IsNote(const fs::directory_entry& e) {
    std::error_code ec;
    return e.is_regular_file(ec);
}

fs::path Native(const std::string& sjis) {
    return fs::path(cp932::PathToNative(sjis));
}
std::string Inside(const fs::path& p) {
    return cp932::PathFromNative(p.string());
}

} // namespace

bool LessLikeList(const std::string& a, const std::string& b) {
    // Up to the first difference both names have the same characters, so a lead byte of `a`
    // is one of `b` too; the byte after it is a second byte, which does not fold.
    const size_t n = std::min(a.size(), b.size());
    bool second = false;
    for (size_t i = 0; i < n; ++i) {
        const auto ra = static_cast<unsigned char>(a[i]), rb = static_cast<unsigned char>(b[i]);
        const unsigned char x = second ? ra : FoldAscii(ra), y = second ? rb : FoldAscii(rb);
        if (x != y) return x < y;
        second = !second && cp932::IsLeadByte(ra);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

void SortLikeList(std::vector<std::string>& items) {
    std::sort(items.begin(), items.end(), LessLikeList);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& ext) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(Native(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Inside(it->path().filename());
        if (!cp932::EqualsNoCase(ExtensionOf(name), "." + ext)) continue;
        std::error_code se;
        // A folder named like a note is listed too, as the enumeration by wildcard does.
        if (IsNote(*it) || it->is_directory(se)) out.push_back(name);
    }
    SortLikeList(out);
    return out;
}

std::vector<std::string> ListFilesInTree(const std::string& folder, const std::string& extWithDot) {
    std::vector<std::string> out;
    std::set<fs::path> visited;
    // Folders to enter: the folder, its path relative to the base. Folders reached through a
    // symbolic link wait until every folder reachable without one has been entered, so that a
    // file is listed under its real path rather than under a link's.
    std::vector<std::pair<fs::path, std::string>> stack, linked;
    stack.emplace_back(Native(folder), "");
    std::error_code ec;
    while (!stack.empty() || !linked.empty()) {
        if (stack.empty()) {
            stack.push_back(std::move(linked.back()));
            linked.pop_back();
        }
        auto [dir, rel] = stack.back();
        stack.pop_back();
        const fs::path canonical = fs::canonical(dir, ec);
        if (ec || !visited.insert(canonical).second) continue;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = Inside(it->path().filename());
            if (name.empty() || name[0] == '.') continue;
            std::error_code se;
            if (it->is_directory(se)) {
                (it->is_symlink(se) ? linked : stack).emplace_back(it->path(), rel + name + "/");
            } else if (cp932::EqualsNoCase(ExtensionOf(name), extWithDot) && IsNote(*it)) {
                out.push_back(rel + name);
            }
        }
        ec.clear();
    }
    SortLikeList(out);
    return out;
}

std::vector<std::string> ListFolders(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(Native(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Inside(it->path().filename());
        std::error_code se;
        // As the enumeration "*." does: names without an extension, so without a dot.
        if (name.empty() || name.find('.') != std::string::npos || !it->is_directory(se)) continue;
        out.push_back(name);
    }
    SortLikeList(out);
    return out;
}

} // namespace listing
