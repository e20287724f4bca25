// Listing the data files of a folder: one level or the whole subtree. Standard library only, so
// that the window and quelvra-grep search the same files in the same order. Names and paths are
// Shift-JIS; "/" separates folders.
#pragma once

#include <string>
#include <vector>

namespace listing {

// The order of the file list: letters compared without regard to case, then bytes.
bool LessLikeList(const std::string& a, const std::string& b);
void SortLikeList(std::vector<std::string>& items);

// Names in `folder` (no subfolders) whose extension, from the last dot, is `ext` (no dot),
// compared without regard to case. Only regular files (or links to them) are listed, and folders
// whose names match; sockets, FIFOs and devices never. Sorted.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& ext);

// Paths relative to `folder` of every regular file (or link to one) below it whose extension is
// `extWithDot` (".txt"), compared without regard to case. Names beginning with "." are neither
// listed nor entered. Symbolic links to folders are followed, but a folder already visited is not
// entered again, so a link cycle ends and every file is listed once, under its path without links
// where there is one. Sorted. Missing folder: empty.
std::vector<std::string> ListFilesInTree(const std::string& folder, const std::string& extWithDot);

// The subfolders of `folder` whose names have no extension (no dot at all, so no dot-folders
// either), sorted.
std::vector<std::string> ListFolders(const std::string& folder);

// Joins a folder and a name with "/" (no doubled separator).
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace listing
