// The program folder: where the settings file, help.txt, color.ini, tentative.doc, the result
// files and the data folders of the folder list lie. Standard library only.
//
// Run from a folder of its own (a build folder, a copied program folder) the program keeps all
// of it beside the executable. An installed program cannot: /usr/bin is not the user's to write.
// Then the program folder is the user's data folder, $XDG_DATA_HOME/quelvra, made at the first
// start from the installed side files and sample notes.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace app {

// Everything the choice looks at, so that tests can put folders of their own in its place.
struct ProgramFolderPlaces {
    // The running executable's folder.
    std::filesystem::path executableFolder;
    // The settings file's name ("Quelvra.ini" for quelvra).
    std::string settingsFileName;
    // Where an installed program's side files and sample notes lie (../share/quelvra from the
    // executable's folder as the build installs them; empty for an executable outside a "bin"
    // folder). Its presence marks an installed program.
    std::filesystem::path installedFiles;
    // $XDG_DATA_HOME and $HOME; nullopt when unset.
    std::optional<std::string> xdgDataHome;
    std::optional<std::string> home;
    // Whether the user may make and replace files in a folder.
    std::function<bool(const std::filesystem::path&)> isWritable;
};

struct ProgramFolderChoice {
    enum class Kind {
        Executable, // the executable's folder, as a program run from its own folder has it
        User,       // the user's data folder
        Installed, // the installed files themselves, read-only: the user's folder could not be made
    };
    Kind kind = Kind::Executable;
    std::filesystem::path folder;
    // The user's data folder was made at this start and filled with the installed files.
    bool madeNow = false;
    // What went wrong on the way, in a line for the terminal; empty when nothing did.
    std::string problem;
};

// The places of the running program: its folder, the installed files beside it, the
// environment, and IsWritableFolder.
ProgramFolderPlaces RunningProgramPlaces(const std::filesystem::path& executableFolder,
                                         const std::string& settingsFileName);

// The user's data folder for Quelvra: $XDG_DATA_HOME/quelvra, or ~/.local/share/quelvra when
// $XDG_DATA_HOME is unset, empty or not absolute. nullopt without a usable home folder either.
std::optional<std::filesystem::path> UserDataFolder(const ProgramFolderPlaces& places);

// Chooses the program folder, and makes the user's data folder when it is chosen and missing:
//  - the executable's folder when it holds the settings file, or when the user may write it and
//    it is not an installed program's (no installed files beside it);
//  - otherwise the user's data folder. Missing, it is made (with any missing parents, 0700 as
//    the base directory rules ask) and filled with copies of the installed files, all at once:
//    they are copied into a new folder beside it that is then renamed, so an interrupted first
//    start leaves no half-filled folder behind. An existing one is used as it stands: the
//    user's files in it are never touched.
// When the user's folder cannot be had, the installed files are used as they stand (read-only:
// the settings are not saved), or the executable's folder without them; `problem` says why.
ProgramFolderChoice ChooseProgramFolder(const ProgramFolderPlaces& places);

// Whether the user may create and rename files in `folder`: write and search permission, on a
// file system mounted for writing.
bool IsWritableFolder(const std::filesystem::path& folder);

} // namespace app
