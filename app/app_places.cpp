#include "app/app_places.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

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

}  // namespace

AppPlaces resolvePlaces(const std::string& programFolder, const EnvLookup& env,
                        const std::vector<std::string>& templateFolders) {
    AppPlaces places;
    std::error_code ec;
    for (const std::string& folder : templateFolders) {
        if (!folder.empty() && fs::is_directory(folder, ec)) {
            places.templateFolder = folder;
            break;
        }
    }
    const fs::path beside = fs::path(programFolder) / "epubfiles";
    if (writableFolder(programFolder) && writableFolder(beside)) {
        places.configFile = (fs::path(programFolder) / "config.ini").string();
        return places;
    }
    const fs::path config = baseFolder(env, "XDG_CONFIG_HOME", ".config") / "quirebind";
    fs::create_directories(config, ec);
    places.configFile = (config / "config.ini").string();
    return places;
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
