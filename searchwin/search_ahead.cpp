#include "search_ahead.h"

#include "codec.h"
#include "errors.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

using engine::EGrepCancel;
using engine::RE_LineInfo_t;
using engine::TGrep;

namespace {

// How far down the list the other thread may run: the hits it keeps wait in memory.
constexpr std::size_t kAheadFiles = 64;

} // namespace

TSearchAhead::TSearchAhead(const TGrep& pattern, std::vector<std::string> paths,
                           std::size_t maxLines, std::int64_t maxBytes, std::int64_t largeFile)
    : paths_(std::move(paths)), maxLines_(maxLines), maxBytes_(maxBytes), largeFile_(largeFile),
      owner_(new std::atomic<int>[paths_.size()]), done_(new std::atomic<bool>[paths_.size()]),
      results_(paths_.size()) {
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        owner_[i].store(kFree, std::memory_order_relaxed);
        done_[i].store(false, std::memory_order_relaxed);
    }
    // Set up here, on the window's thread, from the window's grep: the compiled pattern is
    // shared, not compiled again.
    auto grep = std::make_unique<TGrep>();
    grep->UseReference = pattern.UseReference;
    grep->ShareCurrentOf(pattern);
    thread_ = std::thread([this, g = std::move(grep)]() mutable { Run(std::move(g)); });
}

TSearchAhead::~TSearchAhead() {
    {
        std::lock_guard lock(m_);
        stop_.store(true);
    }
    changed_.notify_all();
    thread_.join();
}

bool TSearchAhead::TakeOwn(std::size_t i) {
    {
        std::lock_guard lock(m_);
        windowAt_.store(i);
    }
    changed_.notify_all();
    int expected = kFree;
    return owner_[i].compare_exchange_strong(expected, kWindow);
}

TSearchAhead::TFileHits* TSearchAhead::Wait(std::size_t i, const std::function<void()>& pump,
                                            const std::function<bool()>& stop) {
    for (;;) {
        {
            std::unique_lock lock(m_);
            if (changed_.wait_for(lock, std::chrono::milliseconds(4),
                                  [&] { return done_[i].load(std::memory_order_acquire); }))
                return &results_[i];
        }
        pump();
        if (stop()) return nullptr;
    }
}

void TSearchAhead::Run(std::unique_ptr<TGrep> grep) {
    TGrep& g = *grep;
    TFileHits* into = nullptr;
    std::int64_t bytes = 0;
    bool full = false;
    // The window's cancel reaches this grep through its own event pump, on this thread.
    g.ProcessMessages = [&] {
        if (stop_.load(std::memory_order_relaxed)) g.Cancel = true;
    };
    g.OnMatch = [&](TGrep& sender, RE_LineInfo_t info) {
        bytes += static_cast<std::int64_t>(info.Line.size()) + 6;
        into->hits.push_back(std::move(info));
        if (into->hits.size() > maxLines_ || bytes > maxBytes_) {
            full = true;
            sender.Cancel = true;
        }
    };
    // The window starts with the first file; this thread with the next.
    for (std::size_t k = 1; k < paths_.size(); ++k) {
        {
            std::unique_lock lock(m_);
            changed_.wait(lock, [&] { return stop_.load() || k < windowAt_.load() + kAheadFiles; });
        }
        if (stop_.load()) return;
        if (owner_[k].load() != kFree) continue;
        std::error_code ec;
        const auto size = std::filesystem::file_size(cp932::PathToNative(paths_[k]), ec);
        if (!ec && static_cast<std::int64_t>(size) >= largeFile_) continue;
        int expected = kFree;
        if (!owner_[k].compare_exchange_strong(expected, kAhead)) continue;
        into = &results_[k];
        bytes = 0;
        full = false;
        try {
            g.Grep(paths_[k]);
        } catch (const EGrepCancel&) {
            if (!full) {
                done_[k].store(true, std::memory_order_release);
                return; // stopped: the window no longer waits for anything
            }
        } catch (...) {
            into->error = std::current_exception();
        }
        {
            std::lock_guard lock(m_);
            done_[k].store(true, std::memory_order_release);
        }
        changed_.notify_all();
    }
}
