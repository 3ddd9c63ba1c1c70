#include "book/conversion_run.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "book/book_constants.h"
#include "book/book_metadata.h"
#include "book/book_pages.h"
#include "book/cover_writer.h"
#include "book/navigation_document.h"
#include "book/stylesheet.h"
#include "book/xhtml_page.h"
#include "package/packager.h"
#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/text_file.h"
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

// Writes the cover picture beside the pages from the bytes read when the run began: a cover
// given as a pipe (-c <(cmd), /dev/stdin) can be read only once.
void writeCoverCopy(const std::string& bytes, const std::string& to) {
    std::error_code ec;
    if (fs::exists(to, ec)) throw EFCreateError(to, std::strerror(EEXIST));
    OutputFile out(to);
    out.write(bytes);
    out.close();
}

// The name the cover picture gets inside the book. The picture keeps its own name when that is
// a plain URI-safe file name with the extension its content calls for; otherwise (blanks, "%",
// "#", non-ASCII, a leading ".", a name the book itself uses, "stdin" or "63" from a pipe, a
// PNG called .jpg) readers and checkers would stumble over the reference, so it becomes
// "cover" plus that extension.
std::string coverFileName(const std::string& coverPath, const std::string& mediaType) {
    const std::string name = fileNamePart(coverPath);
    bool safe = !name.empty() && name[0] != '.';
    for (const char c : name) {
        const bool plain = isAsciiAlnum(c) || c == '.' || c == '_' || c == '-';
        if (!plain) safe = false;
    }
    // The packer keeps one of two names that differ only in case, so "FB.OPF" would cost the
    // book its package document as surely as "fb.opf".
    const std::string lower = lowerAscii(name);
    const auto endsWith = [&lower](std::string_view end) {
        return lower.size() >= end.size() &&
               lower.compare(lower.size() - end.size(), end.size(), end) == 0;
    };
    const bool taken = lower == "cover.html" || lower == "cover.xhtml" ||
                       lower == "stylesheet.css" || lower == "fb.opf" || lower == "fb.ncx" ||
                       lower == kNavigationDocumentName ||
                       (lower.rfind("page", 0) == 0 && lower.size() > 9 &&
                        (endsWith(".html") || endsWith(".xhtml")));
    const bool fitting = mediaType == "image/png"   ? endsWith(".png")
                         : mediaType == "image/gif" ? endsWith(".gif")
                                                    : endsWith(".jpg") || endsWith(".jpeg");
    if (safe && !taken && fitting) return name;
    if (mediaType == "image/png") return "cover.png";
    if (mediaType == "image/gif") return "cover.gif";
    return "cover.jpg";
}

// True when path is folder itself or lies below it. Each ancestor is compared with the folder
// by device and inode rather than by spelling, so that symbolic links, "..", a bind mount or a
// second name of the same folder cannot hide it.
bool liesWithin(const std::string& path, const std::string& folder) {
    struct stat target {};
    if (::stat(folder.c_str(), &target) != 0) return false;
    std::error_code ec;
    fs::path at = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return false;
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
            st.st_ino == target.st_ino) {
            return true;
        }
        if (!at.has_relative_path()) return false;
        at = at.parent_path();
    }
}

