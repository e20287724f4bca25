// quelvra-grep: the search window's search from the command line. Same keyword handling, same
// files in the same order, same hits, printed in the result pane's layout.
#include "codec.h"
#include "grep.h"
#include "keyword_spans.h"
#include "listing.h"
#include "note_encoding.h"
#include "ordered_search.h"
#include "query.h"
#include "result_text.h"

#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

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
    "Usage: quelvra-grep [OPTIONS] KEYWORD [KEYWORD [KEYWORD]] [-- FOLDER...]\n"
    "Lists the lines of the data files that hold every keyword, in any order.\n"
    "\n"
    "  -d, --folder DIR   the data folder (default: the current folder)\n"
    "  -x, --ext EXT      the extension, without the dot (default: txt)\n"
    "  -r, --subfolders   include subfolders, as \"下\"; headers are then relative paths\n"
    "  -E, --exact        dictionary off, as \"同\" unchecked (it is on by default)\n"
    "  -s, --star         prefix each hit line with \"★\", as \"★\"\n"
    "  -n, --line-number  prefix each hit line with its line number in its note and \":\"\n"
    "  -c, --count        print only one line: the total number of hit lines\n"
    "  -l, --files-with-matches\n"
    "                     print only the names of the notes with hits, one a line\n"
    "  -L, --files-without-match\n"
    "                     print only the names of the notes without hits\n"
    "      --json         print one JSON object a line: one for each hit (file, line number,\n"
    "                     the line's text in UTF-8, each keyword match's start and end in\n"
    "                     bytes of that text), then one with the totals\n"
    "      --color[=WHEN] colour the headers and the keywords' matches: auto (the default:\n"
    "                     only on a terminal, and not when NO_COLOR is set), always, never\n"
    "      --sjis         write Shift-JIS bytes instead of the terminal's encoding\n"
    "      --encoding=ENC how the notes are read: auto (the default: each note by its\n"
    "                     byte-order mark, else as UTF-8 when it begins as well-formed\n"
    "                     UTF-8, else as Shift-JIS), sjis, utf8 or utf16\n"
    "      --pattern      print the pattern the search compiles (the keywords in any order,\n"
    "                     widened by the dictionary unless -E) instead of searching\n"
    "  -h, --help         usage\n"
    "      --version      the program's version\n"
    "\n"
    "Folders after \"--\" are searched in turn (after -d's, when given), each header then\n"
    "naming its folder; a keyword that begins with \"-\" goes after a first \"--\", the folders\n"
    "after a second one. -c, -l, -L and --json exclude one another. The summary line goes to\n"
    "the error output (with --json, the totals object instead).\n"
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
    // UTF-8 text (a UTF-8 or UTF-16 note's line, as shown) for output.
    std::string OutUtf8(const std::string& utf8) const {
        if (sjis_) return cp932::FromUtf8Lossy(utf8);
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
    bool folderGiven = false;
    std::vector<std::string> folders; // after "--"
    std::string ext = "txt";
    bool subfolders = false;
    bool exact = false;
    bool star = false;
    bool lineNumbers = false;
    bool count = false;
    char list = 0; // 'l': notes with hits, 'L': without
    bool json = false;
    enum class Color { Auto, Always, Never } color = Color::Auto;
    bool sjis = false;
    cp932::EncodingChoice encoding = cp932::EncodingChoice::Auto;
    bool pattern = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> keywords;
};

