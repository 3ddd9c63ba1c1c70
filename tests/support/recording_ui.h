#pragma once
// What a conversion run shows and asks, recorded as text, with hooks that let a test answer
// and act between the run's steps.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "book/conversion_run.h"

namespace qb::test {

class RecordingUi : public RunUi {
  public:
    // The boxes and the progress in the order they came: "note: ", "ask: ", "error: ",
    // "success: ", "open: " and the text, "page k/n", "packing".
    std::vector<std::string> events;
    // How each text file was read and what the user was warned of, in order, apart from the
    // events so that a test of the run's steps need not expect them:
    // "read k page1.html a.txt UTF-8[ detected]" (the file name part only), "warning: "
    // caption ": " text.
    std::vector<std::string> reading;
    // Every packingProgress report, (done, total).
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;

    // The answer to the overwrite question.
    bool overwrite = false;
    // Run after a page has been recorded.
    std::function<void(int k, int n)> onPageWritten;
    std::function<void()> onProcessEvents;
    // Answers cancelRequested(); null: never.
    std::function<bool()> cancel;

    // The texts of the events of one kind ("note", "ask", "error", "success", "open").
    std::vector<std::string> texts(std::string_view kind) const;
    std::vector<std::string> errors() const { return texts("error"); }
    std::vector<std::string> successes() const { return texts("success"); }

    void showNote(const std::string& text) override;
    bool askOverwrite(const std::string& text) override;
    void showError(const std::string& text) override;
    void showSuccess(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    void processEvents() override;
    void showWarning(const std::string& caption, const std::string& text) override;
    void pageWritten(int k, int n) override;
    void textRead(int k, const std::string& pageFile, const std::string& source,
                  const std::string& charset, bool detected) override;
    void packingStarted() override;
    void packingProgress(std::uint64_t done, std::uint64_t total) override;
    bool cancelRequested() override;
};

}  // namespace qb::test
