#include "app/run_bridge.h"

#include <QMetaObject>

#include <optional>

namespace qb {

RunBridge::RunBridge(QObject* context, RunUi& target, const std::atomic<bool>& cancel)
    : m_context(context), m_target(&target), m_cancel(cancel) {}

void RunBridge::abandon() {
    std::lock_guard lock(m_shared->mutex);
    m_shared->abandoned = true;
    m_shared->answered.notify_all();
}

bool RunBridge::ask(std::function<bool(RunUi&)> call, bool fallback) {
    auto answer = std::make_shared<std::optional<bool>>();
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->abandoned) return fallback;
    }
    // The call owns copies of everything it shows: a worker let go by abandon() no longer
    // keeps the texts alive, and the window may still be showing them.
    QMetaObject::invokeMethod(
        m_context,
        [shared = m_shared, target = m_target, call = std::move(call), answer, fallback] {
            bool value = fallback;
            try {
                value = call(*target);
            } catch (...) {
                // A box that fails to show must not take the event loop down with it.
            }
            std::lock_guard lock(shared->mutex);
            *answer = value;
            shared->answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_shared->mutex);
    m_shared->answered.wait(lock, [&] { return answer->has_value() || m_shared->abandoned; });
    return answer->has_value() ? **answer : fallback;
}

void RunBridge::post(std::function<void(RunUi&)> call) {
    QMetaObject::invokeMethod(
        m_context,
        [target = m_target, call = std::move(call)] {
            try {
                call(*target);
            } catch (...) {
                // Progress is a courtesy; it never stops the run.
            }
        },
        Qt::QueuedConnection);
}

void RunBridge::showNote(const std::string& text) {
    ask([text](RunUi& ui) { return ui.showNote(text), true; }, false);
}

bool RunBridge::askOverwrite(const std::string& text, const std::string& archive) {
    return ask([text, archive](RunUi& ui) { return ui.askOverwrite(text, archive); }, false);
}

void RunBridge::showError(const std::string& text) {
    ask([text](RunUi& ui) { return ui.showError(text), true; }, false);
}

void RunBridge::showSuccess(const std::string& text) {
    ask([text](RunUi& ui) { return ui.showSuccess(text), true; }, false);
}

void RunBridge::openFolder(const std::string& folder) {
    ask([folder](RunUi& ui) { return ui.openFolder(folder), true; }, false);
}

void RunBridge::showWarning(const std::string& caption, const std::string& text) {
    ask([caption, text](RunUi& ui) { return ui.showWarning(caption, text), true; }, false);
}

void RunBridge::pageWritten(const PageDone& page) {
    // One large text makes thousands of pages; as with packing, the window is sent one call at
    // a time and shows the latest page when its turn comes.
    {
        std::lock_guard lock(m_shared->pageMutex);
        m_shared->page = page;
        if (m_shared->pageQueued) return;
        m_shared->pageQueued = true;
    }
    post([shared = m_shared](RunUi& ui) {
        PageDone latest;
        {
            std::lock_guard lock(shared->pageMutex);
            shared->pageQueued = false;
            latest = shared->page;
        }
        ui.pageWritten(latest);
    });
}

void RunBridge::packingStarted() {
    post([](RunUi& ui) { ui.packingStarted(); });
}

void RunBridge::packingProgress(std::uint64_t done, std::uint64_t total) {
    m_shared->done = done;
    m_shared->total = total;
    // The packer may report far more often than a window can draw: one call in the queue at a
    // time, showing the latest figures when its turn comes.
    if (m_shared->progressQueued.exchange(true)) return;
    post([shared = m_shared](RunUi& ui) {
        shared->progressQueued = false;
        ui.packingProgress(shared->done, shared->total);
    });
}

bool RunBridge::cancelRequested() {
    if (m_cancel.load()) return true;
    std::lock_guard lock(m_shared->mutex);
    return m_shared->abandoned;
}

}  // namespace qb
