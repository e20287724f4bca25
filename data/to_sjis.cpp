// Build tool: writes a UTF-8 text file as Shift-JIS, with CR LF or LF line ends and with or
// without a final line end, so that the bundled sample files show every case the reader meets.
//   to_sjis INPUT OUTPUT [--crlf] [--no-final-newline]
#include "codec.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: to_sjis INPUT OUTPUT [--crlf] [--no-final-newline]\n";
        return 2;
    }
    bool crlf = false, finalNewline = true;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--crlf") == 0) crlf = true;
        if (std::strcmp(argv[i], "--no-final-newline") == 0) finalNewline = false;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "to_sjis: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::string out;
    for (char c : cp932::FromUtf8(text)) {
        if (c == '\r') continue;
        if (c == '\n' && crlf) out += '\r';
        out += c;
    }
    if (finalNewline) out += crlf ? "\r\n" : "\n";
    std::ofstream o(argv[2], std::ios::binary);
    o << out;
    return o ? 0 : 1;
}
