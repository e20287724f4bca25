// The grep's buffered reader: reads a Shift-JIS file in fixed blocks, decodes characters into
// 16-bit codes and keeps track of lines, so that a match attempt can start at every character
// and a matching line can be handed out whole, however long it is.
#pragma once

#include "errors.h"
#include "note_encoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace engine {

// One reported line: its bytes without the line end, and its number (the first line is 1).
// `Line` is Shift-JIS: a Shift-JIS note's own bytes, or a UTF-8 or UTF-16 note's line in its
// Shift-JIS form (see cp932::AppendShiftJisForm), which is what the pattern matched. For such a
// note `Utf8` holds the line as the note spells it, in UTF-8 (a UTF-16 note's converted; bytes
// that are no character kept as they are, see cp932::Utf16ToUtf8).
struct RE_LineInfo_t {
    std::string Line;
    std::int32_t LineNo = 0;
    bool FromUnicode = false;
    std::string Utf8;
};

class TTxtFile {
  public:
    static constexpr std::size_t BlockSize = 102400;
    static constexpr std::size_t Slack = 100;

    // Opens `fileName` (Shift-JIS, "/" separators) read-only and reads the first block.
    // EFileNotFound when it cannot be opened, EEndOfFile when it is empty, EGrepCancel when
    // `cancel` is found set after the first block. `pump` (may be empty) runs the host's events.
    // The first block decides the note's encoding (see cp932::DetectNoteKind): a UTF-8 or
    // UTF-16 note is read as UTF-8 text (a UTF-16 one converted block by block), its characters
    // decoded into the codes of their Shift-JIS forms.
    TTxtFile(const std::string& fileName, const bool& cancel, const std::function<void()>& pump,
             cp932::EncodingChoice encoding = cp932::EncodingChoice::Auto);
    ~TTxtFile();

    // Opens `fileName` (Shift-JIS, "/" separators) read-only, with the same failures as the
    // constructor: EFileNotFound also for anything but a regular file (a folder, a FIFO, a
    // device), which is never waited on.
    static std::FILE* Open(const std::string& fileName);
    // The same as a descriptor, with the file's size when `size` is given.
    static int OpenDescriptor(const std::string& fileName, std::uint64_t* size = nullptr);
    TTxtFile(const TTxtFile&) = delete;
    TTxtFile& operator=(const TTxtFile&) = delete;

    // Consumes one character at the line cursor and starts a new match attempt there.
    // EEndOfFile once the last byte of the file has been consumed.
    std::uint16_t GetStartChar();
    // Consumes one character of the running attempt; 0 for ever once the data is used up.
    std::uint16_t GetNextChar();
    // Finishes the current line and reports it. Pumps events and tests the cancel flag first.
    void GetLine(RE_LineInfo_t& info);

    // The match cursor is on the end of the data (the attempt can read nothing more).
    bool MatchAtEnd() const { return !match_.inCarry && match_.pos >= valid_ && eof_; }

  private:
    // A position either in the carry (the earlier part of a line that crossed blocks) or in
    // the buffer. Indexes, not pointers: the carry grows and moves.
    struct Cursor {
        bool inCarry = false;
        std::size_t pos = 0;
    };
    enum class Who { Line, Match };

    unsigned char& At(const Cursor& c) {
        return c.inCarry ? reinterpret_cast<unsigned char&>(carry_[c.pos]) : buf_[c.pos];
    }
    void Settle(Cursor& c, Who who);
    void Refill(Who who);
    void ReadBlock(bool first);
    int PeekAfter(const Cursor& c);
    unsigned char NextByte();
    unsigned char ConsumeMatch();
    void PumpAndTestCancel();
    std::size_t ReadFirst(unsigned char* at);
    std::size_t ReadUtf16(unsigned char* at);
    void ConvertUtf16(std::size_t want);
    std::uint16_t Utf8Rest(unsigned char lead, bool lineCursor);

    std::string fileName_;
    cp932::EncodingChoice choice_;
    bool unicode_ = false;
    // A UTF-16 note: its decoder, the raw bytes read and not yet converted, the text converted
    // and not yet in a block, and whether the raw bytes have all been read.
    std::unique_ptr<cp932::Utf16ToUtf8> utf16_;
    std::string rawLeft_, textLeft_;
    bool rawEnd_ = false;
    std::FILE* file_ = nullptr;
    unsigned char* buf_ = nullptr;
    Cursor line_, lineStart_, match_;
    std::int32_t lineNo_ = 0;
    std::size_t valid_ = 0;
    bool eof_ = false;
    std::string carry_;
    const bool& cancel_;
    const std::function<void()>& pump_;
};

} // namespace engine
