// A search of a list of files, in the list's order, on more than one core: the calling thread
// goes through the list while helper threads search files further down, each with a grep of its
// own that shares the caller's compiled pattern. Every file's hits reach the caller's sink in
// list order, whichever thread found them, so a front end (the window, quelvra-grep) sees what
// a search file after file gives: the same hits, the same failure at the same place.
//
// Per file, the caller costs a few atomic operations and no lock, no allocation and no thread
// switch (it waits only when the file it has come to is still being searched); hits found ahead
// wait in one reused buffer per slot of the files ahead.
#pragma once

#include "grep.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engine {

// Where the hits of an ordered search go. Every call comes on the thread that runs the search,
// in the list's order.
class THitSink {
  public:
    virtual ~THitSink() = default;
    // File `file` of the list is next; its hits follow.
    virtual void FileBegins(std::size_t file) = 0;
    // One hit of that file, in file order (the line's bytes hold during the call only). Not
    // called when only counts are wanted.
    virtual void Hit(const RE_LineInfo_t& hit) = 0;
    // That file is done, with `hits` hit lines; also when it failed (its failure then leaves
    // the search right after), not when the search is cancelled.
    virtual void FileEnds(std::size_t file, std::size_t hits) {
        (void)file;
        (void)hits;
    }
};

struct TOrderedSearchOptions {
    // Threads that search ahead besides the caller (0: the caller searches every file).
    std::size_t helpers = 1;
    // Whether the hit lines are handed on, or only their number (FileEnds).
    bool lines = true;
    // A file searched ahead keeps at most this many hits, and hit lines of at most this many
    // bytes (each line counted with 6 more); the hit past either is kept, the rest not searched
    // (the window's pane takes no more).
    std::size_t maxLines = std::numeric_limits<std::size_t>::max();
    std::int64_t maxBytes = std::numeric_limits<std::int64_t>::max();
    // Files of this many bytes or more are never searched ahead: the caller searches them when
    // it comes to them, its hits handed on as they are found (0: no such files).
    std::uint64_t largeFile = 0;
};

class TOrderedSearch {
  public:
    // `grep` is the caller's, its pattern set: its ProcessMessages (may be empty) runs the
    // host's events, now and then while the caller searches, waits or hands hits on, and its
    // Cancel, set from there or from the sink, stops the search. `paths` are the files in order
    // (Shift-JIS, "/" separators).
    TOrderedSearch(TGrep& grep, std::vector<std::string> paths, TOrderedSearchOptions options = {});
    ~TOrderedSearch();
    TOrderedSearch(const TOrderedSearch&) = delete;
    TOrderedSearch& operator=(const TOrderedSearch&) = delete;

    // Searches every file, once. EGrepCancel when cancelled; a file's failure (EFileNotFound,
    // read errors) after the hits of the files before it. The helpers have stopped when it
    // returns, however.
    void Run(THitSink& sink);

    // How many files' hits were handed on from a search ahead.
    std::size_t SearchedAhead() const { return searchedAhead_; }

  private:
    // A file searched ahead, kept until the caller comes to it: its hit lines one after the
    // other and where each ends (for a UTF-8 or UTF-16 note also as the note spells them), or
    // only their number.
    struct TKept {
        std::size_t end, utf8End;
        std::int32_t lineNo;
    };
    struct TSlot {
        std::string text, utf8;
        bool unicode = false;
        std::vector<TKept> hits;
        std::size_t count = 0;
        std::exception_ptr error;
        bool leftToCaller = false; // a large file, searched when the caller comes to it
    };
    // What a thread's grep does with a hit: hand it on (the caller's own file) or keep it.
    struct TSearcher {
        TGrep* grep = nullptr;
        TSlot* into = nullptr; // null: hand on to the sink
        THitSink* sink = nullptr;
        std::size_t count = 0;
        std::int64_t bytes = 0;
        bool full = false;
    };

    bool Claim(std::size_t& first, std::size_t& end);
    bool HasRoom() const;
    void Helper(TGrep& grep);
    // Searches file `k` into its slot; false when the search was stopped.
    bool Keep(TSearcher& s, std::size_t k);
    void OnMatch(TSearcher& s, RE_LineInfo_t& info);
    void SearchHere(std::size_t i, THitSink& sink);
    void HandOn(std::size_t i, THitSink& sink);
    void WaitFor(std::size_t i);
    void Pump();
    void WakeHelpers();
    void Stop();

    static constexpr std::size_t kNobody = static_cast<std::size_t>(-1);

    TGrep& grep_;
    const std::vector<std::string> paths_;
    const std::size_t n_;
    const TOrderedSearchOptions options_;
    const std::size_t ahead_; // slots: how far ahead of the caller files may be searched
    const std::size_t batch_; // files a thread takes at a time
    std::vector<TSlot> slots_;
    std::unique_ptr<std::atomic<bool>[]> done_;
    std::atomic<std::size_t> next_{0};             // the first file nobody has taken
    std::atomic<std::size_t> handed_{0};           // files the caller is done with
    std::atomic<std::size_t> waitingFor_{kNobody}; // the file the caller sleeps for
    std::atomic<int> sleepers_{0};
    std::atomic<bool> stop_{false};
    std::mutex m_;
    std::condition_variable callerWakes_, helpersWake_;
    std::vector<std::unique_ptr<TGrep>> helperGreps_;
    std::vector<std::thread> threads_;
    TSearcher caller_;
    RE_LineInfo_t handing_;
    std::size_t searchedAhead_ = 0;
    bool ran_ = false;
};

} // namespace engine
