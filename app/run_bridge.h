#pragma once
// The conversion run on a worker thread, talking to a window on the GUI thread.
//
// RunBridge is the RunUi the worker's run sees. Boxes and questions are handed to the window's
// own RunUi on the GUI thread and the worker waits for them to be dismissed (so a question's
// answer comes back and nothing happens behind a box); progress is handed over without
// waiting, pile-ups of packing progress folded into the latest figure. Cancelling is a flag the
// worker reads directly.

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "convert/conversion_run.h"

namespace qb {

class RunBridge : public RunUi {
  public:
    // context: the GUI-thread object whose event queue carries the calls; target: the window's
    // RunUi, used on the GUI thread only; cancel: set by the window to stop the run.
    RunBridge(QObject* context, RunUi& target, const std::atomic<bool>& cancel);

    // GUI thread: the window is going away. A worker waiting for a box is let go (a question
    // counts as answered No) and the run is asked to stop.
    void abandon();

    void showNote(const std::string& text) override;
    bool askOverwrite(const std::string& text, const std::string& archive) override;
    void showError(const std::string& text) override;
    void showSuccess(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    void showWarning(const std::string& caption, const std::string& text) override;
    void pageWritten(const PageDone& page) override;
    void packingStarted() override;
    void packingProgress(std::uint64_t done, std::uint64_t total) override;
    bool cancelRequested() override;

  private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable answered;
        bool abandoned = false;
        // Packing progress waiting to be shown; a new figure replaces an unshown one.
        std::atomic<bool> progressQueued{false};
        std::atomic<std::uint64_t> done{0};
        std::atomic<std::uint64_t> total{0};
        // The same for the pages: the latest page waiting to be shown.
        std::mutex pageMutex;
        bool pageQueued = false;
        PageDone page;
    };

    // Runs call on the GUI thread and waits for its answer; fallback when the window went.
    bool ask(std::function<bool(RunUi&)> call, bool fallback);
    void post(std::function<void(RunUi&)> call);

    QObject* m_context;
    RunUi* m_target;
    const std::atomic<bool>& m_cancel;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

}  // namespace qb
