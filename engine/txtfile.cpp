#include "txtfile.h"

#include "codec.h"
#include "files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {
namespace {

std::string Msg(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

std::string OpenFailureMessage(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return Msg("ファイルが見つかりません");
    case EACCES:
    case EPERM:
    case EISDIR:
        return Msg("ファイルへのアクセスが拒否されました");
    default:
        return Msg("ファイルを開けません: ") + cp932::FromUtf8Lossy(std::strerror(err));
    }
}

} // namespace

std::FILE* TTxtFile::Open(const std::string& fileName) {
    const int fd = OpenDescriptor(fileName);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        const int err = errno;
        ::close(fd);
        throw EFileNotFound(OpenFailureMessage(err));
    }
    return file;
}

int TTxtFile::OpenDescriptor(const std::string& fileName, std::uint64_t* size) {
    std::string native;
    try {
        native = cp932::PathToNative(fileName);
    } catch (const std::exception&) {
        throw EFileNotFound(OpenFailureMessage(ENOENT));
    }
    // Without blocking: a FIFO would wait for a writer before the first block or the event
    // pump ran, so that nothing could end the search. Only a regular file is a note; anything
    // else (FIFO, socket, device, folder) counts as a file that could not be opened.
    struct stat st {};
    const int fd = files::OpenRegular(native, &st);
    if (fd < 0) {
        if (errno == ENODEV) throw EFileNotFound(Msg("通常のファイルではありません"));
        throw EFileNotFound(OpenFailureMessage(errno));
    }
    if (size) *size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

TTxtFile::TTxtFile(const std::string& fileName, const bool& cancel,
                   const std::function<void()>& pump, cp932::EncodingChoice encoding)
    : fileName_(fileName), choice_(encoding), cancel_(cancel), pump_(pump) {
    file_ = Open(fileName);
    buf_ = static_cast<unsigned char*>(std::calloc(BlockSize + Slack, 1));
    if (!buf_) {
        std::fclose(file_);
        throw std::bad_alloc();
    }
    // A line feed before the data: the first line starts after a line break like every other,
    // so that "^" can anchor to it.
    buf_[0] = '\n';
    try {
        ReadBlock(true);
    } catch (...) {
        std::free(buf_);
        std::fclose(file_);
        throw;
    }
}

TTxtFile::~TTxtFile() {
    std::free(buf_);
    if (file_) std::fclose(file_);
}

void TTxtFile::PumpAndTestCancel() {
    if (pump_) pump_();
    if (cancel_) throw EGrepCancel();
}

void TTxtFile::ReadBlock(bool first) {
    const std::size_t off = first ? 1 : 0;
    std::size_t n;
    if (first)
        n = ReadFirst(buf_ + off);
    else if (utf16_)
        n = ReadUtf16(buf_);
    else
        n = std::fread(buf_, 1, BlockSize, file_);
    if (std::ferror(file_)) throw EInOutError(Msg("ファイルの読み込みに失敗しました"));
    if (n == 0) throw EEndOfFile();
    valid_ = off + n;
    if (utf16_) {
        // (Converted ahead as far as a byte, so that the end is known as the SJIS side knows it.)
        ConvertUtf16(1);
        if (std::ferror(file_)) throw EInOutError(Msg("ファイルの読み込みに失敗しました"));
        eof_ = rawEnd_ && textLeft_.empty();
    } else {
        // Whether the block ended the file; a look at the next byte also answers it when the
        // file is an exact number of blocks long.
        const int next = std::fgetc(file_);
        if (next == EOF) {
            if (std::ferror(file_)) throw EInOutError(Msg("ファイルの読み込みに失敗しました"));
            eof_ = true;
        } else {
            std::ungetc(next, file_);
        }
    }
    if (eof_) {
        // The last line always ends with a line break.
        if (buf_[valid_ - 1] != '\n') buf_[valid_++] = '\n';
        buf_[valid_] = 0;
        buf_[valid_ + 1] = 0;
    } else {
        buf_[valid_] = 0;
    }
    PumpAndTestCancel();
}

// The first block, which decides the note's encoding: a UTF-8 mark is left out, and a UTF-16
// note's bytes are kept to be converted block by block.
std::size_t TTxtFile::ReadFirst(unsigned char* at) {
    std::size_t n = std::fread(at, 1, BlockSize, file_);
    if (std::ferror(file_)) return 0;
    const int next = std::fgetc(file_);
    if (next != EOF) std::ungetc(next, file_);
    const cp932::NoteKind kind =
        cp932::DetectNoteKind(std::string_view(reinterpret_cast<const char*>(at), n),
                              next == EOF && !std::ferror(file_), choice_);
    unicode_ = kind.Unicode();
    const std::size_t mark = std::min(kind.markBytes, n);
    if (kind.encoding == cp932::NoteEncoding::Utf8) {
        std::memmove(at, at + mark, n - mark);
        return n - mark;
    }
    if (!unicode_) return n;
    utf16_ = std::make_unique<cp932::Utf16ToUtf8>(kind.encoding == cp932::NoteEncoding::Utf16BE);
    rawLeft_.assign(reinterpret_cast<const char*>(at) + mark, n - mark);
    return ReadUtf16(at);
}

// Converts a UTF-16 note's bytes until `want` bytes of text wait (or the note has ended).
void TTxtFile::ConvertUtf16(std::size_t want) {
    while (textLeft_.size() < want && !rawEnd_) {
        if (rawLeft_.empty()) {
            rawLeft_.resize(BlockSize);
            const std::size_t got = std::fread(rawLeft_.data(), 1, BlockSize, file_);
            rawLeft_.resize(got);
            if (std::ferror(file_)) return;
            if (got < BlockSize) rawEnd_ = true;
        }
        utf16_->Convert(reinterpret_cast<const unsigned char*>(rawLeft_.data()), rawLeft_.size(),
                        textLeft_);
        rawLeft_.clear();
        if (rawEnd_) utf16_->Finish(textLeft_);
    }
}

// The next block of a UTF-16 note's text, as UTF-8.
std::size_t TTxtFile::ReadUtf16(unsigned char* at) {
    ConvertUtf16(BlockSize);
    const std::size_t n = std::min(BlockSize, textLeft_.size());
    std::memcpy(at, textLeft_.data(), n);
    textLeft_.erase(0, n);
    return n;
}

// Brings a cursor that has just advanced onto real data: from the end of the carry into the
// buffer, over a zero byte of the file (which reads as a space), or into the next block.
void TTxtFile::Settle(Cursor& c, Who who) {
    for (;;) {
        if (c.inCarry) {
            if (c.pos < carry_.size()) {
                if (carry_[c.pos] == 0) carry_[c.pos] = ' ';
                return;
            }
            c = Cursor{false, 0};
            continue;
        }
        unsigned char& b = buf_[c.pos];
        if (b != 0) return;
        if (c.pos < valid_) {
            b = ' ';
            return;
        }
        if (eof_) {
            // The line side is done with the file; a match attempt just sees code 0 from now on.
            if (who == Who::Line) throw EEndOfFile();
            return;
        }
        Refill(who);
    }
}

// The block is used up in the middle of a line: keep the line (from its start) in the carry,
// move the cursors that point into it along, and read the next block.
void TTxtFile::Refill(Who who) {
    auto intoCarry = [](Cursor& c, std::size_t shift, std::size_t base) {
        if (!c.inCarry) c = Cursor{true, c.pos - base + shift};
    };
    if (lineStart_.inCarry) {
        const std::size_t shift = carry_.size();
        carry_.append(reinterpret_cast<const char*>(buf_), valid_);
        if (who == Who::Match) intoCarry(line_, shift, 0);
    } else {
        const std::size_t base = lineStart_.pos;
        carry_.assign(reinterpret_cast<const char*>(buf_) + base, valid_ - base);
        if (who == Who::Match) intoCarry(line_, 0, base);
        lineStart_ = Cursor{true, 0};
    }
    ReadBlock(false);
    (who == Who::Line ? line_ : match_) = Cursor{false, 0};
}

// The byte after the one at `c`, without moving anything; reads ahead in the file when `c` is
// the last byte of the block.
int TTxtFile::PeekAfter(const Cursor& c) {
    if (c.inCarry)
        return c.pos + 1 < carry_.size() ? static_cast<unsigned char>(carry_[c.pos + 1]) : buf_[0];
    if (c.pos + 1 < valid_) return buf_[c.pos + 1];
    if (eof_) return 0;
    if (utf16_) {
        ConvertUtf16(1);
        return textLeft_.empty() ? 0 : static_cast<unsigned char>(textLeft_[0]);
    }
    const int next = std::fgetc(file_);
    if (next != EOF) std::ungetc(next, file_);
    return next == EOF ? 0 : next;
}

unsigned char TTxtFile::NextByte() {
    const unsigned char b = At(line_);
    ++line_.pos;
    Settle(line_, Who::Line);
    if (b == '\n') {
        lineStart_ = line_;
        ++lineNo_;
        if (!line_.inCarry) carry_.clear();
    }
    unsigned char& nb = At(line_);
    if (nb == '\r') {
        // CR LF is one break: rest on its LF. A lone CR becomes a LF of its own.
        if (PeekAfter(line_) == '\n') {
            ++line_.pos;
            Settle(line_, Who::Line);
        } else {
            nb = '\n';
        }
    }
    match_ = line_;
    return b;
}

unsigned char TTxtFile::ConsumeMatch() {
    if (MatchAtEnd()) return 0;
    const unsigned char b = At(match_);
    ++match_.pos;
    Settle(match_, Who::Match);
    return b;
}

std::uint16_t TTxtFile::GetStartChar() {
    const unsigned char b = NextByte();
    if (unicode_) return b < 0x80 ? b : Utf8Rest(b, true);
    if (!cp932::IsLeadByte(b)) return b;
    // A lead byte before a line end stands alone: no character takes a line break, so no
    // match spans two lines. (The line cursor rests on the break's LF, a lone CR turned LF.)
    if (At(line_) == '\n') return b;
    return static_cast<std::uint16_t>(b << 8 | NextByte());
}

std::uint16_t TTxtFile::GetNextChar() {
    const unsigned char b = ConsumeMatch();
    if (b == '\r') {
        // The line side makes the same decision for this CR (one line break either way).
        if (!MatchAtEnd() && At(match_) == '\n') ConsumeMatch();
        return '\n';
    }
    if (unicode_) return b < 0x80 ? b : Utf8Rest(b, false);
    if (!cp932::IsLeadByte(b)) return b;
    // As on the line side: a lead byte before CR or LF is a character of its own.
    if (!MatchAtEnd() && (At(match_) == '\n' || At(match_) == '\r')) return b;
    return static_cast<std::uint16_t>(b << 8 | ConsumeMatch());
}

// The rest of a UTF-8 character whose first byte `lead` a cursor has just consumed: as many of
// the bytes after it as belong to it (none of them a line break), and the code of its Shift-JIS
// form.
std::uint16_t TTxtFile::Utf8Rest(unsigned char lead, bool lineCursor) {
    const unsigned length = cp932::Utf8SequenceLength(lead);
    if (length == 0) return cp932::kNoFormCode;
    char32_t code = lead & (0x7F >> length);
    for (unsigned k = 1; k < length; ++k) {
        if (!lineCursor && MatchAtEnd()) return cp932::kNoFormCode;
        const unsigned char b = At(lineCursor ? line_ : match_);
        if (!cp932::Utf8Continues(lead, k, b)) return cp932::kNoFormCode;
        if (lineCursor)
            NextByte();
        else
            ConsumeMatch();
        code = code << 6 | (b & 0x3F);
    }
    return cp932::ShiftJisCodeOf(code);
}

void TTxtFile::GetLine(RE_LineInfo_t& info) {
    PumpAndTestCancel();
    while (At(line_) != '\n')
        NextByte();
    std::string text;
    if (lineStart_.inCarry && !line_.inCarry) {
        text.reserve(carry_.size() - lineStart_.pos + line_.pos);
        text.assign(carry_, lineStart_.pos);
        text.append(reinterpret_cast<const char*>(buf_), line_.pos);
    } else if (lineStart_.inCarry) {
        text.assign(carry_, lineStart_.pos, line_.pos - lineStart_.pos);
    } else {
        text.assign(reinterpret_cast<const char*>(buf_) + lineStart_.pos,
                    line_.pos - lineStart_.pos);
    }
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    info.LineNo = lineNo_;
    info.FromUnicode = unicode_;
    if (unicode_) {
        info.Line.clear();
        cp932::AppendShiftJisForm(info.Line, text);
        info.Utf8 = std::move(text);
    } else {
        info.Line = std::move(text);
        info.Utf8.clear();
    }
}

} // namespace engine
