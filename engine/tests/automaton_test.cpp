#include "automaton.h"

#include "codec.h"
#include "errors.h"
#include "regexp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {

using namespace engine;

std::string S(const char* utf8) {
    return cp932::FromUtf8(utf8);
}

struct Compiled {
    std::unique_ptr<TREParser> parser;
    std::unique_ptr<TRE_NFA> nfa;
    std::unique_ptr<TRE_DFA> dfa;
};

Compiled Compile(const std::string& pattern, TCharCode head = 10, TCharCode tail = 10) {
    Compiled c;
    c.parser = std::make_unique<TREParser>(pattern);
    c.parser->Run();
    c.nfa = std::make_unique<TRE_NFA>(*c.parser, head, tail);
    c.nfa->Build();
    c.dfa = std::make_unique<TRE_DFA>(*c.nfa);
    c.dfa->Build();
    return c;
}

// The automaton as text: one "state: transitions" group per state in creation order, "*" for
// an accepting state, each transition as lo[-hi]>target.
std::string Dump(const TRE_DFA& dfa) {
    std::map<const TRE_DFAState*, int> number;
    for (std::size_t i = 0; i < dfa.StateList.size(); ++i)
        number[dfa.StateList[i].get()] = static_cast<int>(i);
    std::string out;
    char b[32];
    for (const auto& s : dfa.StateList) {
        if (!out.empty()) out += "; ";
        out += std::to_string(number[s.get()]) + (s->Accepting ? "*" : "") + ":";
        for (const auto& t : s->Transitions) {
            if (t.Lo == t.Hi)
                std::snprintf(b, sizeof b, " %X>%d", t.Lo, number[t.Target]);
            else
                std::snprintf(b, sizeof b, " %X-%X>%d", t.Lo, t.Hi, number[t.Target]);
            out += b;
        }
    }
    return out;
}

TEST(Automaton, PatternsToAutomata) {
    struct Case {
        std::string pattern;
        bool literal;
        std::string text;
        const char* dfa; // "" when only the literal property is checked
    } cases[] = {
        {"a", true, "a", "0: 61>1; 1*:"},
        {"", true, "", "0*:"},
        {"abc", true, "abc", "0: 61>1; 1: 62>2; 2: 63>3; 3*:"},
        {"a|b", false, "", "0: 61>1 62>1; 1*:"},
        {"ab*", false, "", "0: 61>1; 1*: 62>2; 2*: 62>2"},
        {"a?", false, "", "0*: 61>1; 1*:"},
        {"(a|a)b", true, "ab", ""},
        {"^a", true, "\na", "0: A>1; 1: 61>2; 2*:"},
        {"a^", true, "a^", "0: 61>1; 1: 5E>2; 2*:"},
        {"a$", true, "a\n", ""},
        {"$a", true, "$a", ""},
        {"(^a)|(^b)", false, "", "0: A>1; 1: 61>2 62>2; 2*:"},
        {"a(^b)", true, "a^b", ""},
        {S("あい"), true, S("あい"), "0: 82A0>1; 1: 82A2>2; 2*:"},
        {"[a-c]", false, "", "0: 61-63>1; 1*:"},
        {"\\x4142", true, "B", ""},
    };
    for (const auto& c : cases) {
        const Compiled k = Compile(c.pattern);
        EXPECT_EQ(k.dfa->IsLiteral, c.literal) << c.pattern;
        EXPECT_EQ(k.dfa->LiteralText, c.text) << c.pattern;
        if (*c.dfa) {
            EXPECT_EQ(Dump(*k.dfa), c.dfa) << c.pattern;
        }
    }
    EXPECT_EQ(Compile("\\x4142").dfa->LiteralCodes, std::vector<TCharCode>{0x4142});
}

TEST(Automaton, AnchorFlagsAndCodes) {
    const Compiled grep = Compile("^a$");
    EXPECT_TRUE(grep.dfa->LineHeadFlag);
    EXPECT_TRUE(grep.dfa->LineTailFlag);
    const Compiled base = Compile("^a$", 0xFFFD, 0xFFFE);
    EXPECT_EQ(Dump(*base.dfa), "0: FFFD>1; 1: 61>2; 2: FFFE>3; 3*:");
    const Compiled inner = Compile("a^b$c");
    EXPECT_FALSE(inner.dfa->LineHeadFlag);
    EXPECT_FALSE(inner.dfa->LineTailFlag);
    EXPECT_EQ(inner.dfa->LiteralText, "a^b$c");
}

TEST(Automaton, TransitionsAreDisjointAndSorted) {
    const Compiled k = Compile("a.*b");
    const TRE_DFAState* afterA = TRE_DFA::NextState(k.dfa->InitialState, 'a');
    ASSERT_NE(afterA, nullptr);
    const auto& ts = afterA->Transitions;
    ASSERT_GE(ts.size(), 3u);
    for (std::size_t i = 1; i < ts.size(); ++i)
        EXPECT_LT(ts[i - 1].Hi, ts[i].Lo);
    // The dot's pieces are split around the two letters.
    EXPECT_EQ(Dump(*k.dfa), "0: 61>1; 1: 1-9>2 B-C>2 E-60>2 61>2 62>3 63-FCFC>2; "
                            "2: 1-9>2 B-C>2 E-60>2 61>2 62>3 63-FCFC>2; "
                            "3*: 1-9>2 B-C>2 E-60>2 61>2 62>3 63-FCFC>2");
}

TEST(Automaton, NextStateLooksUpRanges) {
    const Compiled k = Compile("[b-c]|[x-y]");
    const TRE_DFAState* s = k.dfa->InitialState;
    EXPECT_EQ(TRE_DFA::NextState(s, 'a'), nullptr); // below every range
    EXPECT_NE(TRE_DFA::NextState(s, 'b'), nullptr);
    EXPECT_NE(TRE_DFA::NextState(s, 'c'), nullptr);
    EXPECT_EQ(TRE_DFA::NextState(s, 'm'), nullptr); // between
    EXPECT_NE(TRE_DFA::NextState(s, 'y'), nullptr);
    EXPECT_EQ(TRE_DFA::NextState(s, 'z'), nullptr); // above the last
}

// Contrived patterns stop with a clear error instead of hanging or exhausting memory.
TEST(Automaton, SizeLimitsRejectContrivedPatterns) {
    std::string exponential = "(a|b)*a";
    for (int i = 0; i < 22; ++i)
        exponential += "(a|b)";
    std::string nestedPlus = "a";
    for (int i = 0; i < 30; ++i)
        nestedPlus = "(" + nestedPlus + ")+";
    for (const std::string& p : {exponential, nestedPlus, std::string(300000, 'a')}) {
        TRegularExpression re;
        try {
            re.SetRegExp(p);
            ADD_FAILURE() << "accepted " << p.substr(0, 40);
        } catch (const ERegExpParser& e) {
            EXPECT_EQ(e.Message(), S("正規表現が複雑すぎます")) << p.substr(0, 40);
        }
        EXPECT_EQ(re.RegExp(), "");
        EXPECT_EQ(re.CurrentIndex(), 0u);
    }
}

} // namespace
