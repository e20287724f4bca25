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

    Result Run(const std::vector<std::string>& args, const std::string& locale = "C.UTF-8",
               const std::string& env = "") {
        std::string cmd = "cd " + Quote((dir_ / "data").string()) + " && LC_ALL=" + locale +
                          " LANG= " + env + " " + Quote(QUELVRA_BIN_DIR "/quelvra-grep");
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
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* out;
    } cases[] = {
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
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        std::string what;
        for (const auto& a : c.args)
            what += a + " ";
        EXPECT_EQ(r.status, c.status) << what << r.err;
        EXPECT_EQ(r.out, c.out) << what;
    }
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

} // namespace
