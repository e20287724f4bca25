#include "editor_model.h"

#include "codec.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace editor {
namespace {

namespace fs = std::filesystem;

std::string Sjis(const char* u8) {
    return cp932::FromUtf8(u8);
}

struct Model : TEditorModel {
    Model() {
        MutableMetrics().VisibleRowCount = 30;
        MutableMetrics().VisibleColCount = 40;
    }
    bool Focused() const override { return true; }
    bool HandleAllocated() const override { return true; }
    std::pair<int, int> At() const { return {Row(), Col()}; }
};

// A folder of its own for each test, removed after it.
struct TempDir {
    fs::path dir;
    TempDir() {
        char tmpl[] = "/tmp/quelvra-lines-XXXXXX";
        dir = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

struct Row {
    std::string text;
    int attr;
    friend bool operator==(const Row&, const Row&) = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << cp932::ToUtf8(r.text) << ", " << r.attr << "}";
}
std::vector<Row> Rows(TEditorModel& m) {
    std::vector<Row> r;
    for (int i = 0; i < m.List().Count(); ++i)
        r.push_back({m.List().Text(i), m.List().RowAttr(i)});
    return r;
}

constexpr int LE = LineEnd, WR = Wrapped, EOT = EndOfText;

TEST(LinesFile, LoadAndSaveGiveTheBytesBackWithCrLfForOtherLineEnds) {
    const std::string block(8191, 'x');
    struct Case {
        std::string name, file, saved;
        int rows, lastAttr;
    } cases[] = {
        {"no final line end", "P\r\nQ", "P\r\nQ", 2, EOT},
        {"final CR LF", "a\r\nb\r\n", "a\r\nb\r\n", 2, LE},
        {"empty lines", "\r\n\r\nz", "\r\n\r\nz", 3, EOT},
        {"LF only", "a\nb\n", "a\r\nb\r\n", 2, LE},
        {"CR only", "a\rb", "a\r\nb", 2, EOT},
        {"LF then CR: two line ends", "a\n\rb", "a\r\n\r\nb", 3, EOT},
        {"mixed", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd", 4, EOT},
        {"kanji with a backslash byte", Sjis("ソ表\\能\r\nポ|"), Sjis("ソ表\\能\r\nポ|"), 2, EOT},
        {"empty file", "", "", 0, -1},
        {"Ctrl-Z ends the text",
         "ab\r\ncd\x1A"
         "ef\r\n",
         "ab\r\ncd", 2, EOT},
        {"Ctrl-Z after a line end", "ab\r\n\x1A\r\nmore", "ab\r\n", 1, LE},
        {"NUL bytes are kept", std::string("a\0b\r\n\0\r\n", 8), std::string("a\0b\r\n\0\r\n", 8),
         2, LE},
        {"CR LF across the block boundary", block + "\r\ny", block + "\r\ny", 2, EOT},
        {"CR then LF-only across the boundary", block + "\r\n\ny", block + "\r\n\r\ny", 3, EOT},
        {"a line across the boundary", std::string(8000, 'a') + "\r\n" + std::string(500, 'b'),
         std::string(8000, 'a') + "\r\n" + std::string(500, 'b'), 2, EOT},
        {"a line of three blocks", std::string(20000, 'c') + "\n", std::string(20000, 'c') + "\r\n",
         1, LE},
    };
    TempDir d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Model m;
        m.Lines().LoadFromFile(d.Write("in.txt", c.file));
        EXPECT_EQ(m.List().Count(), c.rows);
        if (c.rows > 0) {
            EXPECT_EQ(m.List().RowAttr(c.rows - 1), c.lastAttr);
        }
        EXPECT_EQ(m.Lines().Text(), c.saved);
        const std::string out = (d.dir / "out.txt").string();
        m.Lines().SaveToFile(out);
        EXPECT_EQ(TempDir::Read(out), c.saved);
        EXPECT_FALSE(m.List().UndoObj().CanUndo()) << "loading is not undoable";
        // Bytes already read load the same rows.
        Model b;
        b.Lines().LoadFromBuffer(c.file);
        EXPECT_EQ(Rows(b), Rows(m));
    }
}

TEST(LinesFile, AWrappedLoadCountsLinesNotRows) {
    TempDir d;
    Model m;
    m.List().WrapOption().SetWrapByte(20);
    m.SetWordWrap(true);
    const std::string line =
        std::string(20, 'a') + Sjis("あいうえおかきくけこ") + std::string(10, 'b');
    m.Lines().LoadFromFile(d.Write("w.txt", "top\r\n" + line + "\r\nend"));
    EXPECT_EQ(m.List().Count(), 5) << "the 50-column line takes three rows";
    EXPECT_EQ(m.List().RowAttr(1), WR);
    EXPECT_EQ(m.Lines().Count(), 3);
    EXPECT_EQ(m.Lines()[1], line);
    EXPECT_EQ(m.Lines()[2], "end");
    EXPECT_EQ(m.Lines().LineRow(2), 4);
    // The rows cut while reading are those of the text set and wrapped whole; lines that fill
    // their rows exactly included.
    const std::string texts[] = {
        std::string(40, 'a') + "\r\n" + std::string(40, 'b'),
        std::string(20, 'c') + Sjis("\tソ表能ポ") + std::string(25, 'd') + "\r\n\r\n",
        Sjis("あいうえおかきくけこさしすせそたちつてとなにぬねの。、"),
    };
    for (const std::string& t : texts) {
        Model set;
        set.List().WrapOption().SetWrapByte(20);
        set.SetWordWrap(true);
        set.Lines().SetText(t);
        m.Lines().LoadFromFile(d.Write("w.txt", t));
        EXPECT_EQ(Rows(m), Rows(set));
    }
}

// While it lives, files written may grow to at most Bytes; a write past that fails (EFBIG)
// instead of stopping the process.
struct FileSizeLimit {
    rlimit old{};
    void (*oldHandler)(int);
    explicit FileSizeLimit(rlim_t Bytes) : oldHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit l = old;
        l.rlim_cur = Bytes;
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

// Saving fails with an error that names the file.
void ExpectSaveFails(Model& M, const std::string& File) {
    try {
        M.Lines().SaveToFile(File);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(File), std::string::npos) << e.what();
    }
}

TEST(LinesFile, FailuresReachTheCallerAndLoseNothing) {
    TempDir d;
    Model m;
    m.Lines().SetText("kept");
    m.List().ReplaceRows(0, 1, "kept!");
    EXPECT_THROW(m.Lines().LoadFromFile((d.dir / "missing.txt").string()), EFOpenError);
    EXPECT_EQ(m.List().Count(), 0) << "the text is cleared";
    EXPECT_FALSE(m.List().UndoObj().CanUndo());
    // A FIFO and a folder are refused at once, never waited on.
    ASSERT_EQ(::mkfifo((d.dir / "fifo.txt").c_str(), 0600), 0);
    for (const std::string& p : {(d.dir / "fifo.txt").string(), d.dir.string()}) {
        m.Lines().SetText("kept");
        EXPECT_THROW(m.Lines().LoadFromFile(p), EFOpenError) << p;
        EXPECT_EQ(m.List().Count(), 0) << p;
    }
    // A file that cannot be written stays as it was; the error names it.
    m.Lines().SetText("new");
    EXPECT_THROW(m.Lines().SaveToFile((d.dir / "no" / "such.txt").string()), EFCreateError);
    const std::string file = d.Write("old.txt", "old\r\n");
    EXPECT_THROW(m.Lines().SaveToFile(file + "/below.txt"), EFCreateError);
    fs::permissions(file, fs::perms::owner_read); // nobody may write it, the superuser neither
    try {
        m.Lines().SaveToFile(file);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    EXPECT_EQ(TempDir::Read(file), "old\r\n");
    fs::remove(d.dir / "fifo.txt");
    // A saved file keeps its permissions and leaves no file beside it.
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    m.Lines().SetText("again\r\n");
    m.Lines().SaveToFile(file);
    EXPECT_EQ(TempDir::Read(file), "again\r\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(d.dir), fs::directory_iterator()), 1);
    {
        // A write that fails half way: the file size limit stops the superuser too.
        FileSizeLimit limit(2);
        ExpectSaveFails(m, file);
    }
    EXPECT_EQ(TempDir::Read(file), "again\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(d.dir), fs::directory_iterator()), 1);
}

TEST(Lines, TextGetAndSet) {
    Model m;
    m.Lines().SetText(Sjis("一\r\n二\n三"));
    EXPECT_EQ(Rows(m), (std::vector<Row>{{Sjis("一"), LE}, {Sjis("二"), LE}, {Sjis("三"), EOT}}));
    EXPECT_EQ(m.Lines().Text(), Sjis("一\r\n二\r\n三"));
    EXPECT_EQ(m.Lines().Count(), 3);
    m.List().ReplaceRows(0, 1, "x\r\n");
    m.Lines().SetText("y\r\n");
    EXPECT_FALSE(m.List().UndoObj().CanUndo()) << "setting the text is not undoable";
    EXPECT_EQ(Rows(m), (std::vector<Row>{{"y", LE}}));
    m.Lines().SetText("");
    EXPECT_EQ(m.List().Count(), 0);
    EXPECT_EQ(m.Lines().Count(), 0);
    m.Lines().SetText("z");
    m.Lines().Clear();
    EXPECT_EQ(m.Lines().Count(), 0);
}

// Each change is one undo step and leaves the caret where its new text ends.
TEST(Lines, ChangesGoThroughReplaceRowsAndPlaceTheCaret) {
    struct Case {
        const char* name;
        const char* text;
        bool wrap;
        std::function<void(TEditorStrings&)> op;
        const char* after;
        std::pair<int, int> caret;
    } cases[] = {
        {"Add without a final line end",
         "a\r\nb",
         false,
         [](TEditorStrings& l) { l.Add("c"); },
         "a\r\nb\r\nc",
         {2, 1}},
        {"Add after a final line end",
         "a\r\n",
         false,
         [](TEditorStrings& l) { l.Add("c"); },
         "a\r\nc\r\n",
         {2, 0}},
        {"Add to nothing", "", false, [](TEditorStrings& l) { l.Add("c"); }, "c\r\n", {1, 0}},
        {"Insert",
         "a\r\nb",
         false,
         [](TEditorStrings& l) { l.Insert(1, Sjis("ソ")); },
         "a\r\nソ\r\nb",
         {2, 0}},
        {"Insert at the count adds",
         "a\r\nb",
         false,
         [](TEditorStrings& l) { l.Insert(2, "c"); },
         "a\r\nb\r\nc",
         {2, 1}},
        {"Delete", "a\r\nb\r\nc", false, [](TEditorStrings& l) { l.Delete(1); }, "a\r\nc", {1, 0}},
        {"Delete the last line",
         "a\r\nb",
         false,
         [](TEditorStrings& l) { l.Delete(1); },
         "a\r\n",
         {1, 0}},
        {"Put",
         "a\r\nb\r\nc",
         false,
         [](TEditorStrings& l) { l.Put(1, Sjis("表示")); },
         "a\r\n表示\r\nc",
         {1, 4}},
        {"Put on the last line",
         "a\r\nb",
         false,
         [](TEditorStrings& l) { l.Put(1, "xy"); },
         "a\r\nxy",
         {1, 2}},
        {"Put on a wrapped line",
         "top\r\n0123456789012345678901234\r\nend",
         true,
         [](TEditorStrings& l) { l.Put(1, "short"); },
         "top\r\nshort\r\nend",
         {1, 5}},
        {"Delete a wrapped line",
         "top\r\n0123456789012345678901234\r\nend",
         true,
         [](TEditorStrings& l) { l.Delete(1); },
         "top\r\nend",
         {1, 0}},
        {"Insert before a wrapped line",
         "top\r\n0123456789012345678901234\r\nend",
         true,
         [](TEditorStrings& l) { l.Insert(2, "ins"); },
         "top\r\n0123456789012345678901234\r\nins\r\nend",
         {4, 0}},
        {"Add after a wrapped last line",
         "0123456789012345678901234",
         true,
         [](TEditorStrings& l) { l.Add("z"); },
         "0123456789012345678901234\r\nz",
         {2, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Model m;
        m.List().WrapOption().SetWrapByte(20);
        m.SetWordWrap(c.wrap);
        m.Lines().SetText(Sjis(c.text));
        const std::string before = m.Lines().Text();
        c.op(m.Lines());
        EXPECT_EQ(m.Lines().Text(), Sjis(c.after));
        EXPECT_EQ(m.At(), c.caret);
        EXPECT_EQ(m.List().UndoObj().UndoList().Count(), 1);
        m.List().Undo();
        EXPECT_EQ(m.Lines().Text(), before);
    }
}

TEST(Lines, AnIndexOutsideTheLinesRaises) {
    Model m;
    m.Lines().SetText("a\r\nb");
    EXPECT_THROW(m.Lines().Get(2), EStringListError);
    EXPECT_THROW(m.Lines().Get(-1), EStringListError);
    EXPECT_THROW(m.Lines().Put(2, "x"), EStringListError);
    EXPECT_THROW(m.Lines().Delete(5), EStringListError);
    EXPECT_THROW(m.Lines().Insert(3, "x"), EStringListError);
    EXPECT_EQ(m.Lines().Text(), "a\r\nb");
}

TEST(Lines, AssignTakesTheTextAndPutsTheCaretAfterIt) {
    Model m, other;
    TStringList list;
    list.Add(Sjis("ソ"));
    list.Add("b");
    m.Lines().Assign(list);
    EXPECT_EQ(m.Lines().Text(), Sjis("ソ\r\nb\r\n"));
    EXPECT_EQ(m.At(), (std::pair<int, int>{2, 0}));
    other.Lines().SetText("x\r\ny");
    m.Lines().Assign(other.Lines());
    EXPECT_EQ(m.Lines().Text(), "x\r\ny");
    EXPECT_EQ(m.At(), (std::pair<int, int>{1, 0}));
}

} // namespace
} // namespace editor
