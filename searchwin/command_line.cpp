#include "command_line.h"

namespace {

const char* const kUsage =
    "Usage: quelvra [FOLDER]\n"
    "Searches folders of Shift-JIS notes for the lines that hold up to three keywords.\n"
    "\n"
    "  FOLDER         the folder to search, chosen as with the folder button; without it,\n"
    "                 a folder is picked in the window\n"
    "  -h, --help     this text\n"
    "      --version  the program's version\n"
    "\n"
    "The settings, color.ini, help.txt and the folders of the folder list lie in the program\n"
    "folder: the executable's own folder, or ~/.local/share/quelvra ($XDG_DATA_HOME/quelvra)\n"
    "for an installed program. See quelvra(1).\n";

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine c;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (const std::string& a : args) {
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            operands.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "-h" || a == "--help") {
            c.action = TCommandLine::Action::Help;
            return c;
        } else if (a == "--version") {
            c.action = TCommandLine::Action::Version;
            return c;
        } else {
            c.action = TCommandLine::Action::Error;
            c.error = "unknown option " + a;
            return c;
        }
    }
    if (operands.size() > 1) {
        c.action = TCommandLine::Action::Error;
        c.error = "one folder at most (" + std::to_string(operands.size()) + " given)";
        return c;
    }
    if (!operands.empty()) {
        if (operands[0].empty()) {
            c.action = TCommandLine::Action::Error;
            c.error = "the folder is an empty name";
            return c;
        }
        c.folder = operands[0];
    }
    return c;
}

std::filesystem::path AbsoluteFolder(const std::string& given, const std::filesystem::path& start) {
    std::filesystem::path p = (start / given).lexically_normal();
    if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
    return p;
}

const char* CommandLineUsage() {
    return kUsage;
}

std::string VersionLine() {
    return "quelvra " QUELVRA_VERSION "\n";
}
