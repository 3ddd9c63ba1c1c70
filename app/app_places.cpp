#include "app/app_places.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

bool writableFolder(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are to be
// ignored), else the default below the home folder.
fs::path baseFolder(const EnvLookup& env, const char* variable, const char* fallback) {
    const std::string value = env(variable);
    if (!value.empty() && value.front() == '/') return value;
    std::string home = env("HOME");
    if (home.empty()) home = "/tmp";
    return fs::path(home) / fallback;
}

bool sameContent(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary);
    std::ifstream y(b, std::ios::binary);
    if (!x || !y) return false;
    return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

// Another running program may be packing this very file: it is left alone when unchanged and
// otherwise replaced in one step, through a hidden copy that the packer never picks up.
void replaceFile(const fs::path& from, const fs::path& to) {
    if (sameContent(from, to)) return;
    const fs::path fresh = to.parent_path() / ("." + to.filename().string() + ".new");
    std::error_code ec;
    fs::copy_file(from, fresh, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(fresh, to, ec);
    if (ec) fs::remove(fresh, ec);
}

// Copies the template's files over the work folder's, so that an update of the program brings
// its template along. The content folder is the run's own and is left to it.
void refreshTemplate(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    for (auto it = fs::recursive_directory_iterator(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = fs::relative(it->path(), from, ec);
        if (relative.empty() || *relative.begin() == "OEBPS") {
            it.disable_recursion_pending();
            continue;
        }
        std::error_code entryError;
        if (it->is_directory(entryError))
            fs::create_directories(to / relative, entryError);
        else
            replaceFile(it->path(), to / relative);
    }
}

}  // namespace

AppPlaces resolvePlaces(const std::string& programFolder, const EnvLookup& env,
                        const std::vector<std::string>& templateFolders) {
    const fs::path beside = fs::path(programFolder) / "epubfiles";
    if (writableFolder(programFolder) && writableFolder(beside))
        return {beside.string(), (fs::path(programFolder) / "config.ini").string()};

    const fs::path work = baseFolder(env, "XDG_CACHE_HOME", ".cache") / "quirebind" / "epubfiles";
    const fs::path config = baseFolder(env, "XDG_CONFIG_HOME", ".config") / "quirebind";
    std::error_code ec;
    fs::create_directories(config, ec);
    for (const std::string& folder : templateFolders) {
        if (!folder.empty() && fs::is_directory(folder, ec)) {
            refreshTemplate(folder, work);
            break;
        }
    }
    return {work.string(), (config / "config.ini").string()};
}

AppPlaces currentPlaces() {
    const std::string folder = programFolder();
    const std::string found = findTemplateFolder();
    std::vector<std::string> templates;
    if (!found.empty()) templates.push_back(found);
    const EnvLookup env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    return resolvePlaces(folder, env, templates);
}

QString applicationTitle(const QString& programFile) {
    QString title = QFileInfo(programFile).fileName();
    const qsizetype dot = title.indexOf(u'.');
    if (dot >= 0) title.truncate(dot);
    if (title.isEmpty()) return title;
    return title.left(1).toUpper() + title.mid(1).toLower();
}

QString applicationTitle() {
    return applicationTitle(QCoreApplication::applicationFilePath());
}

std::string privateWorkRoot(const EnvLookup& env) {
    return (baseFolder(env, "XDG_CACHE_HOME", ".cache") / "quirebind").string();
}

std::string privateWorkRoot() {
    return privateWorkRoot([](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    });
}

}  // namespace qb
