#include "convert/library_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "convert/archive_name.h"
#include "platform/ascii.h"
#include "platform/locale.h"

namespace qb {

namespace {

// Runs work(i) for every i below count on up to `threads` threads, each taking the next index
// as it comes free. Returns once all have ended.
void onThreads(std::size_t count, int threads, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
    };
    const std::size_t extra =
        std::min<std::size_t>(count, static_cast<std::size_t>(std::max(threads, 1))) - 1;
    std::vector<std::thread> pool;
    pool.reserve(extra);
    for (std::size_t t = 0; t < extra; ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool) thread.join();
}

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// What a single run shows, kept for the book's outcome instead.
class BookUi : public RunUi {
  public:
    BookUi(LibraryUi& library, BookOutcome& outcome) : m_library(library), m_outcome(outcome) {}

    void showNote(const std::string& text) override { m_outcome.message = oneLine(text); }
    bool askOverwrite(const std::string& text, const std::string& archive) override {
        (void)text;
        if (m_library.replaceExisting(archive)) return true;
        m_outcome.keptExisting = true;
        return false;
    }
    void showError(const std::string& text) override { m_outcome.message = oneLine(text); }
    void showSuccess(const std::string& text) override { (void)text; }
    void openFolder(const std::string& folder) override { (void)folder; }
    void showWarning(const std::string& caption, const std::string& text) override {
        m_outcome.warnings.push_back(oneLine(caption + ": " + text));
    }
    void packingStarted() override {
        m_packing = true;
        m_library.packingStarted();
    }
    bool cancelRequested() override { return m_library.cancelRequested(); }

    bool packing() const { return m_packing; }

  private:
    LibraryUi& m_library;
    BookOutcome& m_outcome;
    bool m_packing = false;
};

}  // namespace

int packJobsPerBook(int jobs, int workers) {
    return std::max(1, jobs / std::max(1, workers));
}

std::vector<LibraryBook> planLibrary(const BookProject& shared, const TypedFields& typed,
                                     int jobs) {
    std::vector<LibraryBook> books(shared.sourceFiles.size());
    const std::string charset = localeCharset();
    // Each book's project starts from one without the list of texts: a copy of the whole list,
    // even emptied, would keep its room, and a library of n texts would hold n x n of them.
    BookProject base = shared;
    base.sourceFiles = std::vector<std::string>();
    onThreads(books.size(), jobs, [&](std::size_t i) {
        LibraryBook& book = books[i];
        book.source = shared.sourceFiles[i];
        book.project = base;
        book.project.sourceFiles = {book.source};
        settleBookDefaults(book.project, typed);
        book.archiveName = archiveFileName(book.project.title, charset);
    });

    // The first input to want a name keeps it, also when a later one wants it too; only then
    // are numbers handed out, so that a text titled "X (2)" keeps its own name.
    std::set<std::string> taken;
    std::vector<bool> keeps(books.size());
    for (std::size_t i = 0; i < books.size(); ++i)
        keeps[i] = taken.insert(lowerAscii(books[i].archiveName)).second;
    for (std::size_t i = 0; i < books.size(); ++i) {
        if (keeps[i]) continue;
        LibraryBook& book = books[i];
        for (int n = 2;; ++n) {
            std::string name = numberedArchiveName(book.project.title, n, charset);
            if (taken.insert(lowerAscii(name)).second) {
                book.archiveName = std::move(name);
                book.numbered = true;
                break;
            }
        }
    }
    return books;
}

std::string summaryLine(const LibrarySummary& summary) {
    auto books = [](int n) { return std::to_string(n) + (n == 1 ? " book" : " books"); };
    std::string line = books(summary.made) + " made, " + std::to_string(summary.failed) + " failed";
    if (summary.notStarted > 0) line += ", " + std::to_string(summary.notStarted) + " not started";
    if (summary.numbered > 0)
        line += "; " + books(summary.numbered) + " numbered, as another text had " +
                (summary.numbered == 1 ? "its" : "their") + " name";
    return line;
}

LibraryRun::LibraryRun(std::vector<std::string> workFolders)
    : m_workFolders(std::move(workFolders)) {}

LibrarySummary LibraryRun::run(const std::vector<LibraryBook>& books, int packJobs, LibraryUi& ui) {
    LibrarySummary summary;
    for (const LibraryBook& book : books)
        if (book.numbered) ++summary.numbered;
    // The largest texts first: the last books to start are then the quickest, and no worker
    // is left making one long book while the others have nothing to do.
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    order.reserve(books.size());
    for (std::size_t i = 0; i < books.size(); ++i) {
        struct stat st {};
        const bool known = ::stat(books[i].source.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        order.emplace_back(known ? static_cast<std::uint64_t>(st.st_size) : 0, i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::mutex reporting;
    std::atomic<std::size_t> next{0};
    auto worker = [&](const std::string& workFolder) {
        ConversionRun run(workFolder);
        for (std::size_t n; !ui.cancelRequested() && (n = next.fetch_add(1)) < books.size();) {
            const LibraryBook& book = books[order[n].second];
            BookOutcome outcome;
            BookUi bookUi(ui, outcome);
            BookProject project = book.project;
            project.jobs = packJobs;
            run.setArchiveName(book.archiveName);
            const auto start = std::chrono::steady_clock::now();
            try {
                outcome.result = run.run(project, bookUi);
            } catch (const std::exception& e) {
                // The run reports its own errors; what escapes it (no memory left) ends only
                // this book.
                outcome.result = RunResult::Failed;
                outcome.message = oneLine(e.what());
            }
            outcome.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            outcome.archive = run.targetArchive();
            if (outcome.result != RunResult::Built && outcome.message.empty() &&
                !outcome.keptExisting && outcome.result != RunResult::Cancelled)
                outcome.message = "not made";
            {
                const std::lock_guard<std::mutex> lock(reporting);
                if (outcome.result == RunResult::Built) {
                    ++summary.made;
                } else if (outcome.result == RunResult::Cancelled) {
                    ++summary.notStarted;
                } else {
                    ++summary.failed;
                }
                if (outcome.result != RunResult::Cancelled) ui.bookDone(book, outcome);
            }
            if (bookUi.packing()) ui.packingEnded();
        }
    };
    const std::size_t workers = std::min(m_workFolders.size(), books.size());
    std::vector<std::thread> pool;
    for (std::size_t w = 1; w < workers; ++w) pool.emplace_back(worker, m_workFolders[w]);
    if (workers > 0) worker(m_workFolders[0]);
    for (std::thread& thread : pool) thread.join();
    const std::size_t ended = static_cast<std::size_t>(summary.made + summary.failed);
    summary.notStarted = static_cast<int>(books.size() - ended);
    return summary;
}

}  // namespace qb
