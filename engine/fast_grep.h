// The fast search: the whole file in memory, candidate positions found with memmem or a table
// of possible first bytes, and each candidate tried with the same attempt the block reader
// would make there (same character alignment, same line-end and zero-byte rules, same lines
// reported). It reports exactly what TGrep's reference routines report.
#pragma once

#include "automaton.h"
#include "txtfile.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace engine {

struct TSearchMemo;

// The memory a search reads a file into, kept from file to file so that it is allocated once.
class TFastBuffer {
  public:
    // At least `bytes` bytes, the first `keep` of them kept.
    unsigned char* Reserve(std::size_t bytes, std::size_t keep);
    unsigned char* Data() { return data_.get(); }
    // A second such memory: a Unicode note's text in its Shift-JIS form.
    unsigned char* ReserveForm(std::size_t bytes, std::size_t keep);

    // The byte of a literal that the last search looked for (see the search), with the
    // literal: a small file takes it over instead of counting its own bytes.
    std::string rareFor;
    int rareAt = -2;
    // What the searches of one automaton learn and the next file of it reuses (the sets of
    // strings chosen to look for, the steps of the one-pass walk): a folder of many small
    // notes does not work them out again for each.
    std::shared_ptr<TSearchMemo> memo;

  private:
    std::unique_ptr<unsigned char[]> data_, form_;
    std::size_t capacity_ = 0, formCapacity_ = 0;
};

// Searches `fileName` with `dfa`, reading it in `encoding` (see TGrep::Encoding). Returns false,
// having reported nothing, when the file is too large to hold in memory (the caller then uses
// the block reader). Throws what the block reader throws: EFileNotFound, EInOutError,
// EGrepCancel (`cancel` is tested after every block read and before every reported line, right
// after `pump`).
bool FastGrep(const TRE_DFA& dfa, const std::string& fileName, cp932::EncodingChoice encoding,
              TFastBuffer& buffer, const bool& cancel, const std::function<void()>& pump,
              const std::function<void(RE_LineInfo_t&)>& report);

// The vector instructions the search may use, for tests of every path: 2 (AVX2, when the
// machine has it), 1 (SSE2), 0 (none).
extern std::atomic<int> gVectorLevelLimit;

// Files up to this size are searched in memory.
constexpr std::size_t kFastGrepMaxBytes = std::size_t(512) << 20;

} // namespace engine
