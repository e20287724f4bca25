// quelvra-grep: the search window's search from the command line. Same keyword handling, same
// files in the same order, same hits, printed in the result pane's layout.
#include "codec.h"
#include "grep.h"
#include "listing.h"
#include "query.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: quelvra-grep [OPTIONS] KEYWORD [KEYWORD [KEYWORD]]\n"
    "Lists the lines of the data files that hold every keyword, in any order.\n"
    "\n"
    "  -d, --folder DIR   the data folder (default: the current folder)\n"
    "  -x, --ext EXT      the extension, without the dot (default: txt)\n"
    "  -r, --subfolders   include subfolders, as \"下\"; headers are then relative paths\n"
    "  -E, --exact        dictionary off, as \"同\" unchecked (it is on by default)\n"
    "  -s, --star         prefix each hit line with \"★\", as \"★\"\n"
    "  -c, --count        print only one line: the total number of hit lines\n"
    "      --sjis         write Shift-JIS bytes instead of the terminal's encoding\n"
    "      --pattern      print the pattern the search compiles (the keywords in any order,\n"
    "                     widened by the dictionary unless -E) instead of searching\n"
    "  -h, --help         usage\n"
    "\n"
    "Exit status: 0 when something matched, 1 when nothing did, 2 on an error.\n";

// Converts with iconv; nullopt when `strict` and a character cannot be converted, else such a
// character becomes "?".
std::optional<std::string> Iconv(const char* to, const char* from, const std::string& in,
                                 bool strict) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    char buf[4096];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            if (strict) {
                ok = false;
                break;
            }
            out += '?';
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

// The terminal's encoding, from the locale; a C/POSIX locale's ASCII counts as UTF-8.
class Terminal {
  public:
    explicit Terminal(bool sjisOutput) : sjis_(sjisOutput) {
        std::setlocale(LC_ALL, "");
        codeset_ = nl_langinfo(CODESET);
        if (codeset_ == "ANSI_X3.4-1968" || codeset_ == "ASCII" || codeset_ == "US-ASCII" ||
            codeset_.empty())
            codeset_ = "UTF-8";
        utf8_ = codeset_ == "UTF-8" || codeset_ == "utf8" || codeset_ == "UTF8";
    }

    // A keyword as typed, in code page 932; nullopt when it has no such form.
    std::optional<std::string> Keyword(const std::string& typed) const {
        if (utf8_) return cp932::TryFromUtf8(typed);
        return Iconv("CP932", codeset_.c_str(), typed, true);
    }
    // Shift-JIS text for output; invalid bytes become U+FFFD, never an abort.
    std::string Out(const std::string& sjis) const {
        if (sjis_) return sjis;
        const std::string utf8 = cp932::ToUtf8(sjis);
        if (utf8_) return utf8;
        return Iconv(codeset_.c_str(), "UTF-8", utf8, false).value_or(utf8);
    }
    // Our own texts (UTF-8 in the source).
    std::string Own(const std::string& utf8) const {
        if (sjis_) return cp932::FromUtf8Lossy(utf8);
        if (utf8_) return utf8;
        return Iconv(codeset_.c_str(), "UTF-8", utf8, false).value_or(utf8);
    }

  private:
    bool sjis_;
    std::string codeset_;
    bool utf8_ = true;
};

struct Options {
    std::string folder = ".";
    std::string ext = "txt";
    bool subfolders = false;
    bool exact = false;
    bool star = false;
    bool count = false;
    bool sjis = false;
    bool pattern = false;
    bool help = false;
    std::vector<std::string> keywords;
};

// Parses the command line; an error message (UTF-8) when it is wrong.
std::optional<std::string> ParseArgs(int argc, char** argv, Options& o) {
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const std::string& name, std::string& into) -> std::optional<std::string> {
            if (i + 1 >= argc) return "option " + name + " needs a value";
            into = argv[++i];
            return std::nullopt;
        };
        if (optionsEnd || a.size() < 2 || a[0] != '-') {
            o.keywords.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnd = true;
            continue;
        }
        if (a.rfind("--", 0) == 0) {
            std::string name = a, inlineValue;
            const auto eq = a.find('=');
            const bool hasValue = eq != std::string::npos;
            if (hasValue) {
                name = a.substr(0, eq);
                inlineValue = a.substr(eq + 1);
            }
            if (name == "--folder" || name == "--ext") {
                std::string& into = name == "--folder" ? o.folder : o.ext;
                if (hasValue)
                    into = inlineValue;
                else if (auto e = value(name, into))
                    return e;
                continue;
            }
            if (hasValue) return "option " + name + " takes no value";
            if (name == "--subfolders")
                o.subfolders = true;
            else if (name == "--exact")
                o.exact = true;
            else if (name == "--star")
                o.star = true;
            else if (name == "--count")
                o.count = true;
            else if (name == "--sjis")
                o.sjis = true;
            else if (name == "--pattern")
                o.pattern = true;
            else if (name == "--help")
                o.help = true;
            else
                return "unknown option " + name;
            continue;
        }
        // Short options, possibly grouped (-rs); -d and -x take the rest or the next argument.
        for (std::size_t k = 1; k < a.size(); ++k) {
            const char c = a[k];
            if (c == 'd' || c == 'x') {
                std::string& into = c == 'd' ? o.folder : o.ext;
                if (k + 1 < a.size())
                    into = a.substr(k + 1);
                else if (auto e = value(std::string("-") + c, into))
                    return e;
                break;
            }
            switch (c) {
            case 'r':
                o.subfolders = true;
                break;
            case 'E':
                o.exact = true;
                break;
            case 's':
                o.star = true;
                break;
            case 'c':
                o.count = true;
                break;
            case 'h':
                o.help = true;
                break;
            default:
                return std::string("unknown option -") + c;
            }
        }
    }
    if (o.help) return std::nullopt;
    if (o.keywords.empty()) return std::string("no keyword given");
    if (o.keywords.size() > 3) return std::string("at most three keywords");
    if (o.ext.empty()) return std::string("the extension is empty");
    return std::nullopt;
}

