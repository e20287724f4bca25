// Searching ahead of the window: while the window goes through a run's files in order, writing
// the hits into the pane as they come, a second thread takes files further down the list and
// searches them with a grep of its own (sharing the window's compiled pattern), keeping their
// hits until the window reaches them and hands them on in the same order. A folder of notes is
// then searched on two cores; the window's hits, messages and order are those of a search file
// after file. Standard library and engine only: the window pumps its events while it waits.
#pragma once

#include "grep.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TSearchAhead {
  public:
    // A file's hits as the other thread found them, and what stopped it early (a file that
    // could not be read), which the window raises when it comes to the file.
    struct TFileHits {
        std::vector<engine::RE_LineInfo_t> hits;
        std::exception_ptr error;
    };

    // `pattern` is the window's grep, set up for the run; `paths` the files in order. A file
    // with more than `maxLines` hits or `maxBytes` of them is kept only that far (the pane
    // takes no more). Files of `largeFile` bytes or more are left to the window, which shows
    // their hits as they are found.
    TSearchAhead(const engine::TGrep& pattern, std::vector<std::string> paths, std::size_t maxLines,
                 std::int64_t maxBytes, std::int64_t largeFile = 8 * 1024 * 1024);
    // Stops the other thread and waits for it.
    ~TSearchAhead();
    TSearchAhead(const TSearchAhead&) = delete;
    TSearchAhead& operator=(const TSearchAhead&) = delete;

    // The window is at file `i`: true when it is to search the file itself (the other thread
    // has not taken it), false when the file's hits are to be taken with Wait.
    bool TakeOwn(std::size_t i);
    // File `i`'s hits once the other thread has them, `pump` called every few milliseconds
    // while waiting; `stop` is asked after each pump (a cancel) and ends the wait with nullptr.
    TFileHits* Wait(std::size_t i, const std::function<void()>& pump,
                    const std::function<bool()>& stop);

  private:
    void Run(std::unique_ptr<engine::TGrep> grep);

    enum Owner : int { kFree = 0, kWindow = 1, kAhead = 2 };
    const std::vector<std::string> paths_;
    const std::size_t maxLines_;
    const std::int64_t maxBytes_;
    const std::int64_t largeFile_;
    std::unique_ptr<std::atomic<int>[]> owner_;
    std::unique_ptr<std::atomic<bool>[]> done_;
    std::vector<TFileHits> results_;
    std::atomic<std::size_t> windowAt_{0};
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::condition_variable changed_;
    std::thread thread_;
};
