#include "codec.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Result {
    std::string out, err;
    int status = -1;
};

std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A data folder of Shift-JIS notes, and quelvra-grep run inside it.
class QuelvraGrep : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quelvra_cli_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data" / "sub");
        Note("data/b.txt", "東京と大阪\r\nabc\r\n名古屋 大阪 東京\r\n");
        Note("data/a.txt", "ＡＢＣ と 東京\n何もない\n");
        Note("data/c.html", "<p>東京</p>\n");
        Note("data/sub/d.txt", "大阪から東京へ\n");
        Note("data/empty.txt", "");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Note(const std::string& name, const char* utf8) {
        std::ofstream(dir_ / name, std::ios::binary) << cp932::FromUtf8(utf8);
    }

    // `program`: a command that runs quelvra-grep itself, instead of running it with `args`.
    Result Run(const std::vector<std::string>& args, const std::string& locale = "C.UTF-8",
               const std::string& env = "", const std::string& program = "") {
        std::string cmd = "cd " + Quote((dir_ / "data").string()) +
                          " && unset NO_COLOR && LC_ALL=" + locale + " LANG= " + env + " " +
                          (program.empty() ? Quote(QUELVRA_BIN_DIR "/quelvra-grep") : program);
        for (const auto& a : args)
            cmd += " " + Quote(a);
        cmd += " >" + Quote((dir_ / "out").string()) + " 2>" + Quote((dir_ / "err").string());
        const int rc = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = Slurp(dir_ / "out");
        r.err = Slurp(dir_ / "err");
        return r;
    }

    // Runs each case's arguments and checks the exit status and the output.
    struct OutputCase {
        std::vector<std::string> args;
        int status;
        const char* out;
    };
    template <std::size_t N> void ExpectOutputs(const OutputCase (&cases)[N]) {
        for (const OutputCase& c : cases) {
            const Result r = Run(c.args);
            std::string what;
            for (const auto& a : c.args)
                what += a + " ";
            EXPECT_EQ(r.status, c.status) << what << r.err;
            EXPECT_EQ(r.out, c.out) << what;
        }
    }

    fs::path dir_;
};

