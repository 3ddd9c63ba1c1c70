#include "convert/conversion_run.h"

#include <unistd.h>

#include <climits>
#include <condition_variable>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "book/book_metadata.h"
#include "book/book_pages.h"
#include "book/book_typography.h"
#include "book/cover_picture.h"
#include "book/cover_writer.h"
#include "book/metadata_values.h"
#include "book/navigation_control_file.h"
#include "book/navigation_document.h"
#include "book/package_document.h"
#include "book/stylesheet.h"
#include "book/title_page.h"
#include "book/xhtml_page.h"
#include "convert/archive_name.h"
#include "convert/book_title.h"
#include "convert/entry_checks.h"
#include "package/deflate_ahead.h"
#include "package/packager.h"
#include "platform/errors.h"
#include "platform/failure_message.h"
#include "platform/folders.h"
#include "platform/locale.h"
#include "platform/output_file.h"
#include "platform/text_file.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

DeflateEngine deflateEngine(const BookProject& project) {
    return project.fastDeflate ? DeflateEngine::Libdeflate : DeflateEngine::Zlib;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
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

// Whatever resists removal would be packed into the new book beside its own pages (a page of
// the last book, say): stop rather than mix two books.
void emptyContentFolder(const std::string& contentFolder) {
    std::error_code ec;
    if (fs::exists(contentFolder, ec)) {
        std::string cause;
        if (!removeFolder(contentFolder, &cause))
            throw Error("Cannot remove folder \"" + contentFolder + "\". " + cause);
    }
    fs::create_directories(contentFolder, ec);
}

// Appends rules to a stylesheet already written.
void appendToStylesheet(const std::string& path, const std::string& rules) {
    const std::string css = readFileBytes(path);
    OutputFile out(path);
    out.write(css);
    out.write(rules);
    out.close();
}

// Every drawn cover is drawn on one thread, one cover at a time: a picture holds some 16 MiB
// while it is drawn, and the text layout keeps fonts per thread, so books made at once (a
// library run) would otherwise each hold their own. The thread is started by the first cover
// and lives as long as the process; a process forked from one that drew starts its own.
class CoverThread {
  public:
    static CoverThread& instance() {
        static CoverThread* thread = new CoverThread;  // never destroyed: its thread may run
        return *thread;
    }

    void run(const std::function<void()>& job) {
        const std::lock_guard<std::mutex> oneAtATime(m_callers);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_process != ::getpid()) {
            std::thread([this] { serve(); }).detach();
            m_process = ::getpid();
        }
        m_job = &job;
        m_done = false;
        m_cv.notify_all();
        m_cv.wait(lock, [this] { return m_done; });
        m_job = nullptr;
        if (std::exception_ptr error = std::exchange(m_error, nullptr))
            std::rethrow_exception(error);
    }

  private:
    void serve() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_job != nullptr && !m_done; });
            lock.unlock();
            std::exception_ptr error;
            try {
                (*m_job)();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            m_error = error;
            m_done = true;
            m_cv.notify_all();
        }
    }

    std::mutex m_callers;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    const std::function<void()>* m_job = nullptr;
    bool m_done = false;
    std::exception_ptr m_error;
    pid_t m_process = 0;
};

// The warnings of a cover drawn on the cover thread, handed on in the run's own thread: the
// window's boxes belong to its thread.
class CoverWarnings : public ReadingReport {
  public:
    void showWarning(const std::string& caption, const std::string& text) override {
        m_warnings.emplace_back(caption, text);
    }
    void handOn(ReadingReport& ui) const {
        for (const auto& [caption, text] : m_warnings) ui.showWarning(caption, text);
    }

  private:
    std::vector<std::pair<std::string, std::string>> m_warnings;
};

}  // namespace

ConversionRun::ConversionRun(std::string workFolder, std::string templateFolder)
    : m_workFolder(std::move(workFolder)),
      m_templateFolder(std::move(templateFolder)),
      m_contentFolder(joinPath(m_workFolder, "OEBPS")) {}

