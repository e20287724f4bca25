#include "query.h"

namespace engine {
namespace {

const std::string kFullWidthSpace = "\x81\x40"; // "　" in code page 932

std::string Piece(const std::vector<const std::string*>& order) {
    std::string s = "(";
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0) s += ".*";
        s += "(" + *order[i] + ")";
    }
    return s + ")";
}

} // namespace

std::string ClearFullWidthSpaces(const std::string& field) {
    if (field == kFullWidthSpace || field == kFullWidthSpace + kFullWidthSpace ||
        field == kFullWidthSpace + kFullWidthSpace + kFullWidthSpace)
        return {};
    return field;
}

std::string TrimKeyword(const std::string& field) {
    size_t b = 0, e = field.size();
    while (b < e && static_cast<unsigned char>(field[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(field[e - 1]) <= 32)
        --e;
    return field.substr(b, e - b);
}

std::string ComposePattern(const std::vector<std::string>& keywords) {
    std::vector<const std::string*> k;
    for (const auto& w : keywords)
        if (!w.empty()) k.push_back(&w);
    switch (k.size()) {
    case 0:
        return {};
    case 1:
        return *k[0];
    case 2:
        return Piece({k[0], k[1]}) + "|" + Piece({k[1], k[0]});
    default: {
        const auto &a = k[0], &b = k[1], &c = k[2];
        return Piece({a, b, c}) + "|" + Piece({a, c, b}) + "|" + Piece({b, a, c}) + "|" +
               Piece({b, c, a}) + "|" + Piece({c, a, b}) + "|" + Piece({c, b, a});
    }
    }
}

} // namespace engine
