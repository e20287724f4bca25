// The fast search of UTF-8 and UTF-16 notes. What the pattern matches is a note's Shift-JIS
// form (cp932::AppendShiftJisForm); rather than converting the whole note, the strings every
// match holds (the automaton's required sets) are looked for in the note's UTF-8 bytes, spelled
// in UTF-8 every way that has them as their Shift-JIS form, and only the lines that hold one
// string of each set are converted and searched. A line lacking one has no match in its
// Shift-JIS form either: a string of whole characters occurs there exactly where one of its
// spellings occurs in the UTF-8 line. Without such sets (or when they are found on most lines)
// each piece of the note is converted whole and searched as a Shift-JIS note's piece would be.
#include "fast_search.h"

#include <cstring>
#include <memory>

namespace engine {
namespace fastgrep {
namespace {

constexpr std::size_t kChunk = TTxtFile::BlockSize;
constexpr std::size_t kPad = 3; // a line feed and two zero bytes after the data
// A set is spelled at most this many ways in UTF-8 (most strings have one spelling).
constexpr std::size_t kMaxSpellings = 4 * 64;

// A note's text as UTF-8, a piece at a time: a UTF-8 note's bytes after its mark, a UTF-16 note's
// converted; zero bytes read as spaces.
class TUnicodeText {
  public:
    TUnicodeText(int fd, std::uint64_t expect, cp932::NoteKind kind, std::string head)
        : fd_(fd), left_(expect > head.size() ? expect - head.size() : 0) {
        const std::size_t mark = std::min(kind.markBytes, head.size());
        if (kind.encoding == cp932::NoteEncoding::Utf8) {
            pending_ = head.substr(mark);
        } else {
            utf16_ =
                std::make_unique<cp932::Utf16ToUtf8>(kind.encoding == cp932::NoteEncoding::Utf16BE);
            utf16_->Convert(reinterpret_cast<const unsigned char*>(head.data()) + mark,
                            head.size() - mark, pending_);
        }
        ZerosToSpaces(reinterpret_cast<unsigned char*>(pending_.data()), pending_.size());
    }

    // Up to `want` bytes at `at`; fewer only at the note's end.
    std::size_t Read(unsigned char* at, std::size_t want) {
        std::size_t got = Take(at, want);
        while (got < want && !ended_) {
            if (!utf16_) {
                const std::size_t n = ReadInto(fd_, at + got, want - got, left_);
                left_ = left_ > n ? left_ - n : 0;
                if (n < want - got) ended_ = true;
                got += n;
                continue;
            }
            raw_.resize(kChunk);
            const std::size_t n =
                ReadRaw(fd_, reinterpret_cast<unsigned char*>(raw_.data()), kChunk, left_);
            left_ = left_ > n ? left_ - n : 0;
            utf16_->Convert(reinterpret_cast<const unsigned char*>(raw_.data()), n, pending_);
            if (n < kChunk) {
                utf16_->Finish(pending_);
                ended_ = true;
            }
            ZerosToSpaces(reinterpret_cast<unsigned char*>(pending_.data()) + pendingAt_,
                          pending_.size() - pendingAt_);
            got += Take(at + got, want - got);
        }
        return got;
    }

  private:
    std::size_t Take(unsigned char* at, std::size_t want) {
        const std::size_t n = std::min(want, pending_.size() - pendingAt_);
        std::memcpy(at, pending_.data() + pendingAt_, n);
        pendingAt_ += n;
        if (pendingAt_ == pending_.size()) {
            pending_.clear();
            pendingAt_ = 0;
        }
        return n;
    }

