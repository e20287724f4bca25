// A scratch file for fuzz targets that feed the grep a file: one per process, in memory where
// the system offers a memory file system.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzzing {

inline const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/quelvra-fuzz-" + std::to_string(getpid()) + ".txt";
    }();
    return path;
}

// Replaces the scratch file's contents; aborts when it cannot be written (a broken setup, not
// a finding).
inline const std::string& WriteScratch(const char* data, std::size_t size) {
    const std::string& path = ScratchPath();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
    return path;
}

// Removes the scratch file when the process ends.
struct ScratchRemover {
    ~ScratchRemover() { std::remove(ScratchPath().c_str()); }
};

} // namespace fuzzing
