#include "book/conversion_run.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
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
#include "platform/utf8.h"

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

// Thrown from the packer's event callback when the user stops the run; the packer removes its
// unfinished archive on the way out, whatever it does with the exception.
struct RunCancelled {};

// Creates the output folder with its missing parents. A failure names the first folder that
// could not be made and the system's reason for it, not the "No such file or directory" that
// every deeper folder would give after it.
void createOutputFolder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    std::size_t end = folder.size();
    while (end > 1 && folder[end - 1] == '/') --end;
    for (std::size_t pos = 1; pos <= end; ++pos) {
        if (pos < end && folder[pos] != '/') continue;
        const std::string prefix = folder.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0777) == 0) continue;
        int cause = errno;
        if (cause == EEXIST) {
            if (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            // A file in a parent's place: the next mkdir says so itself.
            if (pos < end) continue;
            cause = ENOTDIR;
        }
        throw Error("Cannot create folder \"" + folder.substr(0, pos) + "\". " +
                    std::strerror(cause));
    }
}

// Unicode white space (and the invisible zero-width space and byte-order mark) at s[pos].
std::size_t blankLength(std::string_view s, std::size_t pos) {
    const auto c = static_cast<unsigned char>(s[pos]);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
    const std::size_t n = utf8SequenceLength(s, pos);
    if (n < 2) return 0;
    std::uint32_t cp = c & (0xFF >> (n + 1));
    for (std::size_t i = 1; i < n; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    const bool blank = cp == 0x85 || cp == 0xA0 || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200B) ||
                       cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F ||
                       cp == 0x3000 || cp == 0xFEFF;
    return blank ? n : 0;
}

bool isBlank(std::string_view s) {
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t n = blankLength(s, pos);
        if (n == 0) return false;
        pos += n;
    }
    return true;
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

    // The user's entries, the output folder and the target are settled before anything is
    // written, so that a missing title costs no time and leaves the last book's folder alone.
    if (project.outputFolder.empty()) {
        ui.showNote("Please set the saving path!");
        return RunResult::Stopped;
    }
    if (isBlank(project.title)) {
        ui.showNote("Please set the book title!");
        return RunResult::Stopped;
    }
    if (project.author.empty()) {
        ui.showNote("Please set the author name!");
        return RunResult::Stopped;
    }
    try {
        const std::string target = joinPath(project.outputFolder, archiveFileName(project.title));
        if (target.size() >= PATH_MAX) {
            throw Error("Cannot create file \"" + target + "\". The path is " +
                        std::to_string(target.size()) + " bytes long; the system takes at most " +
                        std::to_string(PATH_MAX - 1));
        }
        createOutputFolder(project.outputFolder);
        m_targetArchive = target;
    } catch (const std::exception& e) {
        ui.showError(errorBoxText(e.what()));
        return RunResult::Failed;
    }
    // The old archive is not deleted here: the packer replaces it only once the new one is
    // complete, so a failed or cancelled build never costs the user the book they had.
    std::error_code existsError;
    if (fs::exists(m_targetArchive, existsError) &&
        !ui.askOverwrite("The file is existing. Overwrite?"))
        return RunResult::Stopped;

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
            if (ui.cancelRequested()) return RunResult::Cancelled;
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

    ui.packingStarted();
    bool cancelled = false;
    PackCallbacks callbacks;
    callbacks.processMessages = [&ui, &cancelled] {
        ui.processEvents();
        if (ui.cancelRequested()) {
            cancelled = true;
            throw RunCancelled();
        }
    };
    callbacks.progress = [&ui](std::uint64_t done, std::uint64_t total) {
        ui.packingProgress(done, total);
    };
    callbacks.shortRead = [&ui](const std::string& path, std::uint64_t expected,
                                std::uint64_t read) {
        ui.showWarning(path, "The file changed while it was packed: " + std::to_string(read) +
                                 " of " + std::to_string(expected) + " bytes were read.");
    };
    PackResult packed;
    try {
        packed = packageFolder(m_targetArchive, m_workFolder, callbacks);
    } catch (const RunCancelled&) {
        cancelled = true;
    }
    if (cancelled && !packed.built) return RunResult::Cancelled;
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
    // A file name may hold 255 bytes; a longer title is cut before the character that would
    // pass that, never inside one, so the name stays valid UTF-8.
    constexpr std::size_t kMaxNameBytes = 255 - 5;
    if (name.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
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
