// The program's command line: nothing, or the folder to search (a file manager or the desktop
// menu passes one), and the usual --help and --version.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string folder; // as given (native bytes); empty when none was
    std::string error;  // for Action::Error, one line without the program's name
};

// args: the arguments after the program's name, the display system's own options already
// taken out. "--" ends the options, so a folder may begin with "-".
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The folder given, made absolute against `start` (where the program was started) and written
// plainly: no "." or ".." steps, no trailing "/".
std::filesystem::path AbsoluteFolder(const std::string& given, const std::filesystem::path& start);

// The --help text and the --version line, each ending in a line break.
const char* CommandLineUsage();
std::string VersionLine();
