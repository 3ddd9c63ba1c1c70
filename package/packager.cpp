#include "package/packager.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "package/zip_errors.h"
#include "package/zip_writer.h"
#include "platform/failure_message.h"

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
        // Only the book's own files, named one by one: whatever else lies in the work folder
        // (a book saved there, a user's notes) would otherwise travel in every book made.
        // Readers refuse a book without the template's files, so their absence ends the build.
        for (const char* member : kBookMembers) {
            const std::string path = root + "/" + member;
            if (::stat(path.c_str(), &st) != 0) {
                return {false, "Cannot open file \"" + path + "\". " + std::strerror(errno)};
            }
            if (!S_ISREG(st.st_mode)) {
                return {false, "Cannot open file \"" + path + "\". Not a regular file"};
            }
            zip.filesList().push_back(path);
        }
        zip.filesList().push_back(root + "/" + kContentFolder + "/*.*");
        // Readers find the book's media type only as the first, uncompressed member.
        zip.setStoreFirst("mimetype");
        zip.setProcessMessages(callbacks.processMessages);
        zip.setCancelled(callbacks.cancelled);
        zip.setPublishing(callbacks.publishing);
        zip.setShortReadHandler(callbacks.shortRead);
        zip.setProgressHandler(callbacks.progress);
        zip.setJobs(options.jobs);
        zip.setReplace(options.replace);
        zip.setRequiredMembers(options.required);
        zip.setDeflatedAhead(options.ahead);
        zip.setDeflateEngine(options.engine);

        if (callbacks.processMessages) callbacks.processMessages();
        if (callbacks.cancelled && callbacks.cancelled()) return {false, {}, true};
        zip.zip();
        return {true, {}};
    } catch (const ZipCancelled&) {
        return {false, {}, true};
    } catch (const std::exception& error) {
        return {false, failureMessage(error, "packing \"" + zipName + "\"")};
    } catch (...) {
        return {false, "Unknown error while packing \"" + zipName + "\""};
    }
}

}  // namespace qb
