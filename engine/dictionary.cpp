#include "dictionary.h"

#include "codec.h"

namespace engine {
namespace {

// One text per row, readable here and converted to code page 932 when the dictionary is built.
const char* const kRowTexts[] = {
    R"x(Ａ,ａ,A,a)x",                                 // 1
    R"x(Ｂ,ｂ,B,b)x",                                 // 2
    R"x(Ｃ,ｃ,C,c)x",                                 // 3
    R"x(Ｄ,ｄ,D,d)x",                                 // 4
    R"x(Ｅ,ｅ,E,e)x",                                 // 5
    R"x(Ｆ,ｆ,F,f)x",                                 // 6
    R"x(Ｇ,ｇ,G,g)x",                                 // 7
    R"x(Ｈ,ｈ,H,h)x",                                 // 8
    R"x(Ｉ,ｉ,I,i)x",                                 // 9
    R"x(Ｊ,ｊ,J,j)x",                                 // 10
    R"x(Ｋ,ｋ,K,k)x",                                 // 11
    R"x(Ｌ,ｌ,L,l)x",                                 // 12
    R"x(Ｍ,ｍ,M,m)x",                                 // 13
    R"x(Ｎ,ｎ,N,n)x",                                 // 14
    R"x(Ｏ,ｏ,O,o)x",                                 // 15
    R"x(Ｐ,ｐ,P,p)x",                                 // 16
    R"x(Ｑ,ｑ,Q,q)x",                                 // 17
    R"x(Ｒ,ｒ,R,r)x",                                 // 18
    R"x(Ｓ,ｓ,S,s)x",                                 // 19
    R"x(Ｔ,ｔ,T,t)x",                                 // 20
    R"x(Ｕ,ｕ,U,u)x",                                 // 21
    R"x(Ｖ,ｖ,V,v)x",                                 // 22
    R"x(Ｗ,ｗ,W,w)x",                                 // 23
    R"x(Ｘ,ｘ,X,x)x",                                 // 24
    R"x(Ｙ,ｙ,Y,y)x",                                 // 25
    R"x(Ｚ,ｚ,Z,z)x",                                 // 26
    R"x(0,０,零)x",                                   // 27
    R"x(1,１,一,①,Ⅰ,壱)x",                            // 28
    R"x(2,２,二,②,Ⅱ,弐)x",                            // 29
    R"x(3,３,三,③,Ⅲ,参)x",                            // 30
    R"x(4,４,四,④,Ⅳ)x",                               // 31
    R"x(5,５,五,⑤,Ⅴ,伍)x",                            // 32
    R"x(6,６,六,⑥,Ⅵ)x",                               // 33
    R"x(7,７,七,⑦,Ⅶ)x",                               // 34
    R"x(8,８,八,⑧,Ⅷ)x",                               // 35
    R"x(9,９,九,⑨,Ⅸ)x",                               // 36
    R"x(　," ")x",                                    // 37
    R"x(!,！)x",                                      // 38
    R"x("""",”)x",                                    // 39
    R"x(#,＃)x",                                      // 40
    R"x($,＄)x",                                      // 41
    R"x(%,％)x",                                      // 42
    R"x(&,＆)x",                                      // 43
    R"x(',’)x",                                       // 44
    R"x((,（)x",                                      // 45
    R"x(),）)x",                                      // 46
    R"x(*,＊)x",                                      // 47
    R"x(+,＋)x",                                      // 48
    R"x(ー,～,ｰ,)x",                                  // 49
    R"x(-,ー,－,～,ｰ)x",                              // 50
    R"x(･,・)x",                                      // 51
    R"x(/,／)x",                                      // 52
    R"x(:,：)x",                                      // 53
    R"x(;,；)x",                                      // 54
    R"x(<,＜)x",                                      // 55
    R"x(=,＝)x",                                      // 56
    R"x(>,＞)x",                                      // 57
    R"x(?,？)x",                                      // 58
    R"x(@,＠)x",                                      // 59
    R"x([,［,〔)x",                                   // 60
    R"x(\,￥)x",                                      // 61
    R"x(],］,〕)x",                                   // 62
    R"x(^,＾)x",                                      // 63
    R"x(_,＿)x",                                      // 64
    R"x({,｛)x",                                      // 65
    R"x(|,｜)x",                                      // 66
    R"x(},｝)x",                                      // 67
    R"x(~,￣)x",                                      // 68
    R"x(",",､,、,，)x",                               // 69
    R"x(｡,.,。,．)x",                                 // 70
    R"x(「,『,｢)x",                                   // 71
    R"x(」,』,｣)x",                                   // 72
    R"x(ん,ン,ﾝ)x",                                   // 73
    R"x(が,ガ,ｶﾞ,か゛,カ゛)x",                        // 74
    R"x(ぎ,ギ,ｷﾞ,き゛,キ゛)x",                        // 75
    R"x(ぐ,グ,ｸﾞ,く゛,ク゛)x",                        // 76
    R"x(げ,ゲ,ｹﾞ,け゛,ケ゛)x",                        // 77
    R"x(ご,ゴ,ｺﾞ,こ゛,コ゛)x",                        // 78
    R"x(ざ,ザ,ｻﾞ,さ゛,サ゛)x",                        // 79
    R"x(じ,ジ,ｼﾞ,し゛,シ゛,ぢ,ヂ,ﾁﾞ,ち゛,チ゛)x",     // 80
    R"x(ず,ズ,ｽﾞ,す゛,ス゛,づ,ヅ,ﾂﾞ,つ゛,ツ゛)x",     // 81
    R"x(ぜ,ゼ,ｾﾞ,せ゛,セ゛)x",                        // 82
    R"x(ぞ,ゾ,ｿﾞ,そ゛,ソ゛)x",                        // 83
    R"x(だ,ダ,ﾀﾞ,た゛,タ゛)x",                        // 84
    R"x(で,デ,ﾃﾞ,て゛,テ゛)x",                        // 85
    R"x(ど,ド,ﾄﾞ,と゛,ト゛)x",                        // 86
    R"x(ば,バ,ﾊﾞ,は゛,ハ゛,ヴァ,う゛ぁ,ウ゛ァ,ｳﾞｧ)x", // 87
    R"x(び,ビ,ﾋﾞ,ひ゛,ヒ゛,ヴィ,う゛ぃ,ウ゛ィ,ｳﾞｨ)x", // 88
    R"x(ぶ,ブ,ﾌﾞ,ふ゛,フ゛,ヴ,ウ゛,う゛,ｳﾞ)x",        // 89
    R"x(べ,ベ,ﾍﾞ,へ゛,ヘ゛,ヴェ,う゛ぇ,ウ゛ェ,ｳﾞｪ)x", // 90
    R"x(ぼ,ボ,ﾎﾞ,ほ゛,ホ゛,ヴォ,う゛ぉ,ウ゛ォ,ｳﾞｫ)x", // 91
    R"x(ぱ,パ,ﾊﾟ,は゜,ハ゜)x",                        // 92
    R"x(ぴ,ピ,ﾋﾟ,ひ゜,ヒ゜)x",                        // 93
    R"x(ぷ,プ,ﾌﾟ,ふ゜,フ゜)x",                        // 94
    R"x(ぺ,ペ,ﾍﾟ,へ゜,ヘ゜)x",                        // 95
    R"x(ぽ,ポ,ﾎﾟ,ほ゜,ホ゜)x",                        // 96
    R"x(あ,ア,ｱ,ぁ,ァ,ｧ)x",                           // 97
    R"x(い,イ,ｲ,ぃ,ィ,ｨ)x",                           // 98
    R"x(う,ウ,ｳ,ぅ,ゥ,ｩ)x",                           // 99
    R"x(え,エ,ｴ,ぇ,ェ,ｪ)x",                           // 100
    R"x(お,オ,ｵ,ぉ,ォ,ｫ)x",                           // 101
    R"x(か,カ,ｶ)x",                                   // 102
    R"x(き,キ,ｷ)x",                                   // 103
    R"x(く,ク,ｸ)x",                                   // 104
    R"x(け,ケ,ｹ)x",                                   // 105
    R"x(こ,コ,ｺ)x",                                   // 106
    R"x(さ,サ,ｻ)x",                                   // 107
    R"x(し,シ,ｼ)x",                                   // 108
    R"x(す,ス,ｽ)x",                                   // 109
    R"x(せ,セ,ｾ)x",                                   // 110
    R"x(そ,ソ,ｿ)x",                                   // 111
    R"x(た,タ,ﾀ)x",                                   // 112
    R"x(ち,チ,ﾁ)x",                                   // 113
    R"x(つ,ツ,ﾂ,っ,ッ,ｯ)x",                           // 114
    R"x(て,テ,ﾃ)x",                                   // 115
    R"x(と,ト,ﾄ)x",                                   // 116
    R"x(な,ナ,ﾅ)x",                                   // 117
    R"x(に,ニ,ﾆ)x",                                   // 118
    R"x(ぬ,ヌ,ﾇ)x",                                   // 119
    R"x(ね,ネ,ﾈ)x",                                   // 120
    R"x(の,ノ,ﾉ)x",                                   // 121
    R"x(は,ハ,ﾊ)x",                                   // 122
    R"x(ひ,ヒ,ﾋ)x",                                   // 123
    R"x(ふ,フ,ﾌ)x",                                   // 124
    R"x(へ,ヘ,ﾍ)x",                                   // 125
    R"x(ほ,ホ,ﾎ)x",                                   // 126
    R"x(ま,マ,ﾏ)x",                                   // 127
    R"x(み,ミ,ﾐ)x",                                   // 128
    R"x(む,ム,ﾑ)x",                                   // 129
    R"x(め,メ,ﾒ)x",                                   // 130
    R"x(も,モ,ﾓ)x",                                   // 131
    R"x(や,ヤ,ﾔ,ゃ,ャ,ｬ)x",                           // 132
    R"x(ゆ,ユ,ﾕ,ゅ,ュ,ｭ)x",                           // 133
    R"x(よ,ヨ,ﾖ,ょ,ョ,ｮ)x",                           // 134
    R"x(ら,ラ,ﾗ)x",                                   // 135
    R"x(り,リ,ﾘ)x",                                   // 136
    R"x(る,ル,ﾙ)x",                                   // 137
    R"x(れ,レ,ﾚ)x",                                   // 138
    R"x(ろ,ロ,ﾛ)x",                                   // 139
    R"x(わ,ワ,ﾜ,うぁ,ウァ,ｳｧ)x",                      // 140
    R"x(ヰ,ゐ,うぃ,ウィ,ｳｨ)x",                        // 141
    R"x(ヱ,ゑ,うぇ,ウェ,ｳｪ)x",                        // 142
    R"x(を,ヲ,ｦ,うぉ,ウォ,ｳｫ)x",                      // 143
    R"x(ﾞ,゛)x",                                      // 144
    R"x(ﾟ,゜)x",                                      // 145
};

} // namespace

std::vector<std::string> SplitRowText(const std::string& text) {
    std::vector<std::string> entries;
    auto blank = [](unsigned char b) { return b >= 0x01 && b <= 0x20; };
    std::size_t p = 0;
    const std::size_t n = text.size();
    while (p < n && blank(text[p]))
        ++p;
    while (p < n && text[p] != 0) {
        std::string entry;
        if (text[p] == '"') {
            ++p;
            while (p < n) {
                if (text[p] == '"') {
                    if (p + 1 < n && text[p + 1] == '"') {
                        entry += '"';
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                entry += text[p++];
            }
        } else {
            const std::size_t b = p;
            while (p<n&& static_cast<unsigned char>(text[p])> 0x20 && text[p] != ',')
                ++p;
            entry.assign(text, b, p - b);
        }
        entries.push_back(std::move(entry));
        while (p < n && blank(text[p]))
            ++p;
        if (p < n && text[p] == ',') {
            ++p;
            while (p < n && blank(text[p]))
                ++p;
            if (p >= n) entries.emplace_back();
        }
    }
    return entries;
}

const TCharDictionary& EquivalenceDictionary() {
    static const TCharDictionary dictionary = [] {
        TCharDictionary d;
        for (const char* row : kRowTexts)
            d.Rows.push_back(SplitRowText(cp932::FromUtf8(row)));
        return d;
    }();
    return dictionary;
}

std::optional<TDictMatch> MatchDictionary(const TCharDictionary& dictionary,
                                          const std::vector<TCharCode>& run, std::size_t start) {
    for (const auto& row : dictionary.Rows) {
        for (const std::string& entry : row) {
            if (entry.empty()) continue;
            int pos = 1;
            std::size_t k = start;
            bool equal = true;
            for (TCharCode c; (c = GetChar(entry, pos)) != kEndOfPattern; ++k) {
                if (k >= run.size() || run[k] != c) {
                    equal = false;
                    break;
                }
            }
            if (!equal) continue;
            TDictMatch m;
            m.Consumed = k - start;
            m.Replacement = "(";
            for (std::size_t e = 0; e < row.size(); ++e) {
                if (e > 0) m.Replacement += '|';
                m.Replacement += QuoteMeta(row[e]);
            }
            m.Replacement += ')';
            return m;
        }
    }
    return std::nullopt;
}

} // namespace engine
