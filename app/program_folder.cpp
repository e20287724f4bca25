#include "program_folder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace app {
namespace {

std::optional<std::string> Environment(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}

bool IsDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

// Makes `folder` and its missing parents with mode 0700 (what umask leaves of it).
bool MakeFolders(const fs::path& folder, std::string& problem) {
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        if (IsDirectory(made)) continue;
        if (::mkdir(made.c_str(), 0700) == 0) continue;
        const int error = errno;
        if (IsDirectory(made)) continue; // made by someone else meanwhile
        problem = "cannot make the folder " + made.string() + ": " +
                  std::error_code(error, std::generic_category()).message();
        return false;
    }
    return true;
}

// The user's copy is the user's to change, whatever the installed files' modes say.
void MakeOwnerWritable(const fs::path& folder, std::error_code& ec) {
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
}

enum class Made { Now, ByAnother, Failed };

// Makes `target` as a copy of `source` (its whole contents; an empty folder without a source).
// The copy is made in a new folder beside the target and renamed into place, so the target
// appears whole or not at all.
Made MakeFilledFolder(const fs::path& target, const fs::path& source, std::string& problem) {
    if (!MakeFolders(target.parent_path(), problem)) return Made::Failed;
    std::error_code ec;
    fs::path staging;
    for (int i = 0;; ++i) {
        staging = target.parent_path() / ("." + target.filename().string() + ".new-" +
                                          std::to_string(::getpid()) + "-" + std::to_string(i));
        if (fs::create_directory(staging, ec)) break;
        if (ec || i == 100) {
            problem = "cannot make a folder in " + target.parent_path().string() + ": " +
                      (ec ? ec.message() : std::string("too many left-over folders"));
            return Made::Failed;
        }
    }
    if (IsDirectory(source)) {
        fs::copy(source, staging, fs::copy_options::recursive, ec);
        if (!ec) MakeOwnerWritable(staging, ec);
        if (ec)
            problem =
                "cannot copy " + source.string() + " to " + target.string() + ": " + ec.message();
    }
    if (!ec) {
        fs::rename(staging, target, ec);
        if (!ec) return Made::Now;
        problem = "cannot make the folder " + target.string() + ": " + ec.message();
    }
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    // Another start may have made it meanwhile: theirs stands.
    if (IsDirectory(target)) {
        problem.clear();
        return Made::ByAnother;
    }
    return Made::Failed;
}

} // namespace

bool IsWritableFolder(const fs::path& folder) {
    // access() also answers EROFS for a read-only mount, which no permission bit shows.
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

ProgramFolderPlaces RunningProgramPlaces(const fs::path& executableFolder,
                                         const std::string& settingsFileName) {
    ProgramFolderPlaces p;
    p.executableFolder = executableFolder;
    p.settingsFileName = settingsFileName;
    // Only an executable in an installation's program folder (".../bin") has installed files.
    const fs::path binDir = QUELVRA_INSTALLED_BINDIR;
    auto exeEnd = executableFolder.end(), binEnd = binDir.end();
    bool inBinDir = true;
    while (binEnd != binDir.begin() && inBinDir) {
        if (exeEnd == executableFolder.begin() || *--exeEnd != *--binEnd) inBinDir = false;
    }
    if (inBinDir)
        p.installedFiles = (executableFolder / QUELVRA_INSTALLED_FILES).lexically_normal();
    p.xdgDataHome = Environment("XDG_DATA_HOME");
    p.home = Environment("HOME");
    p.isWritable = IsWritableFolder;
    return p;
}

std::optional<fs::path> UserDataFolder(const ProgramFolderPlaces& places) {
    // The base directory rules: a relative path in the variable is invalid and ignored.
    if (places.xdgDataHome && fs::path(*places.xdgDataHome).is_absolute())
        return fs::path(*places.xdgDataHome) / "quelvra";
    if (places.home && fs::path(*places.home).is_absolute())
        return fs::path(*places.home) / ".local" / "share" / "quelvra";
    return std::nullopt;
}

ProgramFolderChoice ChooseProgramFolder(const ProgramFolderPlaces& places) {
    using Kind = ProgramFolderChoice::Kind;
    ProgramFolderChoice choice;
    choice.folder = places.executableFolder;
    std::error_code ec;
    if (fs::exists(places.executableFolder / places.settingsFileName, ec)) return choice;
    const bool installed = IsDirectory(places.installedFiles);
    if (!installed && places.isWritable(places.executableFolder)) return choice;

    const std::optional<fs::path> user = UserDataFolder(places);
    if (!user) {
        choice.problem = "no home folder (HOME and XDG_DATA_HOME are unset or not absolute)";
    } else if (IsDirectory(*user)) {
        choice.kind = Kind::User;
        choice.folder = *user;
        return choice;
    } else if (fs::symlink_status(*user, ec).type() != fs::file_type::not_found) {
        choice.problem = user->string() + " is not a folder";
    } else if (const Made made = MakeFilledFolder(*user, places.installedFiles, choice.problem);
               made != Made::Failed) {
        choice.kind = Kind::User;
        choice.folder = *user;
        choice.madeNow = made == Made::Now;
        return choice;
    }
    if (installed) {
        choice.kind = Kind::Installed;
        choice.folder = places.installedFiles;
    }
    return choice;
}

} // namespace app
