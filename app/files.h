// Reading and replacing whole files, the way every part of the program does it: notes, the
// settings file, the keyword list, result files. No GUI; paths here are native (UTF-8 on disk).
//
// Reading opens regular files (and links to them) only, never waiting: a FIFO, a device or a
// socket named like a note must not stop the program.
//
// Replacing never leaves half a file. The new bytes go to a new file beside the old one, which is
// flushed, given the old file's permissions, owner and extended attributes (ACLs are among them),
// renamed over it, and the folder flushed. Where the new file cannot be made the same as the old
// one that way (more than one hard link, an owner or an attribute that cannot be given), the file
// is written in place instead, after a complete copy of its old bytes has been flushed beside it;
// the copy is removed once the new bytes are on the disk, so a crash leaves the old bytes or the
// new ones, never half of them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct stat;

namespace files {

// Opens `nativePath` for reading if it is a regular file or a link to one. Returns the
// descriptor (close-on-exec), or -1 with errno set: EISDIR for a folder, ENODEV for anything
// else that is no regular file (FIFO, socket, device). `st` receives the file's status.
int OpenRegular(const std::string& nativePath, struct stat* st = nullptr);

// What a file held when it was read or written: enough to tell later whether another program
// has changed, replaced or removed it. The bytes' hash is there because modification times can
// be coarse, or set back by a program that restores them.
struct Stamp {
    bool exists = false; // false: there was no file (the other fields are 0)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t hash = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// A 64-bit hash of the bytes (not for adversaries: it tells apart versions of one file).
std::uint64_t HashBytes(std::string_view bytes);

// The whole file, opened as OpenRegular opens it; nullopt with errno set when it cannot be read.
// `stamp` receives what was read.
std::optional<std::string> ReadRegular(const std::string& nativePath, Stamp* stamp = nullptr);

// The file as it is now: a stamp with exists = false when there is nothing at the path, nullopt
// when there is something that cannot be read (a folder, a FIFO, no permission), which then
// matches no stamp.
std::optional<Stamp> StampOf(const std::string& nativePath);

// Replaces the file at `nativePath` by `bytes` as described above, creating it when there is
// none (with the permissions a new file gets in its folder). A link is followed: the file it
// names is replaced and the link stays. Returns 0, or an errno value when nothing could be
// written; the file is then as it was. A file that cannot be written to (no write permission for
// us, or none for anybody, which holds for the superuser too) is refused with EACCES, even where
// its folder would allow the rename; anything but a regular file with EISDIR or ENODEV.
// `written` receives the stamp of the file as written.
int Replace(const std::string& nativePath, std::string_view bytes, Stamp* written = nullptr);

// The reason for an errno value from these functions, in English ("not a regular file" for
// ENODEV, otherwise the system's text).
std::string ErrorText(int error);

namespace testing_hooks {
// From now on, the writing of new bytes into a file stops once `bytes` of them are written: with
// `crash`, the process ends there at once (_Exit(86)); otherwise the write fails as on a full
// disk. A negative value turns this off.
void StopWritesAfter(long long bytes, bool crash = false);
} // namespace testing_hooks

} // namespace files
