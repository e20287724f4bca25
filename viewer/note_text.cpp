#include "note_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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

namespace {

std::string Reason(const std::string& what, const std::string& path, int error) {
    return what + " \"" + path + "\": " + std::strerror(error);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

} // namespace

void SaveNoteAtomically(const std::string& nativePath, const std::string& bytes) {
    // A link is followed: the note it names is replaced, the link stays.
    char resolved[PATH_MAX];
    if (!::realpath(nativePath.c_str(), resolved))
        throw TSaveError(Reason("Cannot find the file", nativePath, errno));
    const std::string path = resolved;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw TSaveError(Reason("Cannot find the file", path, errno));
    if (!S_ISREG(st.st_mode)) throw TSaveError(Reason("Cannot write the file", path, EISDIR));
    // Renaming over a read-only note would succeed; the note's own permission decides, and a
    // note that nobody may write is read-only for the superuser too.
    if ((st.st_mode & 0222) == 0) throw TSaveError(Reason("Cannot write the file", path, EACCES));
    if (::access(path.c_str(), W_OK) != 0)
        throw TSaveError(Reason("Cannot write the file", path, errno));

    const size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    std::string temp = path.substr(0, slash + 1) + ".quelvra-save-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) throw TSaveError(Reason("Cannot write the file", path, errno));
    auto fail = [&](const char* what) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        throw TSaveError(Reason(what, path, error));
    };
    if (!WriteAll(fd, bytes)) fail("Cannot write the file");
    if (::fchmod(fd, st.st_mode & 07777) != 0) fail("Cannot write the file");
    // Best effort: the note keeps its owner where we may give it.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not allowed: the corrected note belongs to whoever saved it.
    }
    if (::fsync(fd) != 0) fail("Cannot write the file");
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw TSaveError(Reason("Cannot write the file", path, error));
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw TSaveError(Reason("Cannot write the file", path, error));
    }
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace viewer