// The members a whole book needs: the template's two files and every file the run left in the
// content folder. Hidden files are not among them: the packer leaves those out on purpose.
std::vector<std::string> bookMembers(const std::string& contentFolder) {
    std::vector<std::string> members{"mimetype", "META-INF/container.xml"};
    std::error_code ec;
    for (fs::recursive_directory_iterator it(contentFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name[0] == '.') {
            if (it->is_directory(ec)) it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(ec))
            members.push_back("OEBPS/" + it->path().lexically_relative(contentFolder).string());
    }
    if (ec) throw Error("Cannot list folder \"" + contentFolder + "\". " + ec.message());
    return members;
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
    // Every run replaces the work folder's content: a book kept below it would be deleted by
    // the next run, or packed into itself.
    if (liesWithin(project.outputFolder, m_workFolder)) {
        ui.showNote("The output folder \"" + project.outputFolder +
                    "\" lies inside the work folder \"" + m_workFolder +
                    "\", which every run empties. Please choose another folder.");
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
    // Read once, before any page is written: a cover that is not a picture ends the run
    // before it has cost anything, and a pipe yields its bytes only once.
    std::string coverBytes;
    std::string coverMediaType;
    if (!project.coverPath.empty()) {
        try {
            coverBytes = readFileBytes(project.coverPath, kMaxCoverBytes);
            coverMediaType = pictureMediaType(coverBytes);
            if (coverMediaType.empty())
                throw Error("Not a JPEG, PNG or GIF picture: \"" + project.coverPath + "\".");
        } catch (const std::exception& e) {
            ui.showError(errorBoxText(e.what()));
            return RunResult::Failed;
        }
    }
    // The old archive is not deleted here: the packer replaces it only once the new one is
    // complete, so a failed or cancelled build never costs the user the book they had.
    // The answer covers only that book: one that appears at the path while this one is packed
    // is kept.
    std::error_code existsError;
    const bool existed = fs::exists(m_targetArchive, existsError);
    if (existed && !ui.askOverwrite("The file is existing. Overwrite?")) return RunResult::Stopped;

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

        // With "--language auto" the first files are read before their pages are written, so
        // that every page carries the language found in them.
        BookPages pages(project, m_contentFolder);
        for (int k = 1; k <= pageCount; ++k) {
            for (const int written : pages.add(k, ui)) ui.pageWritten(written, pageCount);
            if (ui.cancelRequested()) return RunResult::Cancelled;
        }
        for (const int written : pages.finish()) ui.pageWritten(written, pageCount);
        writeStylesheet(joinPath(m_contentFolder, "stylesheet.css"));

        BookMetadata book;
        book.outline = pages.outline();
        book.languageTag = pages.languageTag();
        book.title = project.title;
        book.author = project.author;
        book.contentFolder = m_contentFolder;
        book.identifier = newBookIdentifier();
        // One clock reading for both dates, so that they never tell two different days.
        const std::time_t now = std::time(nullptr);
        book.date = todayDate(now);
        book.modified = modifiedTimestamp(now);
        book.epubVersion = project.epubVersion;
        if (!project.coverPath.empty()) {
            book.coverMediaType = coverMediaType;
            const std::string name = coverFileName(project.coverPath, book.coverMediaType);
            writeCoverCopy(coverBytes, joinPath(m_contentFolder, name));
            coverBytes = std::string();
            book.coverPath = name;
            writeCoverPage(joinPath(m_contentFolder, coverPageName(book.epubVersion)), name,
                           book.languageTag, book.epubVersion);
        }
        writePackageDocument(book);
        writeNavigationControlFile(book);
        if (book.epubVersion == 3) writeNavigationDocument(book);
    } catch (const std::exception& e) {
        ui.showError(errorBoxText(e.what()));
        return RunResult::Failed;
    }

    // What the archive must hold, and whether a book stood at its path before it was packed.
    std::vector<std::string> needed;
    try {
        needed = bookMembers(m_contentFolder);
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
    PackOptions options;
    options.jobs = project.jobs;
    options.replace = existed;
    // Checked on the finished archive before it takes the book's place: a book that lacks a
    // page is no book made, and must not cost the user the one they had.
    options.required = std::move(needed);
    PackResult packed;
    try {
        packed = packageFolder(m_targetArchive, m_workFolder, callbacks, options);
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
    if (name.size() > kMaxNameBytes) name.resize(utf8CutBefore(name, kMaxNameBytes));
    return name + ".epub";
}

std::string pictureMediaType(std::string_view bytes) {
    const auto starts = [bytes](std::string_view head) {
        return bytes.substr(0, head.size()) == head;
    };
    if (starts("\xFF\xD8\xFF")) return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n")) return "image/png";
    if (starts("GIF87a") || starts("GIF89a")) return "image/gif";
    return {};
}

}  // namespace qb
