#include "app/window_library_run.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "app/run_bridge.h"
#include "convert/entry_checks.h"
#include "convert/work_folder.h"
#include "package/deflate_pool.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

std::string fileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : trimmed.substr(0, slash);
}

std::string inFolder(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

class WindowLibraryUi : public LibraryUi {
  public:
    WindowLibraryUi(RunBridge& bridge, const std::vector<LibraryBook>& books,
                    std::set<std::string> replaceable,
                    const std::function<void(int, int)>& progress)
        : m_bridge(bridge),
          m_replaceable(std::move(replaceable)),
          m_total(static_cast<int>(books.size())),
          m_progress(progress) {
        for (std::size_t i = 0; i < books.size(); ++i) m_row[books[i].source] = i;
    }

    // LibraryRun calls this one book at a time.
    void bookDone(const LibraryBook& book, const BookOutcome& outcome) override {
        const std::size_t row = m_row[book.source];
        if (outcome.result == RunResult::Built) {
            for (const std::string& warning : outcome.warnings)
                m_warnings.emplace_back(row, book.archiveName + ": " + warning);
        } else if (outcome.keptExisting) {
            m_kept.emplace_back(row, book.archiveName);
        } else {
            m_failures.emplace_back(row, book.source + ": " + outcome.message);
        }
        m_progress(++m_done, m_total);
    }
    // Only the books the user agreed to, by name: one that appeared at its path since the
    // question was asked is kept, as a single run keeps it.
    bool replaceExisting(const std::string& archive) override {
        return m_replaceable.count(fileNameOf(archive)) > 0;
    }
    bool cancelRequested() override { return m_bridge.cancelRequested(); }

    // In the order of the list, whichever book ended first: the box reads as the list does.
    LibraryListing listing() const {
        LibraryListing listing;
        inRowOrder(m_failures, listing.failures);
        inRowOrder(m_kept, listing.kept);
        inRowOrder(m_warnings, listing.warnings);
        return listing;
    }

  private:
    using Lines = std::vector<std::pair<std::size_t, std::string>>;
    static void inRowOrder(Lines lines, std::vector<std::string>& to) {
        std::stable_sort(lines.begin(), lines.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& line : lines) to.push_back(std::move(line.second));
    }

    RunBridge& m_bridge;
    const std::set<std::string> m_replaceable;
    std::map<std::string, std::size_t> m_row;
    int m_total;
    int m_done = 0;
    const std::function<void(int, int)>& m_progress;
    Lines m_failures;
    Lines m_kept;
    Lines m_warnings;
};

}  // namespace

std::string librarySummaryText(const LibrarySummary& summary, const LibraryListing& listing,
                               const std::string& folder) {
    // The library counts a book refused replacement among the failed; here it was the user's
    // choice, and it is said apart.
    LibrarySummary counted = summary;
    const auto kept = static_cast<int>(listing.kept.size());
    counted.failed = std::max(0, counted.failed - kept);
    std::string text = summaryLine(counted);
    if (kept > 0)
        text += "; " + std::to_string(kept) + (kept == 1 ? " book was" : " books were") +
                " there already and kept";
    text += "\nFolder: " + folder;

    // Each part under its heading; past kMaxListedLines lines, what is left is counted in
    // books' lines, headings aside.
    std::size_t lines = 0;
    std::size_t left = 0;
    const auto part = [&](const char* heading, const std::vector<std::string>& entries) {
        if (entries.empty()) return;
        const auto add = [&](const std::string& line) {
            if (lines < kMaxListedLines) text += "\n" + line;
            ++lines;
        };
        add("");
        if (*heading) add(heading);
        for (const std::string& entry : entries) {
            if (lines >= kMaxListedLines) ++left;
            add(entry);
        }
    };
    part("", listing.failures);
    part("Kept as they were:", listing.kept);
    part("Warnings:", listing.warnings);
    if (left > 0) text += "\n... and " + std::to_string(left) + " more";
    return text;
}

WindowLibraryEnd runWindowLibrary(const WindowLibrarySetup& setup, RunBridge& bridge,
                                  const std::function<void(int done, int total)>& progress) {
    WindowLibraryEnd end;
    const BookProject& shared = setup.shared;
    // What every book shares is checked once: a missing output folder is one note, not a
    // failure per book. Each book has a title and an author of its own, so those pass here.
    BookProject probe = shared;
    probe.title = probe.author = "-";
    if (const std::string problem = entryProblem(probe, setup.workFolder, findTemplateFolder());
        !problem.empty()) {
        bridge.showNote(problem);
        end.result = RunResult::Stopped;
        return end;
    }

    const int jobs = setup.jobs > 0 ? setup.jobs : defaultJobs();
    TypedFields typed;
    typed.language = setup.languageTyped;
    const std::vector<LibraryBook> books = planLibrary(shared, typed, jobs);
    const auto total = static_cast<int>(books.size());

    std::set<std::string> existing;
    for (const LibraryBook& book : books) {
        std::error_code ec;
        if (fs::exists(inFolder(shared.outputFolder, book.archiveName), ec))
            existing.insert(book.archiveName);
    }
    if (!existing.empty() && !bridge.cancelRequested()) {
        const std::size_t n = existing.size();
        const std::string question =
            n == 1 ? "1 book already exists. Replace it?"
                   : std::to_string(n) + " books already exist. Replace them?";
        if (!bridge.askOverwrite(question, shared.outputFolder)) existing.clear();
    }
    if (bridge.cancelRequested()) {
        end.result = RunResult::Cancelled;
        end.cancelledNote = "Cancelled";
        return end;
    }

    // The window's own folder and, while they can be made, one more per worker beside it;
    // with fewer the books only take longer.
    const int workers = std::max(1, std::min({jobs, total, kMaxJobs}));
    std::vector<std::unique_ptr<WorkFolder>> extra;
    std::vector<std::string> folders{setup.workFolder};
    for (int w = 1; w < workers; ++w) {
        try {
            extra.push_back(
                std::make_unique<WorkFolder>(setup.templateFolder, parentOf(setup.workFolder)));
        } catch (const std::exception&) {
            break;
        }
        folders.push_back(extra.back()->path());
    }

    progress(0, total);
    WindowLibraryUi ui(bridge, books, std::move(existing), progress);
    LibraryRun library(folders);
    const LibrarySummary summary =
        library.run(books, packJobsPerBook(jobs, static_cast<int>(folders.size())), ui);
    const LibraryListing listing = ui.listing();
    const std::string text = librarySummaryText(summary, listing, shared.outputFolder);

    if (bridge.cancelRequested()) {
        end.result = RunResult::Cancelled;
        end.cancelledNote = summary.made == 0 ? std::string("Cancelled")
                                              : "Cancelled; " + std::to_string(summary.made) +
                                                    " of " + std::to_string(total) +
                                                    (total == 1 ? " book made" : " books made");
        // Failures are told even so: the user would otherwise take them for books not started.
        if (!listing.failures.empty()) bridge.showError(text);
        return end;
    }
    if (!listing.failures.empty()) {
        bridge.showError(text);
        end.result = RunResult::Failed;
    } else if (summary.made > 0) {
        bridge.showSuccess(text);
        bridge.openFolder(shared.outputFolder);
        end.result = RunResult::Built;
    } else {
        // Every book was there already and kept: nothing happened, as when a single book's
        // replacement is refused.
        end.result = RunResult::Stopped;
    }
    return end;
}

}  // namespace qb
