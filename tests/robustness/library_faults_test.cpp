// A library run whose output disk fills during a later book: that book fails with its cause,
// the books before and after it are made, and nothing partial is left.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "convert/library_run.h"
#include "tests/robustness/fault_fixture.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

class RecordingLibraryUi : public LibraryUi {
  public:
    void bookDone(const LibraryBook& book, const BookOutcome& outcome) override {
        ended[fs::path(book.source).filename()] =
            outcome.result == RunResult::Built ? "ok" : outcome.message;
    }
    bool replaceExisting(const std::string& archive) override {
        (void)archive;
        return false;
    }
    std::map<std::string, std::string> ended;
};

TEST(LibraryFaults, ADiskThatFillsFailsOnlyTheBookThatDidNotFit) {
    TempFolder tmp;
    RunFixture fixture(tmp.path());
    SmallFileSystem disk(fixture.output(), "1m");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    BookProject shared = fixture.project({});
    // Random text deflates to far more than the megabyte the disk holds; the others fit.
    for (int i = 1; i <= 6; ++i) {
        const std::string name = std::to_string(i) + ".txt";
        shared.sourceFiles.push_back(
            fixture.text(name, i == 4 ? randomText(2 << 20, 4) : "Text " + name + "\n"));
    }
    TypedFields typed;
    typed.author = true;
    const std::vector<LibraryBook> books = planLibrary(shared, typed, 2);
    // A second work folder beside the fixture's, with the same template.
    const std::string second = tmp.path() + "/work2";
    fs::copy(fixture.work(), second, fs::copy_options::recursive);

    RecordingLibraryUi ui;
    const LibrarySummary summary = LibraryRun({fixture.work(), second}).run(books, 1, ui);
    EXPECT_EQ(summaryLine(summary), "5 books made, 1 failed");
    const std::string archive = fixture.output() + "/4.epub";
    const std::map<std::string, std::string> want = {
        {"1.txt", "ok"},
        {"2.txt", "ok"},
        {"3.txt", "ok"},
        {"4.txt", "Failed to build: " + archive + " Not enough room to write archive."},
        {"5.txt", "ok"},
        {"6.txt", "ok"},
    };
    EXPECT_EQ(ui.ended, want);
    EXPECT_EQ(folderNames(fixture.output()),
              (std::vector<std::string>{"1.epub", "2.epub", "3.epub", "5.epub", "6.epub"}));
}

}  // namespace
}  // namespace qb
