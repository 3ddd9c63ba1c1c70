// A library's plan: each text's own title, and file names that never meet, however many
// threads read the texts.

#include "convert/library_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/archive_name.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

using namespace test;

TEST(LibraryRun, NamesAlikeButForCaseAreNumberedInInputOrder) {
    TempFolder tmp;
    // Each text names its title; "Emma (2)" is a title of its own and keeps its name.
    const std::vector<std::pair<std::string, std::string>> titles = {
        {"Emma", "Emma.epub"},     {"emma", "emma (3).epub"},         {"Emma (2)", "Emma (2).epub"},
        {"EMMA", "EMMA (4).epub"}, {"Persuasion", "Persuasion.epub"}, {"a/b", "a_b.epub"},
        {"a_b", "a_b (2).epub"},
    };
    BookProject shared;
    shared.conventions = true;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string path = tmp.path() + "/t" + std::to_string(i) + ".txt";
        writeFile(path, "Title: " + titles[i].first +
                            "\nAuthor: Jane Austen\n\n*** START OF THE PROJECT GUTENBERG EBOOK "
                            "***\nText.\n");
        shared.sourceFiles.push_back(path);
    }
    for (const int jobs : {1, 3, 8}) {
        const std::vector<LibraryBook> books = planLibrary(shared, TypedFields{}, jobs);
        ASSERT_EQ(books.size(), titles.size());
        for (std::size_t i = 0; i < books.size(); ++i) {
            EXPECT_EQ(books[i].source, shared.sourceFiles[i]);
            EXPECT_EQ(books[i].project.sourceFiles, std::vector<std::string>{books[i].source});
            // Room for the whole list in every book made 10,000 texts take 3 GiB.
            EXPECT_EQ(books[i].project.sourceFiles.capacity(), 1u);
            EXPECT_EQ(books[i].project.title, titles[i].first) << "the title keeps no number";
            EXPECT_EQ(books[i].project.author, "Jane Austen");
            EXPECT_EQ(books[i].archiveName, titles[i].second) << "jobs " << jobs;
            EXPECT_EQ(books[i].numbered, titles[i].second != archiveFileName(titles[i].first));
        }
    }
}

TEST(LibraryRun, TypedFieldsAreSharedAndTheNumberSurvivesALongTitle) {
    TempFolder tmp;
    BookProject shared;
    shared.title = std::string(300, 'x');
    shared.author = "Typed";
    for (const char* name : {"/a.txt", "/b.txt"}) {
        writeFile(tmp.path() + name, "Text.\n");
        shared.sourceFiles.push_back(tmp.path() + name);
    }
    TypedFields typed;
    typed.title = true;
    typed.author = true;
    const std::vector<LibraryBook> books = planLibrary(shared, typed, 2);
    EXPECT_EQ(books[0].project.author, "Typed");
    // The long title keeps its mark of the whole title, and the number comes after it.
    const std::string first = books[0].archiveName;
    ASSERT_EQ(first.size(), 255u);
    const std::string mark = first.substr(first.size() - 14, 9);  // "~" and the hash
    ASSERT_EQ(mark[0], '~');
    EXPECT_EQ(books[1].archiveName, std::string(250 - 4 - 9, 'x') + mark + " (2).epub");
}

TEST(LibraryRun, SummarySaysWhatBecameOfEveryBook) {
    const std::vector<std::pair<LibrarySummary, std::string>> cases = {
        {{38, 2, 0, 0}, "38 books made, 2 failed"},
        {{1, 0, 0, 1}, "1 book made, 0 failed; 1 book numbered, as another text had its name"},
        {{3, 1, 4, 2},
         "3 books made, 1 failed, 4 not started; 2 books numbered, as another "
         "text had their name"},
    };
    for (const auto& [summary, line] : cases) EXPECT_EQ(summaryLine(summary), line);
}

TEST(LibraryRun, BooksShareTheProcessors) {
    EXPECT_EQ(packJobsPerBook(2, 2), 1);
    EXPECT_EQ(packJobsPerBook(8, 2), 4);
    EXPECT_EQ(packJobsPerBook(2, 1), 2);
    EXPECT_EQ(packJobsPerBook(3, 8), 1);
}

}  // namespace
}  // namespace qb
