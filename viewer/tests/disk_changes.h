// What another program may do to a file while a window has it open, for the tests of windows
// that must not write over such a change unasked.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include "codec.h"
#include "note_text.h"
#include "platform.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace disk_changes {

// One change, made by `make`; `removed`: the file is gone afterwards.
struct Change {
    const char* name;
    std::function<void()> make;
    bool removed;
};

// The question asked before writing over the changed file `path` (Shift-JIS): it names the
// file, says whether it was changed or removed, and cancel is its default.
inline void ExpectAskedAbout(const app::Question& q, const std::string& path, bool removed) {
    const viewer::TChangedOnDisk expected = viewer::ChangedOnDiskQuestion(path, removed);
    EXPECT_EQ(q.text, expected.text);
    EXPECT_EQ(q.yes, expected.write);
    EXPECT_EQ(q.no, cp932::FromUtf8("キャンセル"));
    EXPECT_FALSE(q.defaultYes);
}

// Overwrites the first byte and sets the modification time back: the size and the time are
// those of the file the window read, only the bytes tell.
inline void SameSizeAndTime(const std::filesystem::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    std::fstream(p, std::ios::in | std::ios::out | std::ios::binary) << "X";
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, p.c_str(), times, 0);
}

} // namespace disk_changes