    int fd_;
    std::size_t left_; // what the file's size says is left to read
    std::unique_ptr<cp932::Utf16ToUtf8> utf16_;
    std::string pending_, raw_;
    std::size_t pendingAt_ = 0;
    bool ended_ = false;
};

// The search of one note: its pieces of whole lines, each line that can match converted into a
// buffer of Shift-JIS text that the search of a Shift-JIS note goes over, and every line that
// search reports handed on with its own number and its UTF-8 text.
class TUnicodeSearch {
  public:
    TUnicodeSearch(const TRE_DFA& dfa, TFastBuffer& buffer, const bool& cancel,
                   const std::function<void()>& pump,
                   const std::function<void(RE_LineInfo_t&)>& report)
        : dfa_(dfa), buffer_(buffer), memo_(*buffer.memo), cancel_(cancel), pump_(pump),
          report_(report), onHit_([this](RE_LineInfo_t& info) { Hit(info); }),
          search_(dfa, *buffer.memo, cancel, pump, onHit_) {}

    bool Run(TUnicodeText& text, std::uint64_t expect);

  private:
    // A line of the piece that went into the Shift-JIS text: its number and its bytes.
    struct TLine {
        std::int32_t no;
        std::size_t start, end;
    };

    void SpellSets();
    void Piece(const unsigned char* d, std::size_t n);
    // The piece converted whole, its lines as they are.
    void Whole(const unsigned char* d, std::size_t n);
    void Hit(RE_LineInfo_t& info);
    void Pump() {
        if (pump_) pump_();
        if (cancel_) throw EGrepCancel();
    }
    bool IsBreak(const unsigned char* d, std::size_t i) const {
        return d[i] == '\n' || (d[i] == '\r' && d[i + 1] != '\n');
    }
    // Where the line at `at` of the piece ends (its CR or LF), and where the next one begins.
    std::size_t LineEnd(std::size_t at) const {
        const auto lf = static_cast<std::size_t>(
            static_cast<const unsigned char*>(std::memchr(d_ + at, '\n', n_ - at)) - d_);
        if (!hasCR_) return lf;
        const void* cr = std::memchr(d_ + at, '\r', lf - at);
        return cr ? static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - d_) : lf;
    }
    // Where the line that holds `at` begins, `from` (the start of a line) at the earliest.
    std::size_t LineStartBefore(std::size_t at, std::size_t from) const {
        std::size_t start = from;
        if (const void* lf = memrchr(d_ + from, '\n', at - from))
            start = static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) + 1;
        if (hasCR_)
            if (const void* cr = memrchr(d_ + from, '\r', at - from))
                start = std::max(
                    start,
                    static_cast<std::size_t>(static_cast<const unsigned char*>(cr) - d_) + 1);
        return start;
    }
    std::size_t NextLine(std::size_t at) const {
        const std::size_t end = LineEnd(at);
        return end + (d_[end] == '\r' && d_[end + 1] == '\n' ? 2 : 1);
    }
    // Counts the line breaks in [counted_, to) of the piece.
    void CountTo(const unsigned char* d, std::size_t to) {
        if (!hasCR_) {
            breaks_ += static_cast<std::int32_t>(CountLineFeeds(d + counted_, d + to));
        } else {
            for (std::size_t i = counted_; i < to; ++i)
                if (IsBreak(d, i)) ++breaks_;
        }
        counted_ = to;
    }

    const TRE_DFA& dfa_;
    TFastBuffer& buffer_;
    TSearchMemo& memo_;
    const bool& cancel_;
    const std::function<void()>& pump_;
    const std::function<void(RE_LineInfo_t&)>& report_;
    std::function<void(RE_LineInfo_t&)> onHit_;
    Search search_;

