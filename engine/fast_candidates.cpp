// The fast search's candidate loop: over a piece of the file, the next place where an attempt
// can start (a literal's bytes, or a byte that can start the automaton), lines that lack a
// required string passed over, each candidate tried as the block reader would try it there,
// and the lines reported with their numbers.
#include "fast_search.h"

#include <cstring>

namespace engine {
namespace fastgrep {

// Whether the line cursor, walking characters from the start of the data, stops at `p`.
// A byte that cannot lead ends a character, so only the run of possible lead bytes right
// before `p` decides: `p` starts a character when that run has even length.
bool Search::IsBoundary(std::size_t p) {
    bool result;
    if (p == memoPos_) return memoStart_;
    if (d_[p] == '\n' || d_[p] == '\r') {
        // A line break is never the second byte of a character.
        result = true;
    } else {
        std::size_t i = p;
        for (;;) {
            if (i == memoPos_) {
                result = memoStart_ == ((p - i) % 2 == 0);
                break;
            }
            if (i == 0 || !cp932::IsLeadByte(d_[i - 1])) {
                result = (p - i) % 2 == 0;
                break;
            }
            --i;
        }
    }
    memoPos_ = p;
    memoStart_ = result;
    return result;
}

bool Search::Attempt(TCharCode code, std::size_t q) const {
    const TRE_DFAState* state = Next(dfa_.InitialState, code);
    while (state) {
        if (state->Accepting) return true;
        if (q >= n_) return false;
        const unsigned char b = d_[q];
        TCharCode c;
        if (b == '\r') {
            c = '\n';
            q += d_[q + 1] == '\n' ? 2 : 1;
        } else if (cp932::IsLeadByte(b) && d_[q + 1] != '\n' && d_[q + 1] != '\r') {
            c = static_cast<TCharCode>(b << 8 | d_[q + 1]);
            q += 2;
        } else {
            c = b;
            ++q;
        }
        state = Next(state, c);
    }
    return false;
}

std::size_t Search::Report(std::size_t e) {
    if (pump_) pump_();
    if (cancel_) throw EGrepCancel();
    // Count the breaks up to the line cursor.
    if (!hasCR_) {
        const std::int32_t more = static_cast<std::int32_t>(CountLineFeeds(d_ + counted_, d_ + e));
        if (more > 0) {
            breaks_ += more;
            const void* lf = memrchr(d_ + counted_, '\n', e - counted_);
            lastLineStart_ =
                static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) + 1;
        }
    } else {
        for (std::size_t i = counted_; i < e; ++i)
            if (IsBreak(i)) {
                ++breaks_;
                lastLineStart_ = i + 1;
            }
    }
    counted_ = e;
    // The line ends at the first break at or after the cursor.
    std::size_t end;
    if (!hasCR_) {
        const void* lf = std::memchr(d_ + e, '\n', n_ - e);
        end = lf ? static_cast<std::size_t>(static_cast<const unsigned char*>(lf) - d_) : n_;
    } else {
        end = e;
        while (end < n_ && !IsBreak(end))
            ++end;
    }
    std::size_t textEnd = end;
    while (textEnd > lastLineStart_ && (d_[textEnd - 1] == '\r' || d_[textEnd - 1] == '\n'))
        --textEnd;
    RE_LineInfo_t info;
    info.Line.assign(reinterpret_cast<const char*>(d_) + lastLineStart_, textEnd - lastLineStart_);
    info.LineNo = breaks_ + 1;
    report_(info);
    return end;
}

std::size_t Search::NextCandidate(std::size_t from) const {
    if (from >= n_) return n_;
    if (useLiteral_) {
        const std::size_t len = literal_.size();
        if (twoPairs_) {
            // Its first two bytes and its last two together, 32 or 16 positions at a time:
            // hardly anything else has both, however common each byte is.
            const unsigned char* key = twoPairsKey_;
            const std::size_t gap = len - 2;
            for (std::size_t i = from; i < n_; ++i) {
                i = FindTwoPairs(d_, i, n_, key, gap);
                if (i >= n_) break;
                if (i + len <= n_ && std::memcmp(d_ + i, literal_.data(), len) == 0) return i;
            }
            return n_;
        }
        if (rareAt_ == -1 && !rarePair_.pairs.empty()) {
            // The literal's rarest pair of bytes, 32 or 16 positions at a time, then the whole.
            const std::size_t k = rarePairAt_;
            for (std::size_t r = from + k; r < n_;) {
                std::size_t i = FindStartVector(rarePair_, d_, r, n_);
                const unsigned char a = rarePair_.pairs[0][0], b = rarePair_.pairs[0][1];
                while (i < n_ && !(d_[i] == a && d_[i + 1] == b))
                    ++i;
                if (i >= n_) return n_;
                const std::size_t p = i - k;
                if (p + len <= n_ && std::memcmp(d_ + p, literal_.data(), len) == 0) return p;
                r = i + 1;
            }
            return n_;
        }
        if (rareAt_ < 0) {
            const void* hit = memmem(d_ + from, n_ - from, literal_.data(), len);
            return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_) : n_;
        }
        // The rare byte first, then the whole literal around it.
        const std::size_t k = static_cast<std::size_t>(rareAt_);
        const unsigned char rare = static_cast<unsigned char>(literal_[k]);
        for (std::size_t r = from + k; r < n_; ++r) {
            const void* hit = std::memchr(d_ + r, rare, n_ - r);
            if (!hit) return n_;
            r = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_);
            const std::size_t p = r - k;
            if (p + len <= n_ && std::memcmp(d_ + p, literal_.data(), len) == 0) return p;
        }
        return n_;
    }
    if (firstCount_ == 0) return n_;
    if (firstCount_ == 1) {
        const void* hit = std::memchr(d_ + from, firstByte_, n_ - from);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d_) : n_;
    }
    std::size_t i = from;
    if (starts_->usable && VectorLevel() > 0) {
        // The few ways a start can be spelled, compared 16 or 32 bytes at a time; the block
        // last compared serves the calls that follow within it.
        if (from >= maskAt_ && from - maskAt_ < 32) {
            const std::uint32_t m = mask_ & (~std::uint32_t(0) << (from - maskAt_));
            if (m) return maskAt_ + static_cast<std::size_t>(__builtin_ctz(m));
            i = maskAt_ + (VectorLevel() >= 2 ? 32 : 16);
            if (i < from) i = from;
        }
        std::uint32_t m = 0;
        i = FindStartMask(*starts_, d_, i, n_, m);
        if (m) {
            maskAt_ = i;
            mask_ = m;
            return i + static_cast<std::size_t>(__builtin_ctz(m));
        }
    }
    const std::uint64_t* bits = pairStarts_;
    for (; i < n_; ++i) {
        const unsigned key = static_cast<unsigned>(d_[i]) << 8 | d_[i + 1];
        if (bits[key >> 6] >> (key & 63) & 1) return i;
    }
    return n_;
}