// Parses the command line; an error message (UTF-8) when it is wrong.
std::optional<std::string> ParseArgs(int argc, char** argv, Options& o) {
    // After a "--": keywords when none came before it, else folders; after a second, folders.
    bool keywordsOnly = false, foldersOnly = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const std::string& name, std::string& into) -> std::optional<std::string> {
            if (i + 1 >= argc) return "option " + name + " needs a value";
            into = argv[++i];
            return std::nullopt;
        };
        if (foldersOnly) {
            o.folders.push_back(a);
            continue;
        }
        if (a == "--") {
            if (keywordsOnly || !o.keywords.empty())
                foldersOnly = true;
            else
                keywordsOnly = true;
            continue;
        }
        if (keywordsOnly || a.size() < 2 || a[0] != '-') {
            o.keywords.push_back(a);
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
                if (name == "--folder") o.folderGiven = true;
                if (hasValue)
                    into = inlineValue;
                else if (auto e = value(name, into))
                    return e;
                continue;
            }
            if (name == "--encoding") {
                std::string choice = inlineValue;
                if (!hasValue)
                    if (auto e = value(name, choice)) return e;
                static const std::pair<const char*, cp932::EncodingChoice> kinds[] = {
                    {"auto", cp932::EncodingChoice::Auto},
                    {"sjis", cp932::EncodingChoice::ShiftJis},
                    {"utf8", cp932::EncodingChoice::Utf8},
                    {"utf16", cp932::EncodingChoice::Utf16}};
                const auto kind = std::find_if(std::begin(kinds), std::end(kinds),
                                               [&](const auto& k) { return choice == k.first; });
                if (kind == std::end(kinds))
                    return "option --encoding takes auto, sjis, utf8 or utf16";
                o.encoding = kind->second;
                continue;
            }
            if (name == "--color" || name == "--colour") {
                if (!hasValue || inlineValue == "auto")
                    o.color = Options::Color::Auto;
                else if (inlineValue == "always")
                    o.color = Options::Color::Always;
                else if (inlineValue == "never")
                    o.color = Options::Color::Never;
                else
                    return "option --color takes auto, always or never";
                continue;
            }
            if (hasValue) return "option " + name + " takes no value";
            if (name == "--subfolders")
                o.subfolders = true;
            else if (name == "--exact")
                o.exact = true;
            else if (name == "--star")
                o.star = true;
            else if (name == "--line-number")
                o.lineNumbers = true;
            else if (name == "--count")
                o.count = true;
            else if (name == "--files-with-matches")
                o.list = 'l';
            else if (name == "--files-without-match")
                o.list = 'L';
            else if (name == "--json")
                o.json = true;
            else if (name == "--sjis")
                o.sjis = true;
            else if (name == "--pattern")
                o.pattern = true;
            else if (name == "--help")
                o.help = true;
            else if (name == "--version")
                o.version = true;
            else
                return "unknown option " + name;
            continue;
        }
        // Short options, possibly grouped (-rs); -d and -x take the rest or the next argument.
        for (std::size_t k = 1; k < a.size(); ++k) {
            const char c = a[k];
            if (c == 'd' || c == 'x') {
                std::string& into = c == 'd' ? o.folder : o.ext;
                if (c == 'd') o.folderGiven = true;
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
            case 'n':
                o.lineNumbers = true;
                break;
            case 'c':
                o.count = true;
                break;
            case 'l':
            case 'L':
                o.list = c;
                break;
            case 'h':
                o.help = true;
                break;
            default:
                return std::string("unknown option -") + c;
            }
        }
    }
    if (o.help || o.version) return std::nullopt;
    if (o.keywords.empty()) return std::string("no keyword given");
    if (o.keywords.size() > 3) return std::string("at most three keywords");
    if (o.ext.empty()) return std::string("the extension is empty");
    if (int(o.count) + int(o.list != 0) + int(o.json) > 1)
        return std::string("options -c, -l, -L and --json exclude one another");
    return std::nullopt;
}

void Write(const std::string& s, std::FILE* f) {
    std::fwrite(s.data(), 1, s.size(), f);
}

// A JSON string of UTF-8 text.
std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// Headers red and bold, as the pane shows them; the keywords' matches in bold magenta.
const char* const kHeaderColor = "\x1b[1;31m";
const char* const kMatchColor = "\x1b[1;35m";
const char* const kColorEnd = "\x1b[0m";

// Prints what the search hands on, in the list's order: hit lines in the result pane's layout
// under their notes' headers (coloured or not), the names of the notes with or without hits,
// or JSON objects; and counts.
class Printer : public engine::THitSink {
  public:
    // `headers`: each file's header; `spans`: where the keywords match (for colour and JSON).
    Printer(const Options& o, const Terminal& term, const std::vector<std::string>& headers,
            const engine::TKeywordSpans* spans, bool color)
        : o_(o), term_(term), headers_(headers), spans_(spans), color_(color) {}
    ~Printer() override { Flush(); }