    std::vector<Required> required_;
    bool chosen_ = false;
    // The piece being searched (ending with a LF), its line breaks counted in [0, counted_)
    // (breaks_ of the note).
    const unsigned char* d_ = nullptr;
    std::size_t n_ = 0;
    bool hasCR_ = false;
    std::size_t counted_ = 0;
    std::int32_t breaks_ = 0;
    // Shift-JIS text handed to the search so far, and its lines before this piece's.
    std::size_t formBytes_ = 0;
    std::int32_t formLines_ = 0;
    // This piece's lines in the Shift-JIS text (`whole_`: all of them, in their own order,
    // found by walking from `walkLine_` at `walkAt_`).
    std::vector<TLine> lines_;
    bool whole_ = false;
    std::int32_t walkLine_ = 0;
    std::size_t walkAt_ = 0;
};

void TUnicodeSearch::SpellSets() {
    if (memo_.unicodeSerial == dfa_.Serial) return;
    memo_.unicodeSerial = dfa_.Serial;
    memo_.unicodeSets.clear();
    memo_.unicodeNever = false;
    memo_.unicodeChosen = false;
    memo_.unicodeRequired.clear();
    // (Only where no attempt reads past its line: a match then lies within one line.)
    if (!search_.StreamsLines()) return;
    for (const std::vector<std::string>& set : RequiredSetsOf(dfa_)) {
        std::vector<std::string> spelled;
        bool usable = true;
        for (const std::string& s : set) {
            const auto ways = cp932::Utf8Spellings(s, kMaxSpellings);
            if (!ways) {
                usable = false;
                break;
            }
            spelled.insert(spelled.end(), ways->begin(), ways->end());
        }
        if (!usable || spelled.size() > kMaxSpellings) continue;
        if (spelled.empty()) {
            // No text has a string of this set: nothing can match.
            memo_.unicodeNever = true;
            return;
        }
        std::sort(spelled.begin(), spelled.end());
        spelled.erase(std::unique(spelled.begin(), spelled.end()), spelled.end());
        memo_.unicodeSets.push_back(std::move(spelled));
    }
}

bool TUnicodeSearch::Run(TUnicodeText& text, std::uint64_t expect) {
    const bool canMatch = search_.Prepare();
    if (canMatch) SpellSets();
    const bool never = !canMatch || memo_.unicodeNever;
    if (!never && !search_.StreamsLines()) {
        // An attempt may read on past a line break: the whole note converted at once.
        if (expect > kFastGrepMaxBytes) return false;
        std::size_t size = 0, room = std::max<std::size_t>(kChunk, expect + expect / 2 + 16);
        unsigned char* data = buffer_.Reserve(room + kPad, 0);
        for (;;) {
            size += text.Read(data + size, room - size);
            Pump();
            if (size < room) break;
            if (room > kFastGrepMaxBytes) return false;
            room += room / 2;
            data = buffer_.Reserve(room + kPad, size);
        }
        if (size > 0) Whole(data, EndData(data, size));
        if (formBytes_ > 0) search_.Finish(formBytes_);
        return true;
    }
    // Whole lines at a time, as a Shift-JIS note is read.
    std::size_t have = 0, noLFBefore = 0;
    unsigned char* buf = buffer_.Reserve(2 * kChunk + kPad, 0);
    for (;;) {
        // (A line longer than a piece: as much again of it.)
        const std::size_t want = noLFBefore > 0 ? std::max(kChunk, have) : kChunk;
        buf = buffer_.Reserve(have + want + kPad, have);
        const std::size_t got = text.Read(buf + have, want);
        have += got;
        Pump();
        if (got < want) {
            if (have > 0 && !never) Piece(buf, EndData(buf, have));
            break;
        }
        const void* lf = memrchr(buf + noLFBefore, '\n', have - noLFBefore);
        if (!lf) {
            noLFBefore = have;
            continue;
        }
        const std::size_t cut =
            static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - buf) + 1;
        if (!never) Piece(buf, cut);
        std::memmove(buf, buf + cut, have - cut);
        have -= cut;
        noLFBefore = 0;
    }
    if (formBytes_ > 0) search_.Finish(formBytes_);
    return true;
}

