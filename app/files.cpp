#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

namespace files {
namespace {

std::atomic<long long> g_stopAfter{-1};
std::atomic<bool> g_crash{false};

// Closes a descriptor on every way out, keeping errno.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // 0, or the errno of a failed close (which can report a failed write).
    int Close() {
        if (fd_ < 0) return 0;
        const int saved = errno;
        const int result = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        errno = saved;
        return result;
    }

  private:
    int fd_;
};

std::int64_t ModifiedNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

Stamp StampFrom(const struct stat& st, std::string_view bytes) {
    Stamp s;
    s.exists = true;
    s.device = static_cast<std::uint64_t>(st.st_dev);
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = bytes.size();
    s.modifiedNs = ModifiedNs(st);
    s.hash = HashBytes(bytes);
    return s;
}

// Writes all of `bytes` at `offset` (or at the descriptor's position when offset < 0); false with
// errno set when that failed.
bool WriteAt(int fd, std::string_view bytes, off_t offset) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = offset < 0 ? ::write(fd, bytes.data() + done, bytes.size() - done)
                                     : ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                                offset + static_cast<off_t>(done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

// The new bytes of a file, where the test hook may stop them.
bool WriteNewBytes(int fd, std::string_view bytes, off_t offset) {
    const long long stop = g_stopAfter.load();
    if (stop >= 0 && static_cast<long long>(bytes.size()) > stop) {
        WriteAt(fd, bytes.substr(0, static_cast<size_t>(stop)), offset);
        if (g_crash.load()) std::_Exit(86);
        errno = ENOSPC;
        return false;
    }
    return WriteAt(fd, bytes, offset);
}

// Copies every byte of `from` (from its start) to `to` at its start; false with errno set.
bool CopyContents(int from, int to) {
    char buf[65536];
    off_t at = 0;
    for (;;) {
        const ssize_t r = ::pread(from, buf, sizeof buf, at);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) return true;
        if (!WriteAt(to, std::string_view(buf, static_cast<size_t>(r)), at)) return false;
        at += r;
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A renamed or removed entry reaches the disk with its folder. Best effort: the data is safe
// either way.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Creates a file beside `target` that did not exist before: its name is the target's with
// `tag` and a random part; -1 with errno set when none can be made.
int CreateBeside(const std::string& target, const char* tag, mode_t mode, std::string& name) {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    // A long name leaves no room for the tag within the file system's 255 bytes: only its
    // start is kept, cut between two UTF-8 characters.
    std::string base = target;
    const size_t slash = target.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    constexpr size_t kKeep = 200;
    if (target.size() - nameStart > kKeep) {
        size_t cut = nameStart + kKeep;
        while (cut > nameStart && (static_cast<unsigned char>(target[cut]) & 0xC0) == 0x80)
            --cut;
        base = target.substr(0, cut);
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        name = base + tag;
        std::uint64_t r = rng();
        for (int k = 0; k < 8; ++k, r /= 36)
            name += digits[r % 36];
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// The extended attributes of a file by name; nullopt when they cannot be read. A file system
// without attributes has none.
std::optional<std::map<std::string, std::string>> Attributes(const std::string& path, int fd) {
    std::map<std::string, std::string> out;
    std::string names;
    for (;;) {
        const ssize_t n =
            fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path.c_str(), nullptr, 0);
        if (n < 0) {
            if (errno == ENOTSUP) return out;
            return std::nullopt;
        }
        names.resize(static_cast<size_t>(n));
        const ssize_t m = fd >= 0 ? ::flistxattr(fd, names.data(), names.size())
                                  : ::listxattr(path.c_str(), names.data(), names.size());
        if (m < 0 && errno == ERANGE) continue; // grew meanwhile
        if (m < 0) return std::nullopt;
        names.resize(static_cast<size_t>(m));
        break;
    }
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        if (name.empty()) continue;
        std::string value;
        for (;;) {
            const ssize_t n = fd >= 0 ? ::fgetxattr(fd, name.c_str(), nullptr, 0)
                                      : ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
            if (n < 0) return std::nullopt;
            value.resize(static_cast<size_t>(n));
            const ssize_t m =
                fd >= 0 ? ::fgetxattr(fd, name.c_str(), value.data(), value.size())
                        : ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
            if (m < 0 && errno == ERANGE) continue;
            if (m < 0) return std::nullopt;
            value.resize(static_cast<size_t>(m));
            break;
        }
        out.emplace(name, std::move(value));
    }
    return out;
}

// Gives the new file `fd` the owner, permissions and extended attributes of the old file `old`
// (status `st`); false when any of them cannot be given.
bool TakeIdentity(int fd, const std::string& old, const struct stat& st) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0)
        return false;
    // After the owner, which may clear the set-id bits; before the attributes, whose access
    // list would otherwise be rewritten by it.
    if (::fchmod(fd, st.st_mode & 07777) != 0) return false;
    const auto want = Attributes(old, -1);
    const auto have = Attributes(std::string(), fd);
    if (!want || !have) return false;
    for (const auto& [name, value] : *have)
        if (!want->count(name) && ::fremovexattr(fd, name.c_str()) != 0) return false;
    for (const auto& [name, value] : *want) {
        const auto it = have->find(name);
        if (it != have->end() && it->second == value) continue;
        if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0) return false;
    }
    return true;
}

constexpr int kKeepInPlace = -1; // the new file could not be made the same as the old one