    void FileBegins(std::size_t i) override {
        ListDone();
        file_ = i;
        headerDue_ = true;
    }
    void Hit(const RE_LineInfo_t& hit) override {
        if (o_.json)
            JsonHit(hit);
        else
            TextHit(hit);
        if (out_.size() >= 65536) Flush();
    }
    void FileEnds(std::size_t i, std::size_t hits) override {
        hits_ += static_cast<long long>(hits);
        ++searched_;
        if (hits > 0) ++withHits_;
        // (A note's name is listed once it is known that it did not fail.)
        if (o_.list) listDue_ = (hits > 0) == (o_.list == 'l') ? int(i) : -1;
    }
    // The search is over without a failure.
    void Finish() {
        ListDone();
        Flush();
    }
    void Flush() {
        Write(out_, stdout);
        out_.clear();
    }
    long long Hits() const { return hits_; }
    // The totals as JSON.
    std::string JsonSummary(const std::vector<std::string>& fields) const {
        std::string s = "{\"type\":\"summary\",\"keywords\":[";
        for (std::size_t k = 0; k < fields.size(); ++k) {
            if (k > 0) s += ',';
            s += JsonString(cp932::ToUtf8(fields[k]));
        }
        return s + "],\"hits\":" + std::to_string(hits_) +
               ",\"files\":" + std::to_string(withHits_) +
               ",\"searched\":" + std::to_string(searched_) + "}\n";
    }

  private:
    void ListDone() {
        if (listDue_ < 0) return;
        out_ += Colored(term_.Out(headers_[static_cast<std::size_t>(listDue_)]), kHeaderColor);
        out_ += '\n';
        listDue_ = -1;
    }
    std::string Colored(const std::string& text, const char* color) const {
        return color_ ? color + text + kColorEnd : text;
    }
    void TextHit(const RE_LineInfo_t& hit) {
        if (headerDue_) {
            out_ += '\n';
            out_ += Colored(term_.Out(headers_[file_]), kHeaderColor);
            out_ += '\n';
            headerDue_ = false;
        }
        const std::int32_t number = o_.lineNumbers ? hit.LineNo : 0;
        line_.clear();
        // A UTF-8 or UTF-16 note's line as the note spells it.
        const bool unicode = hit.FromUnicode;
        if (!color_ && !unicode) {
            engine::AppendHitLine(line_, hit.Line, o_.star, number);
            out_ += term_.Out(line_);
            out_ += '\n';
            return;
        }
        engine::AppendHitLine(line_, {}, o_.star, number);
        out_ += term_.Out(line_);
        const std::string shown = unicode ? cp932::ShownUtf8(hit.Utf8, &places_) : hit.Line;
        const auto piece = [&](std::size_t from, std::size_t to) {
            if (!unicode) return term_.Out(shown.substr(from, to - from));
            return term_.OutUtf8(shown.substr(places_[from], places_[to] - places_[from]));
        };
        std::size_t at = 0;
        if (color_)
            for (const auto& span : engine::TKeywordSpans::Merged(spans_->Find(hit.Line))) {
                out_ += piece(at, span.start);
                out_ += Colored(piece(span.start, span.end), kMatchColor);
                at = span.end;
            }
        out_ += piece(at, hit.Line.size());
        out_ += '\n';
    }
    void JsonHit(const RE_LineInfo_t& hit) {
        const std::string text =
            hit.FromUnicode ? cp932::ShownUtf8(hit.Utf8, &places_) : cp932::ToUtf8(hit.Line);
        out_ += "{\"type\":\"hit\",\"file\":" + JsonString(cp932::PathToNative(headers_[file_])) +
                ",\"line\":" + std::to_string(hit.LineNo) + ",\"text\":" + JsonString(text) +
                ",\"matches\":[";
        // (Places in bytes of the UTF-8 text: the Shift-JIS before a place, converted.)
        const auto utf8At = [&](std::size_t at) {
            return hit.FromUnicode ? places_[at] : cp932::ToUtf8(hit.Line.substr(0, at)).size();
        };
        bool first = true;
        for (const auto& span : spans_->Find(hit.Line)) {
            out_ += first ? "" : ",";
            first = false;
            out_ += "{\"keyword\":" + std::to_string(span.keyword) +
                    ",\"start\":" + std::to_string(utf8At(span.start)) +
                    ",\"end\":" + std::to_string(utf8At(span.end)) + "}";
        }
        out_ += "]}\n";
    }

