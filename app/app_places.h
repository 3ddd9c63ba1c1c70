#pragma once
// Where the window keeps its work folder and its settings, and the application's title.

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace qb {

struct AppPlaces {
    std::string workFolder;      // the window's own work folder (see WorkFolder); receives OEBPS/
    std::string configFile;      // config.ini
    std::string templateFolder;  // the book template the work folder is made from
};

// Reads an environment variable; empty when unset.
using EnvLookup = std::function<std::string(const char* name)>;

// Run from the build tree, or from any folder the user owns, the program keeps its settings
// beside itself: programFolder/config.ini. An installed copy cannot write there, so it keeps
// $XDG_CONFIG_HOME/quirebind/config.ini (default ~/.config). The template is the first of
// templateFolders that is a folder; the work folder is left to the caller, who makes it.
AppPlaces resolvePlaces(const std::string& programFolder, const EnvLookup& env,
                        const std::vector<std::string>& templateFolders);

// The places of the running program.
AppPlaces currentPlaces();

// Where each window makes its work folder: $XDG_CACHE_HOME/quirebind (~/.cache/quirebind). The
// cache is on disk; $XDG_RUNTIME_DIR is usually a small memory file system that the pages of a
// big book could fill.
std::string privateWorkRoot(const EnvLookup& env);
std::string privateWorkRoot();

// The title the program's boxes carry: the program file's name without its folder, cut at its
// first ".", first letter upper case, the rest lower case ("quirebind" gives "Quirebind").
QString applicationTitle(const QString& programFile);
QString applicationTitle();

}  // namespace qb