RunResult ConversionRun::run(const BookProject& project, RunUi& ui) {
    if (project.sourceFiles.empty()) return RunResult::Skipped;
    m_targetArchive.clear();
    m_replacedTitle.clear();
    // The user's entries, the output folder and the target are settled before anything is
    // written, so that a missing title costs no time and leaves the last book's folder alone.
    std::string problem = entryProblem(project, m_workFolder, m_templateFolder);
    if (problem.empty()) problem = detailsProblem(project.details);
    if (!problem.empty()) {
        ui.showNote(problem);
        return RunResult::Stopped;
    }
    bool writing = false;
    try {
        settleTarget(project);
        Given given = readGiven(project);
        // The old archive is not deleted here: the packer replaces it only once the new one is
        // complete, so a failed or cancelled build never costs the user the book they had. The
        // answer covers only that book: one that appears at the path while this one is packed
        // is kept.
        std::error_code ec;
        const bool existed = fs::exists(m_targetArchive, ec);
        if (existed) {
            // Titles that differ only where the name is cut or in characters a file name
            // cannot hold share one name: the user must know it is another book that goes.
            std::string question = "The file is existing. Overwrite?";
            const std::string there = titleOfBook(m_targetArchive);
            if (!there.empty() && there != epub3Title(project.title)) {
                m_replacedTitle = there;
                question += "\nIt holds another book: \"" + there + "\".";
            }
            if (!ui.askOverwrite(question, m_targetArchive)) return RunResult::Stopped;
        }
        writing = true;
        bool built = false;
        {
            // Each page is deflated as soon as it is complete, on other processors while later
            // pages are written, so that packing mostly copies. Its workers are done with the
            // pages before a run that made no book removes them.
            DeflateAhead ahead(m_workFolder, project.jobs, 6, {}, deflateEngine(project));
            built = writeBook(project, std::move(given), &ahead, ui) &&
                    packAndVerify(project, existed, &ahead, ui);
        }
        if (!built) {
            discardPages();
            return RunResult::Cancelled;
        }
    } catch (const std::exception& e) {
        if (writing) discardPages();
        ui.showError(errorBoxText(failureMessage(e, m_doing)));
        return RunResult::Failed;
    }
    report(project, ui);
    return RunResult::Built;
}

void ConversionRun::settleTarget(const BookProject& project) {
    m_doing = "settling the place of the book in \"" + project.outputFolder + "\"";
    const std::string target = joinPath(
        project.outputFolder,
        m_archiveName.empty() ? archiveFileName(project.title, localeCharset()) : m_archiveName);
    if (target.size() >= PATH_MAX) {
        throw Error("Cannot create file \"" + target + "\". The path is " +
                    std::to_string(target.size()) + " bytes long; the system takes at most " +
                    std::to_string(PATH_MAX - 1));
    }
    createFolders(project.outputFolder);
    // A folder that takes no new file (no permission, a read-only file system) would otherwise
    // be found only when the archive is created, after every page has been written.
    if (const int cause = folderWriteError(project.outputFolder); cause != 0)
        throw Error("Failed to build: " + target + "\n" +
                    EFCreateError(target, causeOf(cause)).what());
    m_targetArchive = target;
}

ConversionRun::Given ConversionRun::readGiven(const BookProject& project) {
    // Read once, before any page is written: a cover that is not a whole picture, a stylesheet
    // or a font that cannot go into the book end the run before it has cost anything, and a
    // pipe yields its bytes only once.
    Given given;
    if (!project.coverPath.empty()) {
        m_doing = "reading the cover \"" + project.coverPath + "\"";
        given.coverBytes = readFileBytes(project.coverPath, kMaxCoverBytes);
        given.coverMediaType = pictureMediaType(given.coverBytes);
        if (given.coverMediaType.empty())
            throw Error("Not a JPEG, PNG or GIF picture: \"" + project.coverPath + "\".");
        checkPicture(given.coverBytes, project.coverPath);
    }
    if (!project.stylesheetPath.empty()) {
        m_doing = "reading the stylesheet \"" + project.stylesheetPath + "\"";
        given.userStylesheet = readUserStylesheet(project.stylesheetPath);
    }
    if (!project.fontPath.empty()) {
        m_doing = "reading the font \"" + project.fontPath + "\"";
        given.font.emplace(project.fontPath);
    }
    return given;
}

