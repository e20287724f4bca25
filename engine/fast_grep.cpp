// The fast search's driver: a file read whole lines at a time (or whole, when an attempt can
// read past a line break) and each piece searched.
#include "fast_search.h"

#include <cstring>
#include <unistd.h>

namespace engine {

using fastgrep::EndData;
using fastgrep::ReadInto;
using fastgrep::Search;

bool FastGrep(const TRE_DFA& dfa, const std::string& fileName, cp932::EncodingChoice encoding,
              TFastBuffer& buffer, const bool& cancel, const std::function<void()>& pump,
              const std::function<void(RE_LineInfo_t&)>& report) {
    std::uint64_t fileBytes = 0;
    const int file = TTxtFile::OpenDescriptor(fileName, &fileBytes);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{file};
    if (!buffer.memo) buffer.memo = std::make_shared<TSearchMemo>();
    constexpr std::size_t kChunk = TTxtFile::BlockSize;
    constexpr std::size_t kPad = 3; // a line feed and two zero bytes after the data
    const std::size_t expect =
        static_cast<std::size_t>(std::min<std::uint64_t>(fileBytes, std::uint64_t(1) << 62));

    // The first block decides the note's encoding; a Shift-JIS note's search goes on with it.
    std::size_t firstBlock = 0;
    const bool decide = encoding != cp932::EncodingChoice::ShiftJis;
    if (decide) {
        unsigned char* head = buffer.Reserve(2 * kChunk + kPad, 0);
        firstBlock = fastgrep::ReadRaw(file, head, kChunk, expect);
        const cp932::NoteKind kind =
            cp932::DetectNoteKind(std::string_view(reinterpret_cast<const char*>(head), firstBlock),
                                  firstBlock < kChunk || expect <= firstBlock, encoding);
        if (kind.Unicode())
            return fastgrep::FastGrepUnicode(
                dfa, file, expect, kind,
                std::string(reinterpret_cast<const char*>(head), firstBlock), buffer, cancel, pump,
                report);
        fastgrep::ZerosToSpaces(head, firstBlock);
    }

    Search search(dfa, *buffer.memo, cancel, pump, report);
    const bool canMatch = search.Prepare();
    // A small note looks for what the notes before it looked for: counting its few bytes would
    // cost more than the search.
    if (expect < 16384) search.TakeRareChoice(buffer);
    struct Keeper {
        const Search& s;
        TFastBuffer& b;
        ~Keeper() { s.KeepRareChoice(b); }
    } keeper{search, buffer};

    if (!canMatch || search.StreamsLines()) {
        // Whole lines at a time through a buffer that is reused, grown only for a longer line.
        std::size_t base = 0, have = 0, noLFBefore = 0;
        bool firstRead = decide;
        unsigned char* buf = buffer.Reserve(2 * kChunk + kPad, firstBlock);
        for (;;) {
            std::size_t want = kChunk;
            // A line longer than a piece: the rest of the file at once (and one byte more,
            // which tells that the file has not grown), as far as memory allows.
            if (noLFBefore > 0 && expect > base + have &&
                expect - (base + have) < kFastGrepMaxBytes)
                want = std::max(kChunk, expect - (base + have) + 1);
            buf = buffer.Reserve(have + want + kPad, firstRead ? firstBlock : have);
            // (The first block was read to decide the encoding.)
            const std::size_t got =
                firstRead ? firstBlock
                          : ReadInto(file, buf + have, want,
                                     expect > base + have ? expect - (base + have) : 0);
            firstRead = false;
            have += got;
            if (got < want) {
                if (base + have == 0) return true;
                const std::size_t fileSize = base + have;
                // (Nothing left when the file ended with the last piece's LF.)
                if (have > 0) {
                    if (canMatch)
                        search.Scan(buf, EndData(buf, have), base);
                    else
                        search.Pass(have, base);
                }
                search.Finish(fileSize);
                return true;
            }
            const void* lf = memrchr(buf + noLFBefore, '\n', have - noLFBefore);
            const std::size_t cut =
                lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - buf) + 1
                   : noLFBefore;
            if (cut == noLFBefore) {
                noLFBefore = have; // one line goes on: read more of it
                continue;
            }
            if (canMatch)
                search.Scan(buf, cut, base);
            else
                search.Pass(cut, base);
            std::memmove(buf, buf + cut, have - cut);
            base += cut;
            have -= cut;
            noLFBefore = 0;
        }
    }

    if (expect > kFastGrepMaxBytes) return false;
    // One more byte asked for than expected tells that the file has not grown.
    std::size_t size = firstBlock;
    std::size_t room = std::max(expect + 1, firstBlock + 1);
    unsigned char* data = buffer.Reserve(room + kPad, firstBlock);
    for (;;) {
        size += ReadInto(file, data + size, room - size, expect > size ? expect - size : 0);
        if (size < room) break;
        // The file grew while it was read: read on, in blocks.
        if (room + TTxtFile::BlockSize > kFastGrepMaxBytes) return false;
        room += TTxtFile::BlockSize;
        data = buffer.Reserve(room + kPad, size);
    }
    if (size == 0) return true;
    const std::size_t fileSize = size;
    if (canMatch) search.Scan(data, EndData(data, size), 0);
    search.Finish(fileSize);
    return true;
}

} // namespace engine
