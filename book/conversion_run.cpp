#include "book/conversion_run.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "book/book_metadata.h"
#include "book/cover_writer.h"
#include "book/page_writer.h"
#include "book/stylesheet.h"
#include "package/packager.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

// Clears the running flag however the run ends.
class RunningGuard {
public:
    explicit RunningGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningGuard() { m_flag = false; }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    bool& m_flag;
};

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Copies the cover picture beside the pages. The copy is made by hand rather than with
// copy_file so that an unreadable picture and an unwritable copy give different messages.
void copyCover(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) throw EFOpenError(from, std::strerror(errno));
    std::error_code ec;
    if (fs::is_directory(from, ec)) throw EFOpenError(from, std::strerror(EISDIR));
    if (fs::exists(to, ec)) throw EFCreateError(to, std::strerror(EEXIST));
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(to, std::strerror(errno));
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = in.gcount();
        if (got > 0 && !out.write(buffer.data(), got)) throw EWriteError();
    }
    if (in.bad()) throw EFOpenError(from, std::strerror(EIO));
    out.close();
    if (!out) throw EWriteError();
}

// The name the cover picture gets inside the book. The picture keeps its own name when that is
// a plain URI-safe file name; otherwise (blanks, "%", "#", non-ASCII, a leading ".", a name
// the book itself uses) readers and checkers would stumble over the reference, so it becomes
// "cover" plus the extension its content calls for.
std::string coverFileName(const std::string& coverPath, const std::string& mediaType) {
    const std::string name = fileNamePart(coverPath);
    bool safe = !name.empty() && name[0] != '.';
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) safe = false;
    }
    const bool taken = name == "cover.html" || name == "stylesheet.css" || name == "fb.opf" ||
                       name == "fb.ncx" ||
                       (name.rfind("page", 0) == 0 && name.size() > 9 &&
                        name.compare(name.size() - 5, 5, ".html") == 0);
    if (safe && !taken) return name;
    if (mediaType == "image/png") return "cover.png";
    if (mediaType == "image/gif") return "cover.gif";
    return "cover.jpg";
}

}  // namespace

ConversionRun::ConversionRun(std::string workFolder)
    : m_workFolder(std::move(workFolder)), m_contentFolder(joinPath(m_workFolder, "OEBPS")) {}

RunResult ConversionRun::run(const BookProject& project, RunUi& ui) {
    // The packager lets the window handle events, so a second click on "Convert" can arrive
    // while a run is packing; it must not start another run over the same folders.
    if (m_running) return RunResult::Skipped;
    const int pageCount = static_cast<int>(project.sourceFiles.size());
    if (pageCount == 0) return RunResult::Skipped;
    RunningGuard guard(m_running);
    m_targetArchive.clear();

    try {
        std::error_code ec;
        if (fs::exists(m_contentFolder, ec)) {
            // Whatever resists removal would be packed into the new book beside its own pages
            // (a page of the last book, say): stop rather than mix two books.
            std::string cause;
            if (!removeFolder(m_contentFolder, &cause)) {
                throw Error("Cannot remove folder \"" + m_contentFolder + "\". " + cause);
            }
        }
        fs::create_directories(m_contentFolder, ec);

        for (int k = 1; k <= pageCount; ++k) {
            const std::string page = "page" + std::to_string(k);
            writePage(project.sourceFiles[static_cast<std::size_t>(k - 1)],
                      joinPath(m_contentFolder, page + ".html"), page, project.charset);
            ui.pageWritten(k, pageCount);
        }
        writeStylesheet(joinPath(m_contentFolder, "stylesheet.css"));

        BookMetadata book;
        book.pageCount = pageCount;
        book.title = project.title;
        book.author = project.author;
        book.contentFolder = m_contentFolder;
        book.identifier = newBookIdentifier();
        book.date = todayDate();
        if (!project.coverPath.empty()) {
            book.coverMediaType = pictureMediaType(project.coverPath);
            const std::string name = coverFileName(project.coverPath, book.coverMediaType);
            copyCover(project.coverPath, joinPath(m_contentFolder, name));
            book.coverPath = name;
            writeCoverPage(joinPath(m_contentFolder, "cover.html"), name);
        }
        writePackageDocument(book);
        writeNavigationControlFile(book);
    } catch (const std::exception& e) {
        ui.showError(errorBoxText(e.what()));
        return RunResult::Failed;
    }

    // The entries are checked only now, so the unpacked book of this run stays in the content
    // folder even when one of them is missing.
    if (project.outputFolder.empty()) {
        ui.showNote("Please set the saving path!");
        return RunResult::Stopped;
    }
    if (project.title.empty()) {
        ui.showNote("Please set the book title!");
        return RunResult::Stopped;
    }
    if (project.author.empty()) {
        ui.showNote("Please set the author name!");
        return RunResult::Stopped;
    }

    std::error_code ec;
    fs::create_directories(project.outputFolder, ec);
    m_targetArchive = joinPath(project.outputFolder, archiveFileName(project.title));

    // The old archive is not deleted here: the packager replaces it only once the new one is
    // complete, so a failed build never costs the user the book they had. The answer covers
    // only that book: one that appears at the path while this one is packed is kept.
    const bool existed = fs::exists(m_targetArchive, ec);
    if (existed && !ui.askOverwrite("The file is existing. Overwrite?")) return RunResult::Stopped;

    ui.packingStarted();
    PackCallbacks callbacks;
    callbacks.processMessages = [&ui] { ui.processEvents(); };
    callbacks.shortRead = [&ui](const std::string& path, std::uint64_t expected,
                                std::uint64_t read) {
        ui.showWarning(path, "The file changed while it was packed: " + std::to_string(read) +
                                 " of " + std::to_string(expected) + " bytes were read.");
    };
    callbacks.progress = [&ui](std::uint64_t done, std::uint64_t total) {
        ui.packingProgress(done, total);
    };
    PackOptions options;
    options.jobs = project.jobs;
    options.replace = existed;
    const PackResult packed = packageFolder(m_targetArchive, m_workFolder, callbacks, options);
    if (!packed.built) {
        ui.showError(errorBoxText("Failed to build: " + m_targetArchive + "\n" + packed.cause));
        return RunResult::Failed;
    }
    ui.showSuccess("Successed to build: " + m_targetArchive);
    ui.openFolder(project.outputFolder);
    return RunResult::Built;
}

std::string errorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

std::string archiveFileName(const std::string& title) {
    std::string name = title;
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr) c = '_';
    }
    if (name == "." || name == "..") name = "_";
    return name + ".epub";
}

std::string pictureMediaType(const std::string& path) {
    unsigned char head[8] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(head), sizeof head);
    const auto got = in.gcount();
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return "image/jpeg";
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (got >= 8 && std::memcmp(head, png, 8) == 0) return "image/png";
    if (got >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0))
        return "image/gif";
    return "image/jpeg";
}

}  // namespace qb
