#include "tests/support/recording_ui.h"

namespace qb::test {

std::vector<std::string> RecordingUi::texts(std::string_view kind) const {
    const std::string prefix = std::string(kind) + ": ";
    std::vector<std::string> found;
    for (const std::string& event : events) {
        if (event.compare(0, prefix.size(), prefix) == 0)
            found.push_back(event.substr(prefix.size()));
    }
    return found;
}

void RecordingUi::showNote(const std::string& text) {
    events.push_back("note: " + text);
}

bool RecordingUi::askOverwrite(const std::string& text) {
    events.push_back("ask: " + text);
    return overwrite;
}

void RecordingUi::showError(const std::string& text) {
    events.push_back("error: " + text);
}

void RecordingUi::showSuccess(const std::string& text) {
    events.push_back("success: " + text);
}

void RecordingUi::openFolder(const std::string& folder) {
    events.push_back("open: " + folder);
}

void RecordingUi::processEvents() {
    if (onProcessEvents) onProcessEvents();
}

void RecordingUi::showWarning(const std::string& caption, const std::string& text) {
    reading.push_back("warning: " + caption + ": " + text);
}

void RecordingUi::pageWritten(int k, int n) {
    events.push_back("page " + std::to_string(k) + "/" + std::to_string(n));
    if (onPageWritten) onPageWritten(k, n);
}

void RecordingUi::textRead(int k, const std::string& pageFile, const std::string& source,
                           const std::string& charset, bool detected) {
    reading.push_back("read " + std::to_string(k) + " " + pageFile + " " +
                      source.substr(source.rfind('/') + 1) + " " + charset +
                      (detected ? " detected" : ""));
}

void RecordingUi::packingStarted() {
    events.push_back("packing");
}

void RecordingUi::packingProgress(std::uint64_t done, std::uint64_t total) {
    progress.emplace_back(done, total);
}

bool RecordingUi::cancelRequested() {
    return cancel && cancel();
}

}  // namespace qb::test