TEST_F(QuelvraGrep, PrintsHitsInThePanesLayout) {
    const Result r = Run({"東京"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\na.txt\n    ＡＢＣ と 東京\n"
                     "\nb.txt\n    東京と大阪\n    名古屋 大阪 東京\n");
    EXPECT_EQ(r.err, "　　検索キーワード　　　東京　　　　　　　3個マッチしました\n");
}

TEST_F(QuelvraGrep, OptionsOfTheWindow) {
    const OutputCase cases[] = {
        {{"-r", "東京"},
         0,
         "\na.txt\n    ＡＢＣ と 東京\n\nb.txt\n    東京と大阪\n    名古屋 大阪 東京\n"
         "\nsub/d.txt\n    大阪から東京へ\n"},
        {{"--subfolders", "--star", "大阪"},
         0,
         "\nb.txt\n    ★東京と大阪\n    ★名古屋 大阪 東京\n\nsub/d.txt\n    ★大阪から東京へ\n"},
        {{"-c", "東京"}, 0, "3\n"},
        {{"-rc", "東京"}, 0, "4\n"},
        {{"-x", "html", "東京"}, 0, "\nc.html\n    <p>東京</p>\n"},
        {{"--ext=html", "-c", "東京"}, 0, "1\n"},
        {{"-d", "sub", "東京"}, 0, "\nd.txt\n    大阪から東京へ\n"},
        {{"abc"}, 0, "\na.txt\n    ＡＢＣ と 東京\n\nb.txt\n    abc\n"},
        {{"-E", "abc"}, 0, "\nb.txt\n    abc\n"},
        {{"--exact", "ＡＢＣ"}, 0, "\na.txt\n    ＡＢＣ と 東京\n"},
        {{"東京", "大阪"}, 0, "\nb.txt\n    東京と大阪\n    名古屋 大阪 東京\n"},
        {{"名古屋", "東京", "大阪"}, 0, "\nb.txt\n    名古屋 大阪 東京\n"},
        {{"  東京 ", "", "　　"},
         0,
         "\na.txt\n    ＡＢＣ と 東京\n\nb.txt\n    東京と大阪\n    名古屋 大阪 東京\n"},
        {{"福岡"}, 1, ""},
        {{"-c", "福岡"}, 1, "0\n"},
        {{"　"}, 1, ""}, // a field of full-width spaces only counts as empty
    };
    ExpectOutputs(cases);
}

// The switch the benchmark uses to check the fast search: the reference routines print the
// same, byte for byte.
TEST_F(QuelvraGrep, ReferenceRoutinesPrintTheSame) {
    Note("data/e.txt", "東京\r大阪\r\n\n東京 abc$\nabc");
    const std::vector<std::vector<std::string>> cases = {
        {"-r", "東京"}, {"abc"}, {"-E", "abc$"}, {"^abc"}, {"東京", "大阪"}, {"-c", "[^a]b"},
    };
    for (const auto& args : cases) {
        const Result fast = Run(args);
        const Result reference = Run(args, "C.UTF-8", "QUELVRA_GREP_REFERENCE=1");
        EXPECT_EQ(reference.status, fast.status) << args.back();
        EXPECT_EQ(reference.out, fast.out) << args.back();
        EXPECT_EQ(reference.err, fast.err) << args.back();
        EXPECT_FALSE(fast.out.empty()) << args.back();
    }
}

TEST_F(QuelvraGrep, SummaryKeepsTheFieldsAsTyped) {
    EXPECT_EQ(Run({" 東京", "", "大阪"}).err,
              "　　検索キーワード　　　 東京　　　　大阪　　　2個マッチしました\n");
    EXPECT_EQ(Run({"　"}).err, "　　検索キーワード　　　　　　　　　　0個マッチしました\n");
}

// --pattern prints what the search compiles (for a peer tool given the same pattern), and
// searches nothing.
TEST_F(QuelvraGrep, PatternOptionPrintsTheComposedPattern) {
    const Result exact = Run({"--pattern", "-E", "東京", "ソ表"});
    EXPECT_EQ(exact.out, "((東京).*(ソ表))|((ソ表).*(東京))\n");
    EXPECT_EQ(exact.status, 0);
    EXPECT_EQ(exact.err, "");
    EXPECT_EQ(Run({"--pattern", "ｱ"}).out, "(あ|ア|ｱ|ぁ|ァ|ｧ)\n");
}

TEST_F(QuelvraGrep, ShiftJisOutputAndOtherLocales) {
    const Result sjis = Run({"--sjis", "-E", "abc"});
    EXPECT_EQ(sjis.out, "\nb.txt\n    abc\n");
    const Result raw = Run({"--sjis", "大阪", "-d", "sub"});
    EXPECT_EQ(raw.out, cp932::FromUtf8("\nd.txt\n    大阪から東京へ\n"));
    EXPECT_EQ(raw.err,
              cp932::FromUtf8("　　検索キーワード　　　大阪　　　　　　　1個マッチしました\n"));
    // A C locale's ASCII is taken as UTF-8.
    EXPECT_EQ(Run({"-c", "東京"}, "C").out, "3\n");
    EXPECT_EQ(Run({"-c", "東京"}, "POSIX").out, "3\n");
}

TEST_F(QuelvraGrep, InvalidShiftJisComesOutAsReplacementCharacters) {
    std::ofstream(dir_ / "data" / "bad.txt", std::ios::binary) << "x\x85\x40y\xFDz\n";
    const Result r = Run({"x"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("bad.txt\n    x"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\xEF\xBF\xBD"), std::string::npos) << r.out;
}

TEST_F(QuelvraGrep, Errors) {
    struct Case {
        std::vector<std::string> args;
        const char* errStart;
    } cases[] = {
        {{"(東京"}, "検索語に正規表現に違反する入力があります\n"},
        {{"東京", "[a"}, "検索語に正規表現に違反する入力があります\n"},
        {{"😀"}, "quelvra-grep: the keyword"},
        {{}, "quelvra-grep: no keyword given"},
        {{"a", "b", "c", "d"}, "quelvra-grep: at most three keywords"},
        {{"-q", "a"}, "quelvra-grep: unknown option -q"},
        {{"a", "-d"}, "quelvra-grep: option -d needs a value"},
        {{"-d", "nowhere", "a"}, "quelvra-grep: no such folder: nowhere"},
        {{"-d", "b.txt", "a"}, "quelvra-grep: no such folder: b.txt"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.errStart;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const Result help = Run({"-h"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quelvra-grep", 0), 0u);
}

// A FIFO named like a note is no note: the search never opens it (which would wait for a
// writer for ever) and goes on to the end, in one folder and in a subtree.
TEST_F(QuelvraGrep, FifosAreNotSearchedAndTheSearchGoesOnToTheEnd) {
    fs::create_directories(dir_ / "pipes" / "sub");
    Note("pipes/a.txt", "first hit\n");
    Note("pipes/sub/s.txt", "sub hit\n");
    Note("pipes/z.txt", "last hit\n");
    ASSERT_EQ(::mkfifo((dir_ / "pipes" / "m.txt").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir_ / "pipes" / "sub" / "n.txt").c_str(), 0600), 0);
    const std::string folder = (dir_ / "pipes").string();
    Result r = Run({"-d", folder, "hit"}, "C.UTF-8", "timeout 20");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\na.txt\n    first hit\n\nz.txt\n    last hit\n");
    r = Run({"-r", "-d", folder, "hit"}, "C.UTF-8", "timeout 20");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\na.txt\n    first hit\n\nsub/s.txt\n    sub hit\n\nz.txt\n    last hit\n");
}

TEST_F(QuelvraGrep, AFileThatCannotBeOpenedEndsTheSearchAfterTheHitsSoFar) {
    // A folder named like a data file is listed like the window's list does, and cannot be
    // searched.
    fs::create_directories(dir_ / "data" / "c.txt");
    const Result r = Run({"東京"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "\na.txt\n    ＡＢＣ と 東京\n\nb.txt\n    東京と大阪\n    名古屋 大阪 東京\n");
    EXPECT_EQ(r.err, "ファイルへのアクセスが拒否されました\n"
                     "　　検索キーワード　　　東京　　　　　　　3個マッチしました\n");
}

// A folder of more notes than a worker takes at once: the hits come out in the list's order
// whichever thread searched them, and a note that cannot be opened halfway ends the search
// right after the hits before it.
TEST_F(QuelvraGrep, ManyNotesKeepTheirOrderAndAFailureStopsWhereItIs) {
    fs::create_directories(dir_ / "many");
    std::string expected, upToFailure;
    for (int i = 0; i < 300; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "n%03d.txt", i);
        std::string text = "nothing\n";
        if (i % 7 == 0) {
            text = "hit " + std::to_string(i) + "\nnothing\nhit again\n";
            expected +=
                "\n" + std::string(name) + "\n    hit " + std::to_string(i) + "\n    hit again\n";
        }
        std::ofstream(dir_ / "many" / name, std::ios::binary) << text;
        if (i == 200) upToFailure = expected;
    }
    const std::string folder = (dir_ / "many").string();
    Result r = Run({"-d", folder, "hit"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    fs::create_directories(dir_ / "many" / "n200a.txt");
    r = Run({"-d", folder, "hit"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, upToFailure);
}

// What grep's users reach for: line numbers, the names of the notes with or without hits, the
// version and the exit status.
TEST_F(QuelvraGrep, LineNumbersAndNoteNames) {
    const OutputCase cases[] = {
        {{"-n", "東京"},
         0,
         "\na.txt\n    1:ＡＢＣ と 東京\n\nb.txt\n    1:東京と大阪\n    3:名古屋 大阪 東京\n"},
        {{"--line-number", "-s", "大阪"},
         0,
         "\nb.txt\n    1:★東京と大阪\n    3:★名古屋 大阪 東京\n"},
        {{"-l", "東京"}, 0, "a.txt\nb.txt\n"},
        {{"--files-with-matches", "-r", "大阪"}, 0, "b.txt\nsub/d.txt\n"},
        {{"-L", "東京"}, 0, "empty.txt\n"},
        {{"--files-without-match", "福岡"}, 1, "a.txt\nb.txt\nempty.txt\n"},
        {{"-l", "福岡"}, 1, ""},
    };
    ExpectOutputs(cases);
    // The summary still counts the hit lines.
    EXPECT_EQ(Run({"-l", "東京"}).err,
              "　　検索キーワード　　　東京　　　　　　　3個マッチしました\n");
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quelvra-grep ", 0), 0u) << version.out;
    EXPECT_NE(Run({"-h"}).out.find("Exit status: 0 when something matched, 1 when nothing did"),
              std::string::npos);
    EXPECT_EQ(Run({"-c", "-l", "東京"}).status, 2);
    EXPECT_EQ(Run({"--color=sometimes", "東京"}).status, 2);
}

// Folders after "--" are searched in turn, their headers naming them; a keyword beginning with
// "-" goes after a first "--".
TEST_F(QuelvraGrep, FoldersAfterTheKeywords) {
    fs::create_directories(dir_ / "other");
    Note("other/a.txt", "東京 -x\n");
    Note("data/e.txt", "-x です\n");
    Result r = Run({"東京", "--", "sub", "../other"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\nsub/d.txt\n    大阪から東京へ\n\n../other/a.txt\n    東京 -x\n");
    EXPECT_EQ(r.err, "　　検索キーワード　　　東京　　　　　　　2個マッチしました\n");
    r = Run({"-d", "sub", "-c", "東京", "--", "../other"});
    EXPECT_EQ(r.out, "2\n");
    r = Run({"--", "-x", "--", ".", "../other"});
    EXPECT_EQ(r.out, "\n./e.txt\n    -x です\n\n../other/a.txt\n    東京 -x\n");
    EXPECT_EQ(Run({"--", "-x"}).out, "\ne.txt\n    -x です\n"); // as before: a keyword
    r = Run({"東京", "--", "sub", "nowhere"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quelvra-grep: no such folder: nowhere\n");
    EXPECT_EQ(r.out, "");
}

// Colour on a terminal only (unless asked for), never with NO_COLOR unless asked for: the
// headers, and each keyword's match where it lies, widened by the dictionary.
TEST_F(QuelvraGrep, Colour) {
    const std::string red = "\x1b[1;31m", mark = "\x1b[1;35m", end = "\x1b[0m";
    const std::string coloured = "\n" + red + "a.txt" + end + "\n    " + mark + "ＡＢＣ" + end +
                                 " と " + mark + "東京" + end + "\n";
    EXPECT_EQ(Run({"--color=always", "-d", ".", "abc", "東京"}).out.substr(0, coloured.size()),
              coloured);
    EXPECT_EQ(Run({"--color=always", "-E", "-l", "abc"}).out, red + "b.txt" + end + "\n");
    // Not a terminal: no colour by default.
    EXPECT_EQ(Run({"-E", "abc"}).out, "\nb.txt\n    abc\n");
    EXPECT_EQ(Run({"--color", "-E", "abc"}).out, "\nb.txt\n    abc\n");
    // On a terminal (script gives the program one).
    if (std::system("command -v script >/dev/null") == 0) {
        const std::string onTerminal = "script -qec " +
                                       Quote(std::string(QUELVRA_BIN_DIR "/quelvra-grep -E abc")) +
                                       " /dev/null";
        const Result tty = Run({}, "C.UTF-8", "", onTerminal);
        EXPECT_NE(tty.out.find(red + "b.txt" + end), std::string::npos) << tty.out;
        EXPECT_NE(tty.out.find(mark + "abc" + end), std::string::npos) << tty.out;
        const Result never = Run({}, "C.UTF-8", "NO_COLOR=1", onTerminal);
        EXPECT_EQ(never.out.find("\x1b["), std::string::npos) << never.out;
        EXPECT_NE(never.out.find("b.txt"), std::string::npos) << never.out;
    }
}

// One JSON object a line for each hit, then the totals; the text in UTF-8 and the matches'
// places in its bytes.
TEST_F(QuelvraGrep, JsonLines) {
    Note("data/f.txt", "x\n\"ソ表\"\tabc ａｂｃ\n");
    const Result r = Run({"--json", "abc"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string expected =
        "{\"type\":\"hit\",\"file\":\"a.txt\",\"line\":1,\"text\":\"ＡＢＣ と 東京\","
        "\"matches\":[{\"keyword\":0,\"start\":0,\"end\":9}]}\n"
        "{\"type\":\"hit\",\"file\":\"b.txt\",\"line\":2,\"text\":\"abc\","
        "\"matches\":[{\"keyword\":0,\"start\":0,\"end\":3}]}\n"
        "{\"type\":\"hit\",\"file\":\"f.txt\",\"line\":2,\"text\":\"\\\"ソ表\\\"\\tabc ａｂｃ\","
        "\"matches\":[{\"keyword\":0,\"start\":9,\"end\":12},{\"keyword\":0,\"start\":13,"
        "\"end\":22}]}\n"
        "{\"type\":\"summary\",\"keywords\":[\"abc\",\"\",\"\"],\"hits\":3,\"files\":3,"
        "\"searched\":4}\n";
    EXPECT_EQ(r.out, expected);
    // Each line parses as JSON (when a parser is at hand).
    if (std::system("command -v python3 >/dev/null") == 0) {
        std::ofstream(dir_ / "out.json", std::ios::binary) << r.out;
        const std::string check =
            "python3 -c 'import json,sys\nfor l in open(sys.argv[1]): json.loads(l)' " +
            Quote((dir_ / "out.json").string());
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
    const Result two = Run({"--json", "大阪", "東京"});
    EXPECT_NE(two.out.find("\"text\":\"名古屋 大阪 東京\",\"matches\":[{\"keyword\":0,\"start\":10,"
                           "\"end\":16},{\"keyword\":1,\"start\":17,\"end\":23}]"),
              std::string::npos)
        << two.out;
}

// A folder mixing encodings: every note searched in its own, its lines printed as it spells them
// (in the terminal's encoding), the same hits as the notes converted to Shift-JIS; --encoding
// reads every note in one.
TEST_F(QuelvraGrep, NotesInUtf8AndUtf16) {
    fs::create_directories(dir_ / "mixed");
    fs::create_directories(dir_ / "twin");
    const auto put = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / "mixed" / name, std::ios::binary) << bytes;
    };
    const std::string lines = "東京 ソ表\nとうきょう 😀\n東😀京\n";
    put("a.txt", cp932::FromUtf8("東京 ソ表\n"));
    put("b.txt", lines);
    put("c.txt", "\xEF\xBB\xBF" + lines);
    std::string utf16 = "\xFF\xFE";
    for (const char16_t u : std::u16string(u"能 東京\r\n"))
        utf16 += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    put("d.txt", utf16);
    const std::string mixed = (dir_ / "mixed").string();
    const std::string tokyo = "\n" + mixed + "/a.txt\n    1:東京 ソ表\n\n" + mixed +
                              "/b.txt\n    1:東京 ソ表\n\n" + mixed +
                              "/c.txt\n    1:東京 ソ表\n\n" + mixed + "/d.txt\n    1:能 東京\n";
    const std::string reading =
        "\n" + mixed + "/b.txt\n    2:とうきょう 😀\n\n" + mixed + "/c.txt\n    2:とうきょう 😀\n";
    const OutputCase cases[] = {
        {{"-n", "東京", "--", mixed}, 0, tokyo.c_str()},
        {{"-n", "トウキョウ", "--", mixed}, 0, reading.c_str()},
        {{"-c", "東.京", "--", mixed}, 0, "2\n"},
        {{"-c", "--encoding=sjis", "東京", "--", mixed}, 0, "1\n"},
        {{"-c", "--encoding", "utf8", "東京", "--", mixed}, 0, "2\n"},
        {{"-c", "--encoding=utf16", "東京", "--", mixed}, 0, "1\n"},
    };
    ExpectOutputs(cases);
    // In a Shift-JIS terminal's bytes, a character it lacks as "?".
    const Result sjis = Run({"--sjis", "-c", "ソ表", "--", mixed});
    EXPECT_EQ(sjis.out, "3\n");
    const Result out = Run({"--sjis", "とうきょう", "--", mixed});
    EXPECT_NE(out.out.find(cp932::FromUtf8("    とうきょう ") + "?\n"), std::string::npos)
        << out.out;
    // The reference routines agree.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-n", "東京", "--", mixed}, {"-n", "ソ", "表", "--", mixed}}) {
        EXPECT_EQ(Run(args, "C.UTF-8", "QUELVRA_GREP_REFERENCE=1").out, Run(args).out);
    }
    const Result bad = Run({"--encoding=latin1", "東京"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err.rfind("quelvra-grep: option --encoding takes auto, sjis, utf8 or utf16", 0),
              0u)
        << bad.err;
}

} // namespace