// The new bytes in a new file beside `target`, renamed over it. `old` is the status of the file
// there, or null when there is none.
int WriteBeside(const std::string& target, std::string_view bytes, const struct stat* old,
                Stamp* written) {
    std::string temp;
    Fd fd(CreateBeside(target, ".quelvra-new-", old ? 0600 : 0666, temp));
    if (!fd) return errno;
    auto fail = [&](int error) {
        fd.Close();
        ::unlink(temp.c_str());
        return error;
    };
    if (old && !TakeIdentity(fd.get(), target, *old)) return fail(kKeepInPlace);
    if (!WriteNewBytes(fd.get(), bytes, -1)) return fail(errno);
    // The data must be on the disk before the rename makes it the file.
    if (::fsync(fd.get()) != 0) return fail(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(errno);
    if (const int error = fd.Close()) return fail(error);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    SyncFolder(FolderOf(target));
    if (written) *written = StampFrom(st, bytes);
    return 0;
}

// The new bytes written over the old ones in place, with a flushed copy of the old bytes beside
// the file for as long as the file may be half written.
int WriteInPlace(const std::string& target, std::string_view bytes, const struct stat& old,
                 Stamp* written) {
    Fd fd(::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return errno;
    // Replaced between the look and the opening: not the file the caller meant.
    if (st.st_dev != old.st_dev || st.st_ino != old.st_ino || !S_ISREG(st.st_mode)) return ESTALE;

    const std::string folder = FolderOf(target);
    std::string copyName;
    {
        Fd copy(CreateBeside(target, ".quelvra-old-", 0600, copyName));
        if (!copy) return errno;
        int error = 0;
        if (!CopyContents(fd.get(), copy.get()) || ::fsync(copy.get()) != 0) error = errno;
        if (!error) error = copy.Close();
        if (error) {
            ::unlink(copyName.c_str());
            return error;
        }
    }
    SyncFolder(folder); // the copy's name is on the disk before the file is touched

    if (WriteNewBytes(fd.get(), bytes, 0) &&
        ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd.get()) == 0 &&
        ::fstat(fd.get(), &st) == 0) {
        ::unlink(copyName.c_str());
        SyncFolder(folder);
        if (written) *written = StampFrom(st, bytes);
        return 0;
    }
    const int error = errno;
    // The old bytes back from the copy; if even that fails, the copy stays beside the file as
    // the one whole version of it.
    Fd copy(::open(copyName.c_str(), O_RDONLY | O_CLOEXEC));
    if (copy && CopyContents(copy.get(), fd.get()) && ::ftruncate(fd.get(), old.st_size) == 0 &&
        ::fsync(fd.get()) == 0) {
        ::unlink(copyName.c_str());
        SyncFolder(folder);
    }
    return error;
}

} // namespace

int OpenRegular(const std::string& nativePath, struct stat* out) {
    // Without blocking: a FIFO would wait for a writer. (O_NONBLOCK changes nothing for the
    // reads of a regular file.)
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        const int error = !statted ? errno : S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        errno = error;
        return -1;
    }
    if (out) *out = st;
    return fd;
}

std::uint64_t HashBytes(std::string_view bytes) {
    // Eight bytes a step, each mixed in by a multiplication and a shift.
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = 0x243F6A8885A308D3ull ^ bytes.size();
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        h = (h ^ w) * k;
        h ^= h >> 32;
    }
    std::uint64_t w = 0;
    std::memcpy(&w, bytes.data() + i, bytes.size() - i);
    h = (h ^ w) * k;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 32);
}

std::optional<std::string> ReadRegular(const std::string& nativePath, Stamp* stamp) {
    struct stat st {};
    Fd fd(OpenRegular(nativePath, &st));
    if (!fd) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t r = ::read(fd.get(), buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return std::nullopt;
        if (r == 0) break;
        bytes.append(buf, static_cast<size_t>(r));
    }
    if (stamp) *stamp = StampFrom(st, bytes);
    return bytes;
}

std::optional<Stamp> StampOf(const std::string& nativePath) {
    struct stat st {};
    if (::stat(nativePath.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return Stamp{};
    Stamp s;
    if (!ReadRegular(nativePath, &s)) return std::nullopt;
    return s;
}

int Replace(const std::string& nativePath, std::string_view bytes, Stamp* written) {
    if (nativePath.empty()) return ENOENT;
    std::string target = nativePath;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(target.c_str(), resolved)) return errno;
        target = resolved;
    }
    if (::stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return errno;
        return WriteBeside(target, bytes, nullptr, written);
    }
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return ENODEV;
    // The rename would go through where the folder allows it: the file's own permission decides.
    if ((st.st_mode & 0222) == 0) return EACCES;
    if (::access(target.c_str(), W_OK) != 0) return errno;
    if (st.st_nlink == 1) {
        const int result = WriteBeside(target, bytes, &st, written);
        if (result != kKeepInPlace) return result;
    }
    return WriteInPlace(target, bytes, st, written);
}

std::string ErrorText(int error) {
    if (error == ENODEV) return "Not a regular file (a FIFO, a device or a socket)";
    return std::strerror(error);
}

namespace testing_hooks {
void StopWritesAfter(long long bytes, bool crash) {
    g_crash = crash;
    g_stopAfter = bytes;
}
} // namespace testing_hooks

} // namespace files
