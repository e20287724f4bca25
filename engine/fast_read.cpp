// Reading a file for the fast search: into one buffer reused from file to file, a zero byte
// read as a space, the last line ended with a line feed.
#include "fast_search.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "codec.h"

namespace engine {

namespace {

unsigned char* Grow(std::unique_ptr<unsigned char[]>& data, std::size_t& capacity,
                    std::size_t bytes, std::size_t keep) {
    if (bytes > capacity) {
        const std::size_t grown = std::max(bytes, capacity + capacity / 2);
        std::unique_ptr<unsigned char[]> fresh(new unsigned char[grown]);
        if (keep > 0) std::memcpy(fresh.get(), data.get(), keep);
        data = std::move(fresh);
        capacity = grown;
    }
    return data.get();
}

} // namespace

unsigned char* TFastBuffer::Reserve(std::size_t bytes, std::size_t keep) {
    return Grow(data_, capacity_, bytes, keep);
}

unsigned char* TFastBuffer::ReserveForm(std::size_t bytes, std::size_t keep) {
    return Grow(form_, formCapacity_, bytes, keep);
}

namespace fastgrep {

std::size_t ReadRaw(int fd, unsigned char* at, std::size_t want, std::size_t left) {
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, at + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EInOutError(cp932::FromUtf8("ファイルの読み込みに失敗しました"));
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (left > 0 && got == left && got < want) break;
    }
    return got;
}

void ZerosToSpaces(unsigned char* at, std::size_t n) {
    for (unsigned char* p = at; (p = static_cast<unsigned char*>(
                                     std::memchr(p, 0, n - static_cast<std::size_t>(p - at))));)
        *p = ' ';
}

std::size_t ReadInto(int fd, unsigned char* at, std::size_t want, std::size_t left) {
    const std::size_t got = ReadRaw(fd, at, want, left);
    ZerosToSpaces(at, got);
    return got;
}

// The last line always ends with a line feed; two zero bytes of padding follow.
std::size_t EndData(unsigned char* data, std::size_t size) {
    if (data[size - 1] != '\n') data[size++] = '\n';
    data[size] = 0;
    data[size + 1] = 0;
    return size;
}

} // namespace fastgrep
} // namespace engine