    const Options& o_;
    const Terminal& term_;
    const std::vector<std::string>& headers_;
    const engine::TKeywordSpans* spans_;
    const bool color_;
    std::size_t file_ = 0;
    bool headerDue_ = false;
    int listDue_ = -1;
    std::string out_, line_;
    std::vector<std::size_t> places_; // of a Unicode line's Shift-JIS bytes in its shown text
    long long hits_ = 0, searched_ = 0, withHits_ = 0;
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
    if (o.version) {
        Write("quelvra-grep " QUELVRA_VERSION "\n", stdout);
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
    const std::string ext = cp932::PathFromNative(o.ext);
    // The folders in turn: -d's (or the current one), then those after "--", whose headers
    // name them.
    std::vector<std::string> folders;
    if (o.folderGiven || o.folders.empty()) folders.push_back(o.folder);
    folders.insert(folders.end(), o.folders.begin(), o.folders.end());
    const bool headersNameFolders = !o.folders.empty();
    const char* noColor = std::getenv("NO_COLOR");
    const bool color =
        !o.json && !o.count && o.color != Options::Color::Never &&
        (o.color == Options::Color::Always || (::isatty(STDOUT_FILENO) && !(noColor && *noColor)));
    long long hits = 0;
    std::optional<Printer> printer;

    auto summary = [&] {
        if (o.json && printer)
            Write(printer->JsonSummary(fields), stdout);
        else
            Write(term.Out(engine::SummaryLine({fields[0], fields[1], fields[2]}, hits)) + "\n",
                  stderr);
    };

    const bool anyKeyword = !trimmed[0].empty() || !trimmed[1].empty() || !trimmed[2].empty();
    std::vector<std::string> paths, headers;
    std::optional<engine::TKeywordSpans> spans;
    if (anyKeyword) {
        const std::string pattern = engine::ComposePattern(trimmed);
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
        for (const std::string& native : folders) {
            std::error_code ec;
            if (!std::filesystem::is_directory(native, ec)) {
                Write(term.Own("quelvra-grep: no such folder: " + native + "\n"), stderr);
                return 2;
            }
            const std::string folder = cp932::PathFromNative(native);
            const std::vector<std::string> files = o.subfolders
                                                       ? listing::ListFilesInTree(folder, "." + ext)
                                                       : listing::ListFiles(folder, ext);
            for (const std::string& f : files) {
                paths.push_back(listing::JoinPath(folder, f));
                const std::string header = engine::HeaderText(f, {}, o.subfolders);
                headers.push_back(headersNameFolders ? listing::JoinPath(folder, header) : header);
            }
        }
        if (color || o.json) spans.emplace(trimmed, !o.exact);
    }
    printer.emplace(o, term, headers, spans ? &*spans : nullptr, color);
    if (!paths.empty()) {
        // Files are searched side by side (up to four threads) and printed in the list's order.
        engine::TOrderedSearchOptions options;
        const std::size_t threads = std::min(std::thread::hardware_concurrency(), 4u);
        options.helpers = threads >= 2 ? threads - 1 : 0;
        options.lines = !o.count && !o.list;
        grep.UseReference = reference;
        grep.Encoding = o.encoding;
        try {
            engine::TOrderedSearch(grep, std::move(paths), options).Run(*printer);
        } catch (const engine::Exception& e) {
            printer->Flush();
            std::fflush(stdout);
            hits = printer->Hits();
            Write(term.Out(e.Message()) + "\n", stderr);
            if (o.count) Write(std::to_string(hits) + "\n", stdout);
            summary();
            return 2;
        } catch (const std::exception& e) {
            printer->Flush();
            Write(term.Own(std::string("quelvra-grep: ") + e.what() + "\n"), stderr);
            return 2;
        }
    }
    printer->Finish();
    hits = printer->Hits();
    if (o.count) Write(std::to_string(hits) + "\n", stdout);
    summary();
    return hits > 0 ? 0 : 1;
}
