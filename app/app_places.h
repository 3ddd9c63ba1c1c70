#pragma once
// Where the window keeps its work folder and its settings, and the application's title.

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace qb {

struct AppPlaces {
    std::string workFolder;  // holds the template (mimetype, META-INF/) and receives OEBPS/
    std::string configFile;  // config.ini
};

// Reads an environment variable; empty when unset.
using EnvLookup = std::function<std::string(const char* name)>;

// Run from the build tree, or from any folder the user owns, the program keeps everything
// beside itself: programFolder/epubfiles and programFolder/config.ini. An installed copy cannot
// write there, so it works in $XDG_CACHE_HOME/quirebind/epubfiles (made from the installed
// template, refreshed at every start) and keeps $XDG_CONFIG_HOME/quirebind/config.ini; the
// defaults are ~/.cache and ~/.config. templateFolders are tried in order for the template.
AppPlaces resolvePlaces(const std::string& programFolder, const EnvLookup& env,
                        const std::vector<std::string>& templateFolders);

// The places of the running program.
AppPlaces currentPlaces();

// Where a program whose work folder is taken by another running one keeps a private one:
// $XDG_CACHE_HOME/quirebind (~/.cache/quirebind). The cache is on disk; $XDG_RUNTIME_DIR is
// usually a small memory file system that the pages of a big book could fill.
std::string privateWorkRoot(const EnvLookup& env);
std::string privateWorkRoot();

// The title the program's boxes carry: the program file's name without its folder, cut at its
// first ".", first letter upper case, the rest lower case ("quirebind" gives "Quirebind").
QString applicationTitle(const QString& programFile);
QString applicationTitle();

}  // namespace qb
