#include "cli/each_book.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/child_process.h"
#include "cli/terminal_ui.h"
#include "convert/library_run.h"
#include "package/deflate_pool.h"
#include "platform/paths.h"

namespace qb {

namespace {

constexpr int kStopping[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Ctrl-C and kill while several books are made. The signals are taken by one thread that
// waits for them; the process ends by the signal at once unless some book's unfinished archive
// lies in the output folder. Then the signal is noted, every packer is told to stop and remove
// its file, and the last of them to finish ends the process.
class SignalGate {
  public:
    SignalGate() {
        sigemptyset(&m_set);
        for (const int s : kStopping) {
            struct sigaction old {};
            sigaction(s, nullptr, &old);
            // A signal ignored on purpose (nohup, a background job) stays ignored.
            if (old.sa_handler != SIG_IGN) sigaddset(&m_set, s);
        }
        // Blocked before any worker starts, so that every thread inherits the mask and only
        // the waiting thread ever takes these signals.
        pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
        m_waiter = std::thread([this] { waitForSignals(); });
        m_waiter.detach();
    }

    bool stopping() const { return m_pending.load() != 0; }
    int pending() const { return m_pending.load(); }

    void enterPacking() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_packing;
    }
    void leavePacking() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_packing == 0 && m_pending.load() != 0) endBySignal(m_pending.load());
    }

  private:
    void waitForSignals() {
        for (;;) {
            int signal = 0;
            if (sigwait(&m_set, &signal) != 0) continue;
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_pending.store(signal);
            // Held: no book starts packing now, and none is, so nothing is left behind.
            if (m_packing == 0) endBySignal(signal);
        }
    }

    sigset_t m_set{};
    std::mutex m_mutex;
    int m_packing = 0;
    std::atomic<int> m_pending{0};
    std::thread m_waiter;
};

// A line per book on stdout as it ends, and "k of n books" rewritten in place on a terminal.
class EachUi : public LibraryUi {
  public:
    EachUi(const CliOptions& options, SignalGate& gate, std::size_t books)
        : m_assumeYes(options.assumeYes),
          m_gate(gate),
          m_books(books),
          m_progress(!options.quiet && isatty(STDERR_FILENO) != 0),
          m_escape(isatty(STDOUT_FILENO) != 0) {
        showProgress();
    }

    void bookDone(const LibraryBook& book, const BookOutcome& outcome) override {
        ++m_done;
        std::string line;
        if (outcome.result == RunResult::Built) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2f s", outcome.seconds);
            line = "ok   " + book.archiveName + "  " + seconds;
            for (const std::string& warning : outcome.warnings) line += "\n     " + warning;
        } else if (outcome.keptExisting) {
            line =
                "FAIL " + book.source + ": " + book.archiveName + " exists; use -y to replace it";
        } else {
            line = "FAIL " + book.source + ": " + outcome.message;
        }
        clearProgress();
        std::cout << (m_escape ? escapedControls(line) : line) << std::endl;
        showProgress();
    }
    // Nobody could answer a question per book; -y replaces them all.
    bool replaceExisting(const std::string& archive) override {
        (void)archive;
        return m_assumeYes;
    }
    bool cancelRequested() override { return m_gate.stopping(); }
    void packingStarted() override { m_gate.enterPacking(); }
    void packingEnded() override { m_gate.leavePacking(); }

    void clearProgress() {
        if (m_progress) std::cerr << "\r\033[K" << std::flush;
    }

  private:
    void showProgress() {
        if (!m_progress) return;
        std::cerr << "quirebind-cli: " << m_done << " of " << m_books << " books" << std::flush;
    }

    bool m_assumeYes;
    SignalGate& m_gate;
    std::size_t m_books;
    std::size_t m_done = 0;
    bool m_progress;
    bool m_escape;
};

}  // namespace

int eachWorkers(const CliOptions& options) {
    const int jobs = options.project.jobs > 0 ? options.project.jobs : defaultJobs();
    const auto books = static_cast<int>(std::min<std::size_t>(options.project.sourceFiles.size(),
                                                              static_cast<std::size_t>(kMaxJobs)));
    return std::max(1, std::min(jobs, books));
}

int makeEachBook(const CliOptions& options, const std::vector<std::string>& workFolders) {
    // Never destroyed: its thread may wake for a signal until the process has ended.
    SignalGate& gate = *new SignalGate;
    const int jobs = options.project.jobs > 0 ? options.project.jobs : defaultJobs();
    TypedFields typed;
    typed.title = options.titleGiven;
    typed.author = options.authorGiven;
    typed.language = options.languageGiven;
    const std::vector<LibraryBook> books = planLibrary(options.project, typed, jobs);
    if (gate.stopping()) endBySignal(gate.pending());

    EachUi ui(options, gate, books.size());
    LibraryRun library(workFolders);
    const LibrarySummary summary =
        library.run(books, packJobsPerBook(jobs, static_cast<int>(workFolders.size())), ui);
    ui.clearProgress();
    if (gate.stopping()) endBySignal(gate.pending());
    std::cout << summaryLine(summary) << std::endl;
    return summary.made == static_cast<int>(books.size()) ? kExitBuilt : kExitNotBuilt;
}

}  // namespace qb
