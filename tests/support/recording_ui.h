#pragma once
// What a conversion run shows and asks, recorded as text, with hooks that let a test answer
// and act between the run's steps.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/conversion_run.h"

namespace qb::test {

class RecordingUi : public RunUi {
  public:
    // The boxes and the progress in the order they came: "note: ", "ask: ", "error: ",
    // "success: ", "open: ", "replaced: " and the text, "page k/n" (a page of text file k),
    // "packing".
    std::vector<std::string> events;
    // How each text file was read and what the user was warned of, in order, kept apart so that
    // a test of the run's steps need not expect them: "read k page1.html a.txt UTF-8[ detected]"
    // (the file name part only), "warning: " caption ": " text, "book: " and a note on the book.
    std::vector<std::string> reading;
    // Every page reported complete, in order.
    std::vector<PageDone> pages;
    // Every packingProgress report, (done, total).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;

    bool overwrite = false;  // the answer to the overwrite question
    // After a page of text file k of n has been recorded.
    std::function<void(int k, int n)> onPageWritten;
    std::function<void()> onProcessEvents;
    std::function<bool()> cancel;  // answers cancelRequested(); null: never

    // The texts of the events of one kind ("note", "ask", "error", "success", "open").
    std::vector<std::string> texts(std::string_view kind) const {
        const std::string prefix = std::string(kind) + ": ";
        std::vector<std::string> found;
        for (const std::string& e : events) {
            if (e.compare(0, prefix.size(), prefix) == 0) found.push_back(e.substr(prefix.size()));
        }
        return found;
    }
    std::vector<std::string> errors() const { return texts("error"); }
    std::vector<std::string> successes() const { return texts("success"); }

    void showNote(const std::string& text) override { events.push_back("note: " + text); }
    bool askOverwrite(const std::string& text, const std::string& archive) override {
        (void)archive;
        events.push_back("ask: " + text);
        return overwrite;
    }
    void showError(const std::string& text) override { events.push_back("error: " + text); }
    void showSuccess(const std::string& text) override { events.push_back("success: " + text); }
    void openFolder(const std::string& folder) override { events.push_back("open: " + folder); }
    void replacedBook(const std::string& archive, const std::string& title) override {
        (void)archive;
        events.push_back("replaced: " + title);
    }
    void processEvents() override {
        if (onProcessEvents) onProcessEvents();
    }
    void showWarning(const std::string& caption, const std::string& text) override {
        reading.push_back("warning: " + caption + ": " + text);
    }
    void bookNote(const std::string& text) override { reading.push_back("book: " + text); }
    // "page k/n" for each page of text file k of n.
    void pageWritten(const PageDone& page) override {
        events.push_back("page " + std::to_string(page.file) + "/" + std::to_string(page.files));
        pages.push_back(page);
        if (onPageWritten) onPageWritten(page.file, page.files);
    }
    void textRead(int k, const std::string& pageFile, const std::string& source,
                  const std::string& charset, bool detected) override {
        reading.push_back("read " + std::to_string(k) + " " + pageFile + " " +
                          source.substr(source.rfind('/') + 1) + " " + charset +
                          (detected ? " detected" : ""));
    }
    void packingStarted() override { events.push_back("packing"); }
    void packingProgress(std::uint64_t done, std::uint64_t total) override {
        progress.emplace_back(done, total);
    }
    bool cancelRequested() override { return cancel && cancel(); }
};

}  // namespace qb::test
