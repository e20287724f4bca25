#include "regexp.h"

#include "query.h"

#include "codec.h"
#include "errors.h"

#include <gtest/gtest.h>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

// The base component with the dictionary available, as the grep sets it up.
struct Widening : TRegularExpression {
    Widening() { FuzzyCharDics().push_back(&EquivalenceDictionary()); }
    void SetFuzzy(bool on) { PreProcessor().UseFuzzyCharDic = on; }
};

TEST(RegularExpression, StartsWithTheEmptyPattern) {
    TRegularExpression re;
    EXPECT_EQ(re.CacheKeys(), std::vector<std::string>{""});
    EXPECT_EQ(re.CurrentIndex(), 0u);
    EXPECT_TRUE(re.IsLiteral());
    EXPECT_EQ(re.LiteralText(), "");
    EXPECT_EQ(re.HeadCode(), 0xFFFD);
    EXPECT_EQ(re.TailCode(), 0xFFFE);
}

TEST(RegularExpression, CacheHitsCompileNothing) {
    TRegularExpression re;
    const int base = re.CompileCount();
    re.SetRegExp("abc");
    re.SetRegExp("abc");
    EXPECT_EQ(re.CompileCount(), base + 1);
    EXPECT_EQ(re.RegExp(), "abc");
    re.SetRegExp("x|y");
    re.SetRegExp("abc"); // found at its place; a hit does not move it
    EXPECT_EQ(re.CompileCount(), base + 2);
    EXPECT_EQ(re.CacheKeys(), (std::vector<std::string>{"", "x|y", "abc"}));
    EXPECT_EQ(re.CurrentIndex(), 2u);
    re.SetRegExp("");
    EXPECT_EQ(re.CurrentIndex(), 0u);
    EXPECT_EQ(re.CompileCount(), base + 2);
}

TEST(RegularExpression, EvictsTheOldestCompilation) {
    TRegularExpression re;
    for (int i = 1; i <= 29; ++i)
        re.SetRegExp("p" + std::to_string(i));
    ASSERT_EQ(re.CacheKeys().size(), 30u);
    EXPECT_EQ(re.CacheKeys()[29], "p1");
    re.SetRegExp("p30");
    auto keys = re.CacheKeys();
    ASSERT_EQ(keys.size(), 30u);
    EXPECT_EQ(keys[0], "");
    EXPECT_EQ(keys[1], "p30");
    EXPECT_EQ(keys[29], "p2");
    const int before = re.CompileCount();
    re.SetRegExp("p1"); // evicted: compiled anew, p2 goes
    EXPECT_EQ(re.CompileCount(), before + 1);
    keys = re.CacheKeys();
    EXPECT_EQ(keys[1], "p1");
    EXPECT_EQ(keys[29], "p3");
    EXPECT_EQ(keys[0], "");
}

TEST(RegularExpression, ACompilationErrorFallsBackToTheEmptyPattern) {
    TRegularExpression re;
    re.SetRegExp("abc");
    try {
        re.SetRegExp("(a");
        FAIL() << "no error";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.Message(), S("右(閉じ)括弧が必要です"));
    }
    EXPECT_EQ(re.RegExp(), "");
    EXPECT_EQ(re.CurrentIndex(), 0u);
    EXPECT_EQ(re.CacheKeys(), (std::vector<std::string>{"", "abc"}));
    re.SetRegExp("abc"); // still cached, intact
    EXPECT_EQ(re.LiteralText(), "abc");
}

TEST(RegularExpression, APreprocessingErrorChangesNothing) {
    Widening re;
    re.SetFuzzy(true);
    re.SetRegExp("ab");
    const auto keys = re.CacheKeys();
    const std::size_t current = re.CurrentIndex();
    EXPECT_THROW(re.SetRegExp("a\x82"), ERegExpParser);
    EXPECT_EQ(re.RegExp(), "ab");
    EXPECT_EQ(re.CacheKeys(), keys);
    EXPECT_EQ(re.CurrentIndex(), current);
}

// Three long keywords, composed as the window does, that the dictionary widens past anything
// that could become an automaton: refused while being widened, without any compilation, and
// the current pattern stays.
TEST(RegularExpression, PatternsWidenedTooFarAreRefusedBeforeCompiling) {
    std::string keyword;
    for (int i = 0; i < 2000; ++i)
        keyword += S("あいう");
    const std::string pattern = ComposePattern({keyword, keyword, keyword});

    Widening re;
    re.SetFuzzy(true);
    re.SetRegExp("ab");
    const int compiled = re.CompileCount();
    try {
        re.SetRegExp(pattern);
        ADD_FAILURE() << "accepted";
    } catch (const ERegExpParser& e) {
        EXPECT_EQ(e.Message(), S("正規表現が複雑すぎます"));
    }
    EXPECT_EQ(re.CompileCount(), compiled);
    EXPECT_EQ(re.RegExp(), "ab");
}

TEST(RegularExpression, WideningMakesADifferentKey) {
    Widening re;
    re.SetRegExp("ab");
    re.SetFuzzy(true);
    re.SetRegExp("ab");
    EXPECT_EQ(re.CacheKeys(), (std::vector<std::string>{"", S("(Ａ|ａ|A|a)(Ｂ|ｂ|B|b)"), "ab"}));
    EXPECT_FALSE(re.IsLiteral());
    EXPECT_EQ(re.RegExp(), "ab");
}

} // namespace