void Write(const std::string& s, std::FILE* f) {
    std::fwrite(s.data(), 1, s.size(), f);
}

// One file's search: its hit lines in the pane's layout, or why it failed.
struct FileResult {
    std::string out;
    long long hits = 0;
    bool failed = false;
    bool engineError = false; // the message is the engine's (Shift-JIS), not our own
    std::string message;
};

void SearchFile(TGrep& grep, const std::string& path, const std::string& header, const Options& o,
                const Terminal& term, FileResult& r) {
    static const std::string star = cp932::FromUtf8("★");
    bool headerDue = true;
    grep.OnMatch = [&](TGrep&, RE_LineInfo_t info) {
        ++r.hits;
        if (o.count) return;
        if (headerDue) {
            r.out += '\n';
            r.out += term.Out(header);
            r.out += '\n';
            headerDue = false;
        }
        std::string line = "    ";
        if (o.star) line += star;
        line += info.Line;
        r.out += term.Out(line);
        r.out += '\n';
    };
    try {
        grep.Grep(path);
    } catch (const engine::Exception& e) {
        r.failed = r.engineError = true;
        r.message = e.Message();
    } catch (const std::exception& e) {
        r.failed = true;
        r.message = e.what();
    }
    grep.OnMatch = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    const auto argError = ParseArgs(argc, argv, o);
    const Terminal term(o.sjis);
    if (o.help) {
        Write(term.Own(kUsage), stdout);
        return 0;
    }
    if (argError) {
        Write(term.Own("quelvra-grep: " + *argError + "\n" + kUsage), stderr);
        return 2;
    }

    // The keyword fields as the window reads them: untrimmed for the summary, trimmed for the
    // pattern.
    std::vector<std::string> fields(3), trimmed(3);
    for (std::size_t i = 0; i < o.keywords.size(); ++i) {
        const auto k = term.Keyword(o.keywords[i]);
        if (!k) {
            Write(term.Own("quelvra-grep: the keyword \"" + o.keywords[i] +
                           "\" has no form in code page 932\n"),
                  stderr);
            return 2;
        }
        fields[i] = engine::ClearFullWidthSpaces(*k);
        trimmed[i] = engine::TrimKeyword(fields[i]);
    }

    TGrep grep;
    // For benchmarks and checks: QUELVRA_GREP_REFERENCE=1 searches with the plain routines that
    // start an attempt at every character, the ones the fast search must agree with.
    const char* ref = std::getenv("QUELVRA_GREP_REFERENCE");
    const bool reference = ref && *ref && *ref != '0';
    const std::string folder = cp932::PathFromNative(o.folder);
    const std::string ext = cp932::PathFromNative(o.ext);
    long long hits = 0;
    std::string pattern;

    auto summary = [&] {
        auto s = [](const char* utf8) { return cp932::FromUtf8(utf8); };
        const std::string line = s("　　検索キーワード　　　") + fields[0] + s("　　") + fields[1] +
                                 s("　　") + fields[2] + s("　　　") + std::to_string(hits) +
                                 s("個マッチしました");
        Write(term.Out(line) + "\n", stderr);
    };

    const bool anyKeyword = !trimmed[0].empty() || !trimmed[1].empty() || !trimmed[2].empty();
    if (anyKeyword) {
        pattern = engine::ComposePattern(trimmed);
        try {
            // The flag first: the pattern is then compiled once, with it.
            grep.SetUseFuzzyCharDic(!o.exact);
            grep.SetRegExp(pattern);
        } catch (const std::exception&) {
            Write(term.Out(cp932::FromUtf8("検索語に正規表現に違反する入力があります")) + "\n",
                  stderr);
            return 2;
        }
        if (o.pattern) {
            Write(term.Out(grep.CompiledText()) + "\n", stdout);
            return 0;
        }
        std::error_code ec;
        if (!std::filesystem::is_directory(o.folder, ec)) {
            Write(term.Own("quelvra-grep: no such folder: " + o.folder + "\n"), stderr);
            return 2;
        }
        const std::vector<std::string> files = o.subfolders
                                                   ? listing::ListFilesInTree(folder, "." + ext)
                                                   : listing::ListFiles(folder, ext);
        const auto searchOne = [&](TGrep& g, std::size_t i, FileResult& r) {
            SearchFile(g, listing::JoinPath(folder, files[i]), files[i], o, term, r);
        };
        const std::size_t count = files.size();
        std::vector<FileResult> results(count);
        // Files are searched side by side, each worker with a grep of its own, and printed in
        // the list's order as they are done. The printing thread is one of the workers: it
        // searches a batch itself rather than wait, so that nothing sleeps while a file is left.
        std::size_t workers = std::min<std::size_t>(std::thread::hardware_concurrency(), 4);
        if (workers < 2 || count < 2) workers = 1;
        // Workers take a batch of files at a time, mark each file done without a lock and wake
        // the printing only at the end of a batch it waits for: a folder of many small notes
        // costs no lock or thread switch per file.
        // (Fewer at a time when the files are few, so that the last batches do not leave one
        // thread searching alone.)
        const std::size_t kBatch = std::clamp<std::size_t>(count / (workers * 8), 1, 32);
        constexpr std::size_t kAhead = 128;
        std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[count]);
        for (std::size_t i = 0; i < count; ++i)
            done[i].store(false, std::memory_order_relaxed);
        std::mutex m;
        std::condition_variable cvMain, cvWork;
        std::size_t next = 0, printed = 0, idle = 0;
        std::size_t waitingFor = count;
        bool stop = false;
        std::vector<std::thread> threads;
        grep.UseReference = reference;
        for (std::size_t w = 1; w < workers; ++w)
            threads.emplace_back([&] {
                TGrep g;
                g.UseReference = reference;
                // The pattern compiled above, shared, not compiled again by each worker.
                g.ShareCurrentOf(grep);
                for (;;) {
                    std::size_t first, end;
                    {
                        std::unique_lock lock(m);
                        // (Not too far ahead of the printing: the results wait in memory.)
                        ++idle;
                        cvWork.wait(
                            lock, [&] { return stop || next >= count || next < printed + kAhead; });
                        --idle;
                        if (stop || next >= count) return;
                        first = next;
                        end = std::min(count, first + kBatch);
                        next = end;
                    }
                    for (std::size_t i = first; i < end; ++i) {
                        searchOne(g, i, results[i]);
                        done[i].store(true, std::memory_order_release);
                    }
                    std::lock_guard lock(m);
                    if (waitingFor >= first && waitingFor < end) cvMain.notify_one();
                }
            });
        auto finish = [&] {
            {
                std::lock_guard lock(m);
                stop = true;
            }
            cvWork.notify_all();
            for (std::thread& t : threads)
                t.join();
        };
        for (std::size_t i = 0; i < count; ++i) {
            FileResult r;
            if (workers == 1) {
                searchOne(grep, i, r);
            } else {
                while (!done[i].load(std::memory_order_acquire)) {
                    std::unique_lock lock(m);
                    if (next < count) {
                        const std::size_t first = next, end = std::min(count, first + kBatch);
                        next = end;
                        lock.unlock();
                        for (std::size_t k = first; k < end; ++k) {
                            searchOne(grep, k, results[k]);
                            done[k].store(true, std::memory_order_release);
                        }
                        continue;
                    }
                    waitingFor = i;
                    cvMain.wait(lock, [&] { return done[i].load(std::memory_order_acquire); });
                    waitingFor = count;
                }
                r = std::move(results[i]);
                // Workers held back by the printing go on once a batch has been printed.
                if ((i + 1) % kBatch == 0 || i + 1 == count) {
                    std::unique_lock lock(m);
                    printed = i + 1;
                    const bool wake = idle > 0;
                    lock.unlock();
                    if (wake) cvWork.notify_all();
                }
            }
            hits += r.hits;
            Write(r.out, stdout);
            if (r.failed) {
                finish();
                if (r.engineError) {
                    std::fflush(stdout);
                    Write(term.Out(r.message) + "\n", stderr);
                    if (o.count) Write(std::to_string(hits) + "\n", stdout);
                    summary();
                } else {
                    Write(term.Own("quelvra-grep: " + r.message + "\n"), stderr);
                }
                return 2;
            }
        }
        finish();
    }
    if (o.count) Write(std::to_string(hits) + "\n", stdout);
    summary();
    return hits > 0 ? 0 : 1;
}
