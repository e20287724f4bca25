// Private-profile files: the INI-style settings files of the program, read and written one key at
// a time. Qt-free, so that the settings component stays free of the GUI.
//
// Sections are "[name]" lines, keys "key=value" lines; the file is Shift-JIS text with CR LF.
// What callers rely on:
// - a read returns the stored value, or the default when the file, section or key is missing;
// - blanks (spaces, tabs) around a value and one pair of enclosing quotes (" or ') are removed;
// - section and key names compare without regard to case (ASCII letters; two-byte characters
//   compare exactly), and blanks around them do not count;
// - at most kMaxProfileValue bytes of a value come back (never half of a two-byte character);
// - a write replaces the value of the key or adds the key, adding the section when missing.
// A write replaces the whole file as one step (files::Replace), so a crash or a full disk never
// leaves a half-written or empty settings file behind.
// Paths are Shift-JIS with "/" separators.
#pragma once

#include <cstddef>
#include <string>

namespace app {

constexpr std::size_t kMaxProfileValue = 2047;

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& def, const std::string& path);

// False when the file could not be written; the file is then as it was before. A line break in
// the value cannot be stored on one line and becomes a space. A section or key name that the
// format cannot hold (empty, a line break, "]" in a section, "=" in a key, a lead byte at its
// end) is refused: a write never adds a line that no read can reach.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

} // namespace app