void TUnicodeSearch::Piece(const unsigned char* d, std::size_t n) {
    d_ = d;
    n_ = n;
    hasCR_ = std::memchr(d, '\r', n) != nullptr;
    counted_ = 0;
    if (!chosen_) {
        // Chosen on the note's first piece; a small note takes what an earlier one chose.
        chosen_ = true;
        const bool small = n < 16384;
        if (small && memo_.unicodeChosen) {
            required_ = memo_.unicodeRequired;
        } else {
            const std::size_t sample = std::min<std::size_t>(n, 16384);
            // (Each set also by its bytes after the first one or two: UTF-8's kana and kanji
            // share their first byte.)
            required_ = ChooseSets(memo_.unicodeSets, d, sample, sample / 16, 2);
            if (small) {
                memo_.unicodeRequired = required_;
                memo_.unicodeChosen = true;
            }
        }
    }
    for (Required& r : required_)
        r.atValid = false;
    if (required_.empty()) {
        Whole(d, n);
        return;
    }
    // The lines that hold a string of every set, converted one after the other.
    search_.LookForNoRequiredSets();
    lines_.clear();
    whole_ = false;
    unsigned char* form = buffer_.ReserveForm(kChunk + kPad, 0);
    std::size_t formSize = 0;
    for (std::size_t pos = 0; pos < n;) {
        // The sets in turn, the cheapest first: where one's next string lies in a later line,
        // the lines before that one are passed over (and the sets after it not looked for).
        std::size_t next = pos;
        for (Required& r : required_) {
            if (!r.atValid || r.at < pos) {
                r.at = FindRequired(r, d, n, pos);
                r.atValid = true;
            }
            if (r.at >= n) {
                next = n;
                break;
            }
            next = LineStartBefore(r.at, pos);
            if (next > pos) break;
        }
        if (next > pos) {
            pos = next;
            continue;
        }
        const std::size_t end = LineEnd(pos);
        CountTo(d, pos);
        lines_.push_back({breaks_ + 1, pos, end});
        form = buffer_.ReserveForm(formSize + 2 * (end - pos) + 1 + kPad, formSize);
        formSize += cp932::ShiftJisFormInto(form + formSize, d + pos, end - pos);
        form[formSize++] = '\n';
        pos = end + (d[end] == '\r' && d[end + 1] == '\n' ? 2 : 1);
    }
    CountTo(d, n);
    if (formSize > 0) {
        form = buffer_.ReserveForm(formSize + kPad, formSize);
        search_.Scan(form, EndData(form, formSize), formBytes_);
        formBytes_ += formSize;
        formLines_ += static_cast<std::int32_t>(lines_.size());
    }
}

void TUnicodeSearch::Whole(const unsigned char* d, std::size_t n) {
    d_ = d;
    n_ = n;
    hasCR_ = std::memchr(d, '\r', n) != nullptr;
    whole_ = true;
    walkLine_ = breaks_ + 1;
    walkAt_ = 0;
    unsigned char* form = buffer_.ReserveForm(2 * n + kPad, 0);
    // (Line breaks are ASCII: the Shift-JIS text has the piece's lines and numbers.)
    const std::size_t formSize = EndData(form, cp932::ShiftJisFormInto(form, d, n));
    search_.Scan(form, formSize, formBytes_);
    formBytes_ += formSize;
    counted_ = 0;
    CountTo(d, n);
    formLines_ = breaks_;
}

void TUnicodeSearch::Hit(RE_LineInfo_t& info) {
    std::size_t start, end;
    if (whole_) {
        // The search reports lines in their order: walk on to the one it names.
        for (; walkLine_ < info.LineNo; ++walkLine_)
            walkAt_ = NextLine(walkAt_);
        start = walkAt_;
        end = LineEnd(start);
    } else {
        const TLine& line = lines_[static_cast<std::size_t>(info.LineNo - 1 - formLines_)];
        info.LineNo = line.no;
        start = line.start;
        end = line.end;
    }
    info.FromUnicode = true;
    info.Utf8.assign(reinterpret_cast<const char*>(d_) + start, end - start);
    report_(info);
}

} // namespace

bool FastGrepUnicode(const TRE_DFA& dfa, int fd, std::uint64_t expect, cp932::NoteKind kind,
                     std::string head, TFastBuffer& buffer, const bool& cancel,
                     const std::function<void()>& pump,
                     const std::function<void(RE_LineInfo_t&)>& report) {
    TUnicodeText text(fd, expect, kind, std::move(head));
    TUnicodeSearch search(dfa, buffer, cancel, pump, report);
    return search.Run(text, expect);
}

} // namespace fastgrep
} // namespace engine
