// quelvra-grep: the search window's search from the command line. Same keyword handling, same
// files in the same order, same hits, printed in the result pane's layout.
#include "codec.h"
#include "grep.h"
#include "listing.h"
#include "ordered_search.h"
#include "query.h"
#include "result_text.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using engine::RE_LineInfo_t;
using engine::TGrep;

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

// Prints each file's hits in the result pane's layout as the search hands them on, in the
// list's order, and counts them.
class Printer : public engine::THitSink {
  public:
    Printer(const Options& o, const Terminal& term, const std::vector<std::string>& files)
        : o_(o), term_(term), files_(files) {}
    ~Printer() override { Flush(); }

    void FileBegins(std::size_t i) override {
        file_ = i;
        headerDue_ = true;
    }
    void Hit(const RE_LineInfo_t& hit) override {
        if (headerDue_) {
            out_ += '\n';
            out_ += term_.Out(engine::HeaderText(files_[file_], {}, o_.subfolders));
            out_ += '\n';
            headerDue_ = false;
        }
        line_.clear();
        engine::AppendHitLine(line_, hit.Line, o_.star);
        out_ += term_.Out(line_);
        out_ += '\n';
        if (out_.size() >= 65536) Flush();
    }
    void FileEnds(std::size_t, std::size_t hits) override { hits_ += static_cast<long long>(hits); }

    void Flush() {
        Write(out_, stdout);
        out_.clear();
    }
    long long Hits() const { return hits_; }

  private:
    const Options& o_;
    const Terminal& term_;
    const std::vector<std::string>& files_;
    std::size_t file_ = 0;
    bool headerDue_ = false;
    std::string out_, line_;
    long long hits_ = 0;
};

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
        Write(term.Out(engine::SummaryLine({fields[0], fields[1], fields[2]}, hits)) + "\n",
              stderr);
    };

    const bool anyKeyword = !trimmed[0].empty() || !trimmed[1].empty() || !trimmed[2].empty();
    if (anyKeyword) {
        pattern = engine::ComposePattern(trimmed);
        try {
            // The flag first: the pattern is then compiled once, with it.
            grep.SetUseFuzzyCharDic(!o.exact);
            grep.SetRegExp(pattern);
        } catch (const std::exception&) {
            Write(term.Out(engine::BadPatternMessage()) + "\n", stderr);
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
        std::vector<std::string> paths;
        paths.reserve(files.size());
        for (const std::string& f : files)
            paths.push_back(listing::JoinPath(folder, f));
        // Files are searched side by side (up to four threads) and printed in the list's order.
        engine::TOrderedSearchOptions options;
        const std::size_t threads = std::min(std::thread::hardware_concurrency(), 4u);
        options.helpers = threads >= 2 ? threads - 1 : 0;
        options.lines = !o.count;
        grep.UseReference = reference;
        Printer printer(o, term, files);
        try {
            engine::TOrderedSearch(grep, std::move(paths), options).Run(printer);
        } catch (const engine::Exception& e) {
            printer.Flush();
            std::fflush(stdout);
            hits = printer.Hits();
            Write(term.Out(e.Message()) + "\n", stderr);
            if (o.count) Write(std::to_string(hits) + "\n", stdout);
            summary();
            return 2;
        } catch (const std::exception& e) {
            printer.Flush();
            Write(term.Own(std::string("quelvra-grep: ") + e.what() + "\n"), stderr);
            return 2;
        }
        printer.Flush();
        hits = printer.Hits();
    }
    if (o.count) Write(std::to_string(hits) + "\n", stdout);
    summary();
    return hits > 0 ? 0 : 1;
}