bool ConversionRun::writeBook(const BookProject& project, Given given, DeflateAhead* ahead,
                              RunUi& ui) {
    emptyContentFolder(m_contentFolder);
    // With "--language auto" the first files are read before their pages are written, so that
    // every page carries the language found in them.
    const int fileCount = static_cast<int>(project.sourceFiles.size());
    BookPages pages(project, m_contentFolder);
    // Asked as each page is complete, so that one large text can be stopped between two of its
    // pages; the pages already written are left for the work folder's owner to remove.
    struct Stop {};
    bool asked = false;
    pages.onPageDone([&](const PageDone& page) {
        if (ahead != nullptr) ahead->offer(page.path);
        ui.pageWritten(page);
        asked = true;
        if (ui.cancelRequested()) throw Stop{};
    });
    try {
        for (int k = 1; k <= fileCount; ++k) {
            asked = false;
            m_doing = "writing the pages of \"" +
                      project.sourceFiles[static_cast<std::size_t>(k - 1)] + "\"";
            pages.add(k, ui);
            // A text kept back to judge the language wrote no page that could have asked.
            if (!asked && ui.cancelRequested()) return false;
        }
        pages.finish();
        m_doing = "writing the cover, the contents and the package document";
    } catch (const Stop&) {
        return false;
    }

    StyleChoices style;
    style.languageTag = pages.languageTag();
    style.style = project.style;
    const bool titlePage = project.titlePage && !pages.hasOwnTitlePage();
    style.titlePage = titlePage;
    const std::string stylesheet = joinPath(m_contentFolder, "stylesheet.css");
    writeStylesheet(stylesheet, style);
    if (const std::string rules = pages.stylesheetRules(); !rules.empty())
        appendToStylesheet(stylesheet, rules);
    if (!project.stylesheetPath.empty())
        writeCoverCopy(given.userStylesheet, joinPath(m_contentFolder, kUserStylesheetName));
    for (const std::string& note : pages.notes()) ui.bookNote(note);

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
    book.epubVersion = pages.epubVersion();
    book.rightToLeft = pages.vertical();
    book.details = project.details;
    book.titlePage = titlePage;
    book.userStylesheet = !project.stylesheetPath.empty();
    // Drawn once the pages have told the book's language, which picks the Han forms.
    const bool drawn = project.coverPath.empty() && project.generatedCover;
    if (drawn) {
        CoverWarnings warnings;
        CoverThread::instance().run(
            [&] { given.coverBytes = drawnCoverPicture(project, book.languageTag, warnings); });
        warnings.handOn(ui);
        given.coverMediaType = "image/jpeg";
    }
    if (!project.coverPath.empty() || drawn) {
        book.coverMediaType = given.coverMediaType;
        const std::string name =
            drawn ? "cover.jpg" : coverFileName(project.coverPath, book.coverMediaType);
        writeCoverCopy(given.coverBytes, joinPath(m_contentFolder, name));
        given.coverBytes = std::string();
        book.coverPath = name;
        writeCoverPage(joinPath(m_contentFolder, coverPageName(book.epubVersion)), name,
                       book.languageTag, book.epubVersion, project.style != BookStyle::Plain);
    }
    if (book.titlePage) writeTitlePage(book);
    // Last before the package document: the font holds the characters of every page.
    if (given.font) {
        const EmbeddedFontFile embedded =
            embedBodyFont(*given.font, m_contentFolder, book.epubVersion, ui);
        book.fontPath = embedded.name;
        book.fontMediaType = embedded.mediaType;
    }
    writePackageDocument(book);
    writeNavigationControlFile(book);
    if (book.epubVersion == 3) writeNavigationDocument(book);
    return true;
}

bool ConversionRun::packAndVerify(const BookProject& project, bool replace, DeflateAhead* ahead,
                                  RunUi& ui) {
    m_doing = "packing \"" + m_targetArchive + "\"";
    PackOptions options;
    // Checked on the finished archive before it takes the book's place: a book that lacks a
    // page is no book made, and must not cost the user the one they had.
    options.required = bookMembers(m_contentFolder);
    options.jobs = project.jobs;
    options.replace = replace;
    options.ahead = ahead;
    options.engine = deflateEngine(project);

    ui.packingStarted();
    PackCallbacks callbacks;
    callbacks.processMessages = [&ui] { ui.processEvents(); };
    callbacks.cancelled = [&ui] { return ui.cancelRequested(); };
    callbacks.publishing = [&ui] { return ui.publishing(); };
    callbacks.progress = [&ui](std::uint64_t done, std::uint64_t total) {
        ui.packingProgress(done, total);
    };
    callbacks.shortRead = [&ui](const std::string& path, std::uint64_t expected,
                                std::uint64_t read) {
        ui.showWarning(path, "The file changed while it was packed: " + std::to_string(read) +
                                 " of " + std::to_string(expected) + " bytes were read.");
    };
    const PackResult packed = packageFolder(m_targetArchive, m_workFolder, callbacks, options);
    if (packed.cancelled) return false;
    if (!packed.built) throw Error("Failed to build: " + m_targetArchive + "\n" + packed.cause);
    return true;
}

void ConversionRun::discardPages() const {
    std::error_code ec;
    if (fs::exists(m_contentFolder, ec)) removeFolder(m_contentFolder);
}

void ConversionRun::report(const BookProject& project, RunUi& ui) const {
    if (!m_replacedTitle.empty()) ui.replacedBook(m_targetArchive, m_replacedTitle);
    ui.showSuccess("Successed to build: " + m_targetArchive);
    ui.openFolder(project.outputFolder);
}

std::string errorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

}  // namespace qb