void Search::Scan(const unsigned char* data, std::size_t size, std::size_t base) {
    d_ = data;
    n_ = size;
    base_ = base;
    maskAt_ = static_cast<std::size_t>(-1);
    hasCR_ = std::memchr(d_, '\r', n_) != nullptr;
    // (The literal's byte chosen once, on the first data of the file.)
    if (useLiteral_ && rareAt_ == -2) ChooseRareByte();
    // The sets to look for are chosen on the first data, and again on a later piece when the
    // ones chosen passed over less than half of the last piece: text changes along a file (a
    // word list sorted by kind of word), and a set absent from the first data may be common
    // further on.
    // Each choice that did not help waits twice as long for the next.
    if (!requiredChosen_ ||
        (!required_.empty() && piecesToWait_ == 0 && passedOver_ * 2 < lastPiece_)) {
        const bool again = requiredChosen_;
        ChooseRequired();
        requiredChosen_ = true;
        if (again) {
            rechooseAfter_ *= 2;
            piecesToWait_ = rechooseAfter_;
        }
    } else if (piecesToWait_ > 0) {
        --piecesToWait_;
    }
    if (lastPiece_ > 0 && passedOver_ * 2 >= lastPiece_) rechooseAfter_ = 1;
    passedOver_ = 0;
    lastPiece_ = n_;
    lineEndValid_ = false;
    for (Required& r : required_)
        r.atValid = false;
    // A piece starts after a LF, a byte that ends a character.
    memoPos_ = static_cast<std::size_t>(-1);
    exactUntil_ = 0;
    counted_ = 0;
    lastLineStart_ = 0;

    // The line feed before the piece starts its first attempt: the one put before the data, or
    // the one that ended the last piece (which no attempt there started from).
    std::size_t pos = 0;
    if (Attempt('\n', 0)) {
        pos = Report(0);
        memoPos_ = pos;
        memoStart_ = true;
    }
    for (;;) {
        if (!required_.empty()) {
            // Whole lines without the required code are passed over.
            bool skipped = false;
            for (std::size_t end; pos < n_;) {
                const unsigned char b = d_[pos];
                if (b == '\n' || b == '\r') {
                    // The line break starts an attempt of the next line.
                    const unsigned key = static_cast<unsigned>(b) << 8 | d_[pos + 1];
                    if (pairStarts_[key >> 6] >> (key & 63) & 1) break;
                    pos += b == '\r' && d_[pos + 1] == '\n' ? 2 : 1;
                } else if (LineCannotMatch(pos, end)) {
                    passedOver_ += end - pos;
                    pos = end;
                } else {
                    break;
                }
                skipped = true;
            }
            if (skipped) Resume(pos);
        }
        const std::size_t p = NextCandidate(pos);
        if (p >= n_) break;
        std::size_t lineEnd;
        if (!required_.empty() && LineCannotMatch(p, lineEnd)) {
            passedOver_ += lineEnd - p;
            pos = Resume(lineEnd); // a line break that is no second byte starts a character
            continue;
        }
        Tick(p);
        pos = p + 1;
        // The start character as the line cursor reads it: it turns a lone CR into a LF and
        // steps over the CR of a CR LF, a trail byte included.
        const unsigned char b = d_[p];
        TCharCode code;
        std::size_t e;
        if (b == '\n' || b == '\r') {
            code = '\n';
            e = p + 1;
        } else if (cp932::IsLeadByte(b) && d_[p + 1] != '\n' && d_[p + 1] != '\r') {
            code = static_cast<TCharCode>(b << 8 | d_[p + 1]);
            e = p + 2;
        } else {
            code = b;
            e = p + 1;
        }
        // Most candidates fail on their first character, whatever their alignment.
        if (!useLiteral_ && !(*firstCodes_)[code]) continue;
        if (!IsStart(p)) continue;
        // The reader ends the file when its line cursor steps past the last byte, before an
        // attempt could start from the character that ends there.
        if (e >= n_) break;
        if (!useLiteral_ && p >= exactUntil_) {
            pos = Walk(p);
            continue;
        }
        if (!Attempt(code, e)) continue;
        pos = Report(e);
        // The line cursor rests on the line's end, which starts the next attempt whatever
        // came before it.
        memoPos_ = pos;
        memoStart_ = true;
    }
    // The host's events due for the blocks of this piece, also when it held no candidate (a
    // long search of a large file stays cancellable while it runs).
    if (n_ > 0) Tick(n_ - 1);
    // The breaks after the last reported line, for the next piece's line numbers.
    if (!hasCR_) {
        breaks_ += static_cast<std::int32_t>(CountLineFeeds(d_ + counted_, d_ + n_));
    } else {
        for (std::size_t i = counted_; i < n_; ++i)
            if (IsBreak(i)) ++breaks_;
    }
}

} // namespace fastgrep
} // namespace engine
