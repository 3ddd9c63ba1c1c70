#include "package/packager.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "package/zip_errors.h"
#include "package/zip_writer.h"

namespace qb {

bool removeFolder(const std::string& folder, std::string* cause) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    if (error && cause != nullptr) *cause = error.message();
    return !error;
}

PackResult packageFolder(const std::string& zipName, const std::string& folder,
                         const PackCallbacks& callbacks, const PackOptions& options) {
    try {
        if (zipName.find_first_not_of(" \t\r\n") == std::string::npos) {
            return {false, "No archive path was given"};
        }
        std::string root = folder;
        if (!root.empty() && root.back() == '/') root.pop_back();

        // A folder that is not there would give an empty book that looks like a success.
        struct stat st {};
        const std::string statPath = root.empty() ? "/" : root;
        if (::stat(statPath.c_str(), &st) != 0) {
            return {false, "Cannot open folder \"" + folder + "\". " + std::strerror(errno)};
        }
        if (!S_ISDIR(st.st_mode)) {
            return {false, "Cannot open folder \"" + folder + "\". " + std::strerror(ENOTDIR)};
        }

        TVCLZip zip;
        zip.setRootDir(root);
        zip.setRelativePaths(true);
        zip.filesList().clear();
        zip.setZipName(zipName);
        zip.filesList().push_back(root + "/*.*");
        // Readers find the book's media type only as the first, uncompressed member.
        zip.setStoreFirst("mimetype");
        zip.setProcessMessages(callbacks.processMessages);
        zip.setCancelled(callbacks.cancelled);
        zip.setShortReadHandler(callbacks.shortRead);
        zip.setProgressHandler(callbacks.progress);
        zip.setJobs(options.jobs);
        zip.setReplace(options.replace);
        zip.setRequiredMembers(options.required);

        if (callbacks.processMessages) callbacks.processMessages();
        if (callbacks.cancelled && callbacks.cancelled()) return {false, {}, true};
        zip.zip();
        return {true, {}};
    } catch (const ZipCancelled&) {
        return {false, {}, true};
    } catch (const std::exception& error) {
        return {false, error.what()};
    } catch (...) {
        return {false, "Unknown error while packing \"" + zipName + "\""};
    }
}

}  // namespace qb
