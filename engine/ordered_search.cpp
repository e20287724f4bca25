#include "ordered_search.h"

#include "codec.h"
#include "errors.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

namespace engine {
namespace {

// How far down the list files may be searched ahead of the caller: their hits wait in memory.
constexpr std::size_t kMaxAhead = 128;

std::uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(cp932::PathToNative(path), ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

} // namespace

TOrderedSearch::TOrderedSearch(TGrep& grep, std::vector<std::string> paths,
                               TOrderedSearchOptions options)
    : grep_(grep), paths_(std::move(paths)), n_(paths_.size()), options_(options),
      ahead_(std::clamp<std::size_t>(n_, 1, kMaxAhead)),
      // (Fewer at a time when the files are few, so that the last ones are shared too.)
      batch_(std::clamp<std::size_t>(n_ / ((options.helpers + 1) * 8), 1, 32)),
      done_(new std::atomic<bool>[n_]) {
    for (std::size_t i = 0; i < n_; ++i)
        done_[i].store(false, std::memory_order_relaxed);
    if (options_.helpers > 0 && n_ > 1) slots_.resize(ahead_);
}

TOrderedSearch::~TOrderedSearch() {
    Stop();
}

void TOrderedSearch::Run(THitSink& sink) {
    if (ran_) return;
    ran_ = true;
    caller_.grep = &grep_;
    caller_.sink = &sink;
    struct Restore {
        TGrep& grep;
        std::function<void(TGrep&, RE_LineInfo_t)> onMatch;
        ~Restore() { grep.OnMatch = std::move(onMatch); }
    } restore{grep_, std::move(grep_.OnMatch)};
    grep_.OnMatch = [this](TGrep&, RE_LineInfo_t info) { OnMatch(caller_, info); };
    struct Stopper {
        TOrderedSearch& s;
        ~Stopper() { s.Stop(); }
    } stopper{*this};

    // The caller starts with the first file, the helpers with the next ones. Their greps are
    // set up here, on the caller's thread: the compiled pattern is shared, not compiled again.
    next_.store(n_ > 0 ? 1 : 0);
    if (!slots_.empty())
        for (std::size_t h = 0; h < options_.helpers; ++h) {
            auto g = std::make_unique<TGrep>();
            g->UseReference = grep_.UseReference;
            g->Encoding = grep_.Encoding;
            g->ShareCurrentOf(grep_);
            TGrep& helperGrep = *g;
            helperGreps_.push_back(std::move(g));
            threads_.emplace_back([this, &helperGrep] { Helper(helperGrep); });
        }

    for (std::size_t i = 0; i < n_; ++i) {
        sink.FileBegins(i);
        std::size_t untaken = i;
        if (i == 0 || next_.compare_exchange_strong(untaken, i + 1))
            SearchHere(i, sink);
        else
            HandOn(i, sink);
        handed_.store(i + 1);
        if (sleepers_.load() > 0 && HasRoom()) WakeHelpers();
    }
}

// Takes the next files nobody has taken, a batch at most, as far as there are slots for them.
bool TOrderedSearch::Claim(std::size_t& first, std::size_t& end) {
    std::size_t from = next_.load();
    for (;;) {
        const std::size_t limit = std::min(n_, handed_.load() + ahead_);
        if (from >= limit) return false;
        const std::size_t to = std::min(limit, from + batch_);
        if (next_.compare_exchange_weak(from, to)) {
            first = from;
            end = to;
            return true;
        }
    }
}

// Whether a helper held back by the slots can take a whole batch (or the rest of the list).
bool TOrderedSearch::HasRoom() const {
    const std::size_t next = next_.load();
    if (next >= n_) return false;
    return next + std::min(batch_, n_ - next) <= handed_.load() + ahead_;
}

void TOrderedSearch::Helper(TGrep& grep) {
    TSearcher s;
    s.grep = &grep;
    // The run's end reaches this grep through its own event pump.
    grep.ProcessMessages = [this, &grep] {
        if (stop_.load(std::memory_order_relaxed)) grep.Cancel = true;
    };
    grep.OnMatch = [this, &s](TGrep&, RE_LineInfo_t info) { OnMatch(s, info); };
    for (;;) {
        std::size_t first, end;
        if (Claim(first, end)) {
            for (std::size_t k = first; k < end; ++k)
                if (!Keep(s, k)) return;
            continue;
        }
        // Nothing left, or as far ahead as the slots allow: wait for the caller to catch up.
        std::unique_lock lock(m_);
        ++sleepers_;
        helpersWake_.wait(lock, [this] { return stop_.load() || next_.load() >= n_ || HasRoom(); });
        --sleepers_;
        if (stop_.load() || next_.load() >= n_) return;
    }
}

bool TOrderedSearch::Keep(TSearcher& s, std::size_t k) {
    TSlot& slot = slots_[k % ahead_];
    slot.text.clear();
    slot.utf8.clear();
    slot.unicode = false;
    slot.hits.clear();
    slot.count = 0;
    slot.error = nullptr;
    slot.leftToCaller = options_.largeFile > 0 && FileSize(paths_[k]) >= options_.largeFile;
    if (!slot.leftToCaller) {
        s.into = &slot;
        s.count = 0;
        s.bytes = 0;
        s.full = false;
        bool stopped = false;
        try {
            s.grep->Grep(paths_[k]);
        } catch (const EGrepCancel&) {
            stopped = !s.full;
        } catch (...) {
            slot.error = std::current_exception();
        }
        s.into = nullptr;
        slot.count = s.count;
        if (stopped) return false;
        // (The grep was stopped by the cap, not cancelled.)
        if (s.full) s.grep->Cancel = false;
    }
    done_[k].store(true);
    if (waitingFor_.load() == k) {
        std::lock_guard lock(m_);
        callerWakes_.notify_one();
    }
    return true;
}

void TOrderedSearch::OnMatch(TSearcher& s, RE_LineInfo_t& info) {
    ++s.count;
    if (!options_.lines) return;
    if (!s.into) {
        s.sink->Hit(info);
        return;
    }
    TSlot& slot = *s.into;
    slot.text += info.Line;
    slot.unicode = info.FromUnicode;
    if (info.FromUnicode) slot.utf8 += info.Utf8;
    slot.hits.push_back({slot.text.size(), slot.utf8.size(), info.LineNo});
    s.bytes += static_cast<std::int64_t>(info.Line.size()) + 6;
    if (slot.hits.size() > options_.maxLines || s.bytes > options_.maxBytes) {
        s.full = true;
        s.grep->Cancel = true;
    }
}

void TOrderedSearch::SearchHere(std::size_t i, THitSink& sink) {
    caller_.into = nullptr;
    caller_.count = 0;
    try {
        grep_.Grep(paths_[i]);
    } catch (const EGrepCancel&) {
        throw;
    } catch (...) {
        sink.FileEnds(i, caller_.count);
        throw;
    }
    // (The sink may have cancelled at the file's last hit, which the grep no longer tests.)
    if (grep_.Cancel) throw EGrepCancel();
    sink.FileEnds(i, caller_.count);
}

void TOrderedSearch::HandOn(std::size_t i, THitSink& sink) {
    // As the grep does for a file: events now and then (and before the first hit), the cancel
    // flag tested after each, the hits one by one, the file's failure after its hits.
    grep_.Cancel = false;
    Pump();
    if (grep_.Cancel) throw EGrepCancel();
    while (!done_[i].load()) {
        // Another thread has the file: rather than wait, search files further on meanwhile.
        std::size_t first, end;
        if (Claim(first, end)) {
            for (std::size_t k = first; k < end; ++k)
                if (!Keep(caller_, k)) throw EGrepCancel();
            continue;
        }
        WaitFor(i);
    }
    TSlot& slot = slots_[i % ahead_];
    if (slot.leftToCaller) {
        SearchHere(i, sink);
        return;
    }
    ++searchedAhead_;
    std::size_t start = 0, utf8Start = 0, k = 0;
    handing_.FromUnicode = slot.unicode;
    handing_.Utf8.clear();
    for (const TKept& hit : slot.hits) {
        if (++k % 256 == 0) {
            Pump();
            if (grep_.Cancel) throw EGrepCancel();
        }
        handing_.Line.assign(slot.text, start, hit.end - start);
        if (slot.unicode) handing_.Utf8.assign(slot.utf8, utf8Start, hit.utf8End - utf8Start);
        handing_.LineNo = hit.lineNo;
        start = hit.end;
        utf8Start = hit.utf8End;
        sink.Hit(handing_);
        if (grep_.Cancel) throw EGrepCancel();
    }
    sink.FileEnds(i, slot.count);
    if (slot.error) std::rethrow_exception(slot.error);
}

void TOrderedSearch::WaitFor(std::size_t i) {
    waitingFor_.store(i);
    struct Clear {
        std::atomic<std::size_t>& w;
        ~Clear() { w.store(kNobody); }
    } clear{waitingFor_};
    const auto done = [this, i] { return done_[i].load(); };
    if (!grep_.ProcessMessages) {
        std::unique_lock lock(m_);
        callerWakes_.wait(lock, done);
        return;
    }
    // The host's events every few milliseconds meanwhile.
    for (;;) {
        {
            std::unique_lock lock(m_);
            if (callerWakes_.wait_for(lock, std::chrono::milliseconds(4), done)) return;
        }
        Pump();
        if (grep_.Cancel) throw EGrepCancel();
    }
}

void TOrderedSearch::Pump() {
    if (grep_.ProcessMessages) grep_.ProcessMessages();
}

void TOrderedSearch::WakeHelpers() {
    std::lock_guard lock(m_);
    helpersWake_.notify_all();
}

void TOrderedSearch::Stop() {
    {
        std::lock_guard lock(m_);
        stop_.store(true);
    }
    helpersWake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
    threads_.clear();
}

} // namespace engine
