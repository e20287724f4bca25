// The texts of a search's results, as the window's pane and quelvra-grep both show them: the
// header naming a file, each hit line, the summary line and the message for a pattern the engine
// rejects. Shift-JIS in and out; each front end adds its own line ends and colours.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// The header of a file's hits. With subfolders, the file's path without its leading `base` and
// "/" (the letter case of single-byte letters aside; a path that does not start so is shown
// whole), else its file name. "/" separates folders.
std::string HeaderText(const std::string& path, const std::string& base, bool subfolders);

// The file-name part of a path.
std::string FileNamePart(const std::string& path);

// Appends a hit line: four spaces, its line number and ":" when `lineNo` is given (above 0),
// "★" when `star`, and the line as it was found.
void AppendHitLine(std::string& out, std::string_view line, bool star, std::int32_t lineNo = 0);

// The summary: the three keyword fields as they were typed (an empty one leaves its place
// empty) and the number of hit lines. Without a line end.
std::string SummaryLine(const std::array<std::string, 3>& fields, long long hits);

// What the user is shown when the keywords make a pattern the engine rejects.
const std::string& BadPatternMessage();

} // namespace engine
