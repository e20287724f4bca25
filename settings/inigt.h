// TIniGT: a window's settings in a private settings file (INI style), with typed values:
// fenced strings, Booleans, integers, hexadecimal colours, string lists and window placements.
// Standard library only; text and paths are Shift-JIS, paths with "/" separators.
#pragma once

#include "window_placement.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

enum TIniGTDefaultDir {
    ddApplication, // the folder of the executable
    ddWindows,     // the system's settings folder
    ddNone,        // the name alone
};

// How string values are enclosed in the file. The platform's read strips blanks and quotes
// around a value; a fence keeps them.
enum TIniGTFence {
    fnDoubleQuote, // "value"
    fnParenthesis, // ｢value｣ (half-width corner brackets, bytes A2 and A3)
    fnVer11Mode,   // writes ｢value｣, reads both fences
    fnNone,        // bare
};

// A write the file system refused. what() is the Shift-JIS message "<path> に書き込めません".
class EIniFileException : public std::runtime_error {
  public:
    explicit EIniFileException(const std::string& message) : std::runtime_error(message) {}
};

class TIniGT {
  public:
    // The folder that stands for the Windows folder of ddWindows.
    static const char* const kSystemFolder;
    // Values of a string list beyond this many are not read: a damaged count must not make the
    // window read for hours.
    static constexpr int kMaxListItems = 1000;

    TIniGT();

    TIniGTDefaultDir DefaultDir() const { return defaultDir_; }
    void SetDefaultDir(TIniGTDefaultDir d);
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name);
    TIniGTFence Fence() const { return fence_; }
    void SetFence(TIniGTFence f) { fence_ = f; }

    // The executable whose folder ddApplication uses and whose name the default file name takes;
    // the running program unless set (tests set it to put the file in a folder of their own).
    const std::string& Executable() const { return executable_; }
    void SetExecutable(const std::string& path);
    // The end of loading: an empty FileName becomes the executable's name, lower case with an
    // upper-case first letter and the extension ".ini" ("quelvra" -> "Quelvra.ini").
    void Loaded();
    // The settings file's path.
    const std::string& Path() const { return path_; }
    // The default file name for an executable path (see Loaded).
    static std::string DefaultFileName(const std::string& executable);

    std::string ReadStringRaw(const std::string& section, const std::string& key,
                              const std::string& def) const;
    void WriteStringRaw(const std::string& section, const std::string& key,
                        const std::string& value) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& def) const;
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    void WriteBool(const std::string& section, const std::string& key, bool value) const;
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t def) const;
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value) const;
    std::int32_t ReadColor(const std::string& section, const std::string& key,
                           std::int32_t def) const;
    void WriteColor(const std::string& section, const std::string& key, std::int32_t value) const;
    std::int32_t ReadHex(const std::string& section, const std::string& key,
                         std::int32_t def) const;
    void WriteHex(const std::string& section, const std::string& key, std::int32_t value) const;
    // Replaces the list's items by the stored ones ("L.Count", "L.0", "L.1", ...); with nothing
    // stored the list stays as it is.
    void ReadStrings(const std::string& section, const std::string& name,
                     std::vector<std::string>& list) const;
    void WriteStrings(const std::string& section, const std::string& name,
                      const std::vector<std::string>& list) const;
    // The eight keys "P.Flags", "P.Show", "P.MaxX", "P.MaxY", "P.X", "P.Y", "P.XSize" and
    // "P.YSize" (the last four the edges of the normal rectangle), each defaulting to `current`.
    app::WindowPlacement ReadWindowPlacement(const std::string& section, const std::string& name,
                                             const app::WindowPlacement& current) const;
    void WriteWindowPlacement(const std::string& section, const std::string& name,
                              const app::WindowPlacement& placement) const;

    // The integer forms of the file: signed decimal, "$" or "0x" and hexadecimal digits.
    static bool ParseInteger(const std::string& text, std::int32_t& out);
    // "0x" and 8 upper-case hexadecimal digits.
    static std::string FormatHex(std::int32_t value);

  private:
    void UpdatePath();
    std::string Enclose(const std::string& value) const;

    TIniGTDefaultDir defaultDir_ = ddApplication;
    std::string fileName_;
    TIniGTFence fence_ = fnNone;
    std::string executable_;
    std::string path_;
};
