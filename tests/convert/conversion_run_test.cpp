// The conversion run driven through a recording interface: what it shows and asks, in which
// order, and what it leaves on disk.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "convert/archive_name.h"
#include "convert/conversion_run.h"
#include "package/packager.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/pictures.h"
#include "tests/support/program_runner.h"
#include "tests/support/recording_ui.h"
#include "tests/support/run_fixture.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace qb {
namespace {

using namespace test;

class ConversionRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // What an earlier run left behind.
        fs::create_directories(m_work + "/OEBPS");
        writeFile(m_work + "/OEBPS/stale.html", "old");
        m_project = m_run.project({text("one.txt", "first\n"), text("two.txt", "second\n")});
    }

    std::string text(const std::string& name, const std::string& bytes) {
        return m_run.text(name, bytes);
    }
    std::vector<std::string> contentFiles() const { return test::folderNames(m_work + "/OEBPS"); }
    std::string archive() const { return m_project.outputFolder + "/Book.epub"; }

    test::TempFolder m_tmp;
    const test::RunFixture m_run{m_tmp.path()};
    const std::string m_dir = m_tmp.path();
    const std::string m_work = m_run.work();
    BookProject m_project;
};

TEST_F(ConversionRunTest, EmptyListChangesNothing) {
    ConversionRun run(m_work);
    RecordingUi ui;
    m_project.sourceFiles.clear();
    EXPECT_EQ(run.run(m_project, ui), RunResult::Skipped);
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
    EXPECT_FALSE(fs::exists(m_project.outputFolder));
}

TEST_F(ConversionRunTest, EntriesAreCheckedInOrderBeforeAnythingIsWritten) {
    struct Case {
        std::string outputFolder, title, author, note;
    };
    const std::string out = m_project.outputFolder;
    const Case cases[] = {
        {"", "", "", "Please set the saving path!"},
        {out, "", "", "Please set the book title!"},
        {out, "Book", "", "Please set the author name!"},
        {"", "Book", "A. Writer", "Please set the saving path!"},
        // Titles of blanks only are no titles: ASCII blanks, no-break and ideographic spaces.
        {out, " \t ", "A. Writer", "Please set the book title!"},
        {out, "\xE3\x80\x80\xC2\xA0\xE2\x80\x83", "A. Writer", "Please set the book title!"},
    };
    for (const Case& c : cases) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.outputFolder = c.outputFolder;
        m_project.title = c.title;
        m_project.author = c.author;
        EXPECT_EQ(run.run(m_project, ui), RunResult::Stopped);
        EXPECT_EQ(ui.events, (std::vector<std::string>{"note: " + c.note}));
        // Nothing is written: the last run's content folder is as it was.
        EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
        EXPECT_FALSE(fs::exists(out));
    }
    // Blanks around a real title are the user's business.
    ConversionRun run(m_work);
    RecordingUi ui;
    m_project.outputFolder = out;
    m_project.title =
        "\xE3\x80\x80"
        "Book ";
    m_project.author = "A. Writer";
    EXPECT_EQ(run.run(m_project, ui), RunResult::Built);
}

TEST_F(ConversionRunTest, OutputFolderThatCannotBeMadeStopsTheRunWithItsCause) {
    writeFile(m_dir + "/plain", "a file where a folder should be");
    const struct {
        std::string folder, named, cause;
    } cases[] = {
        // The first folder that cannot be made is named, not a deeper one.
        {m_dir + "/plain/sub/deeper", m_dir + "/plain/sub", "Not a directory"},
        {m_dir + "/plain", m_dir + "/plain", "Not a directory"},
        {m_dir + "/plain/", m_dir + "/plain", "Not a directory"},
    };
    for (const auto& c : cases) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.outputFolder = c.folder;
        EXPECT_EQ(run.run(m_project, ui), RunResult::Failed) << c.folder;
        EXPECT_EQ(ui.events, std::vector<std::string>{"error: Cannot create folder \"" + c.named +
                                                      "\". " + c.cause + "."});
        EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
    }
    // Missing parents are made, trailing slashes and all.
    ConversionRun run(m_work);
    RecordingUi ui;
    m_project.outputFolder = m_dir + "/new/a/b//";
    EXPECT_EQ(run.run(m_project, ui), RunResult::Built);
    EXPECT_TRUE(fs::exists(m_dir + "/new/a/b/Book.epub"));
}

TEST_F(ConversionRunTest, TargetPathLongerThanTheSystemTakesIsAnEarlyError) {
    std::string folder = m_dir;
    while (folder.size() < 4000) folder += "/" + std::string(200, 'd');
    ConversionRun run(m_work);
    RecordingUi ui;
    m_project.outputFolder = folder;
    m_project.title = std::string(240, 't');
    EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
    ASSERT_EQ(ui.events.size(), 1u);
    const std::string target = folder + "/" + std::string(240, 't') + ".epub";
    EXPECT_EQ(ui.events[0], "error: Cannot create file \"" + target + "\". The path is " +
                                std::to_string(target.size()) +
                                " bytes long; the system takes at most 4095.");
    EXPECT_FALSE(fs::exists(m_dir + "/" + std::string(200, 'd')));
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
}

TEST_F(ConversionRunTest, PageErrorEndsTheRunBeforeLaterPages) {
    ConversionRun run(m_work);
    RecordingUi ui;
    const std::string missing = m_dir + "/missing.txt";
    m_project.sourceFiles = {m_project.sourceFiles[0], missing, m_project.sourceFiles[1]};
    EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
    EXPECT_EQ(ui.events,
              (std::vector<std::string>{"page 1/3", "error: Cannot open file \"" + missing +
                                                        "\". No such file or directory."}));
    // The pages written before the error go with the run.
    EXPECT_FALSE(fs::exists(m_work + "/OEBPS"));
    // The output folder was made before the pages were written; no book went into it.
    EXPECT_TRUE(fs::is_empty(m_project.outputFolder));
}

TEST_F(ConversionRunTest, OverwriteIsAskedAndNoKeepsTheOldArchive) {
    fs::create_directories(m_project.outputFolder);
    writeFile(archive(), "the old book");

    ConversionRun run(m_work);
    RecordingUi no;
    EXPECT_EQ(run.run(m_project, no), RunResult::Stopped);
    EXPECT_EQ(no.events, std::vector<std::string>{"ask: The file is existing. Overwrite?"});
    EXPECT_EQ(readFile(archive()), "the old book");
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
    EXPECT_EQ(run.targetArchive(), archive());

    RecordingUi yes;
    yes.overwrite = true;
    EXPECT_EQ(run.run(m_project, yes), RunResult::Built);
    EXPECT_EQ(yes.events,
              (std::vector<std::string>{
                  "ask: The file is existing. Overwrite?", "page 1/2", "page 2/2", "packing",
                  "success: Successed to build: " + archive(), "open: " + m_project.outputFolder}));
    EXPECT_EQ(readFile(archive()).substr(0, 2), "PK");
}

TEST_F(ConversionRunTest, CancelBetweenPagesEndsTheRunQuietlyAndKeepsTheOldBook) {
    fs::create_directories(m_project.outputFolder);
    writeFile(archive(), "the old book");
    m_project.sourceFiles.push_back(text("three.txt", "third\n"));
    ConversionRun run(m_work);
    RecordingUi ui;
    ui.overwrite = true;
    int asked = 0;
    ui.cancel = [&] { return ++asked == 2; };
    EXPECT_EQ(run.run(m_project, ui), RunResult::Cancelled);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"ask: The file is existing. Overwrite?",
                                                   "page 1/3", "page 2/3"}));
    EXPECT_EQ(readFile(archive()), "the old book");
    EXPECT_EQ(test::folderNames(m_project.outputFolder), std::vector<std::string>{"Book.epub"});
    EXPECT_FALSE(fs::exists(m_work + "/OEBPS"));
}

// One large text: the progress comes page by page, in bytes of the texts, from the first page
// to the whole; and a cancel between two of its pages ends the run as any cancel does.
TEST_F(ConversionRunTest, ProgressAndCancelComePageByPageWithinOneText) {
    std::string big;
    // Large beside the pieces the decoder hands on (64 KiB), which the progress moves by.
    for (int line = 0; big.size() < 1000000; ++line)
        big += "Line " + std::to_string(line) + " of a long text that makes many pages.\n";
    m_project.sourceFiles = {m_project.sourceFiles[0], text("big.txt", big)};
    m_project.maxPageBytes = 16384;
    const std::uint64_t bytes = 6 + big.size();

    {
        ConversionRun run(m_work);
        RecordingUi ui;
        ASSERT_EQ(run.run(m_project, ui), RunResult::Built);
        const std::size_t pageFiles = contentFiles().size() - 3;  // stylesheet, fb.opf, fb.ncx
        ASSERT_EQ(ui.pages.size(), pageFiles);
        ASSERT_GT(pageFiles, 20u);
        std::uint64_t last = 0;
        for (std::size_t i = 0; i < ui.pages.size(); ++i) {
            const PageDone& page = ui.pages[i];
            EXPECT_EQ(page.pages, i + 1);
            EXPECT_EQ(page.textTotal, bytes);
            EXPECT_GE(page.textDone, last);
            EXPECT_LE(page.textDone, bytes);
            EXPECT_TRUE(fs::exists(page.path)) << page.path;
            last = page.textDone;
        }
        EXPECT_EQ(last, bytes);
        // Steady: halfway through the pages, about halfway through the bytes.
        const double middle = static_cast<double>(ui.pages[ui.pages.size() / 2].textDone) /
                              static_cast<double>(bytes);
        EXPECT_GT(middle, 0.4);
        EXPECT_LT(middle, 0.6);
    }

    fs::create_directories(m_project.outputFolder);
    writeFile(archive(), "the old book");
    ConversionRun run(m_work);
    RecordingUi ui;
    ui.overwrite = true;
    ui.cancel = [&] { return ui.pages.size() == 5; };
    EXPECT_EQ(run.run(m_project, ui), RunResult::Cancelled);
    EXPECT_EQ(ui.pages.size(), 5u);
    EXPECT_EQ(ui.events.back(), "page 2/2");
    EXPECT_EQ(readFile(archive()), "the old book");
    EXPECT_EQ(test::folderNames(m_project.outputFolder), std::vector<std::string>{"Book.epub"});
}

// Pages are deflated while later ones are written; the archive is the one the packer makes of
// the same folder without that, whatever the number of workers.
TEST_F(ConversionRunTest, PagesDeflatedWhileWritingLeaveTheArchiveUnchanged) {
    std::string big;
    for (int line = 0; big.size() < 400000; ++line)
        big += "Paragraph " + std::to_string(line * 7919 % 10007) + " of a text.\n";
    m_project.sourceFiles.push_back(text("big.txt", big));
    m_project.maxPageBytes = 16384;
    for (const int jobs : {1, 2, 8}) {
        SCOPED_TRACE(jobs);
        m_project.jobs = jobs;
        ConversionRun run(m_work);
        RecordingUi ui;
        ui.overwrite = true;
        ASSERT_EQ(run.run(m_project, ui), RunResult::Built);
        const std::string again = m_dir + "/again.epub";
        fs::remove(again);
        PackOptions options;
        options.jobs = jobs;
        ASSERT_TRUE(packageFolder(again, m_work, {}, options).built);
        EXPECT_TRUE(readFile(archive()) == readFile(again));
    }
}

TEST_F(ConversionRunTest, CancelWhilePackingLeavesNoUnfinishedArchive) {
    // Enough members that the packer asks for events many times while its archive is open.
    m_project.sourceFiles.clear();
    for (int k = 0; k < 40; ++k)
        m_project.sourceFiles.push_back(
            text("t" + std::to_string(k) + ".txt", std::string(20000, 'a' + k % 26) + "\n"));
    fs::create_directories(m_project.outputFolder);
    writeFile(archive(), "the old book");

    // How often does a whole build ask? Then stop one run at each stage of it in turn.
    int total = 0;
    {
        ConversionRun run(m_work);
        RecordingUi ui;
        ui.overwrite = true;
        ui.onProcessEvents = [&] { ++total; };
        ASSERT_EQ(run.run(m_project, ui), RunResult::Built);
        writeFile(archive(), "the old book");
    }
    ASSERT_GT(total, 3);
    // How often the packer pauses depends on the workers' pace, so the last stage is found by
    // what it is: every byte read, only the archive's naming still to come (stopAt 0).
    for (const int stopAt : {1, 2, total / 2, 0}) {
        ConversionRun run(m_work);
        RecordingUi ui;
        ui.overwrite = true;
        int seen = 0;
        bool packing = false;
        ui.onProcessEvents = [&] { packing = true; };
        ui.cancel = [&] {
            if (stopAt == 0) {
                return !ui.progress.empty() &&
                       ui.progress.back().first == ui.progress.back().second;
            }
            return packing && ++seen == stopAt;
        };
        EXPECT_EQ(run.run(m_project, ui), RunResult::Cancelled) << stopAt;
        EXPECT_EQ(ui.events.back(), "packing") << stopAt;  // no error, no success
        EXPECT_EQ(readFile(archive()), "the old book") << stopAt;
        EXPECT_EQ(test::folderNames(m_project.outputFolder), std::vector<std::string>{"Book.epub"})
            << stopAt;
        EXPECT_FALSE(fs::exists(m_work + "/OEBPS")) << stopAt;
    }
}

TEST_F(ConversionRunTest, PackingProgressCountsUpToItsTotal) {
    ConversionRun run(m_work);
    RecordingUi ui;
    ASSERT_EQ(run.run(m_project, ui), RunResult::Built);
    // The packer may report none at all; what it reports must make sense as a bar.
    std::uint64_t last = 0;
    for (const auto& [done, total] : ui.progress) {
        EXPECT_LE(done, total);
        EXPECT_GE(done, last);
        last = done;
    }
    if (!ui.progress.empty()) {
        EXPECT_EQ(ui.progress.back().first, ui.progress.back().second);
    }
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(RunTextsTest, ErrorBoxAddsAFullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(errorBoxText("Cannot open file \"a\". No such file or directory"),
              "Cannot open file \"a\". No such file or directory.");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(errorBoxText("ends in a space "), "ends in a space ");
    EXPECT_EQ(errorBoxText(""), "");
}

TEST(RunTextsTest, ArchiveNamesCannotLeaveTheOutputFolder) {
    EXPECT_EQ(archiveFileName("Tom & Jerry <1/2>"), "Tom & Jerry _1_2_.epub");
    EXPECT_EQ(archiveFileName("a\\b:c*d?e\"f|g\th"), "a_b_c_d_e_f_g_h.epub");
    EXPECT_EQ(archiveFileName(".."), "_.epub");
    EXPECT_EQ(archiveFileName("."), "_.epub");
    EXPECT_EQ(archiveFileName("..."), "....epub");
    EXPECT_EQ(archiveFileName("Été"), "Été.epub");
}

TEST_F(ConversionRunTest, ACoverPageThatCannotBeWrittenEndsTheRun) {
    // The package document names cover.html for every book with a cover, so a book built
    // without it would be broken. A folder standing in its place stops it being written.
    const std::string blocked = m_work + "/OEBPS/cover.html";
    RecordingUi ui;
    ui.onPageWritten = [&](int k, int n) {
        if (k == n) fs::create_directory(blocked);
    };
    m_project.coverPath = text("front.jpg", test::jpegPicture());
    ConversionRun run(m_work);
    EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "page 1/2", "page 2/2",
                             "error: Cannot create file \"" + blocked + "\". Is a directory."}));
    EXPECT_TRUE(fs::is_empty(m_project.outputFolder));
    EXPECT_FALSE(fs::exists(m_work + "/OEBPS"));
}

TEST(RunTextsTest, LongTitlesAreCutAtACharacterBoundaryAndKeepApart) {
    const auto repeat = [](const std::string& piece, int times) {
        std::string s;
        for (int i = 0; i < times; ++i) s += piece;
        return s;
    };
    // 250 bytes and ".epub" fit exactly, as they are.
    EXPECT_EQ(archiveFileName(std::string(250, 'a')), std::string(250, 'a') + ".epub");
    // Longer: cut before the character that would pass 241 bytes, then "~" and eight hex
    // digits of the whole title's hash.
    struct Case {
        std::string title, charset, kept;
    };
    const Case cases[] = {
        {std::string(251, 'a'), "UTF-8", std::string(241, 'a')},
        // Three-byte CJK characters: 80 of them (240 bytes) fit, the 81st would not.
        {repeat("\xE6\x9B\xB8", 100), "UTF-8", repeat("\xE6\x9B\xB8", 80)},
        // Four-byte characters after one ASCII byte: 1 + 60 * 4 = 241.
        {"x" + repeat("\xF0\x9D\x84\x9E", 70), "UTF-8", "x" + repeat("\xF0\x9D\x84\x9E", 60)},
        // Replaced characters count as the one byte they become.
        {std::string(300, '/'), "UTF-8", std::string(241, '_')},
        // In GBK the same character takes two bytes: the cut counts the name's own bytes.
        {repeat("\xE6\x9B\xB8", 200), "GBK", repeat("\x95\xF8", 120)},
    };
    for (const Case& c : cases) {
        const std::string name = archiveFileName(c.title, c.charset);
        ASSERT_EQ(name.size(), c.kept.size() + 9 + 5) << name;
        EXPECT_EQ(name.substr(0, c.kept.size()), c.kept);
        const std::string mark = name.substr(c.kept.size(), 9);
        EXPECT_EQ(mark[0], '~') << name;
        EXPECT_EQ(mark.find_first_not_of("0123456789abcdef", 1), std::string::npos) << name;
        EXPECT_EQ(name.substr(name.size() - 5), ".epub");
    }
    // Titles that differ only past the cut, even only in their last character, keep apart.
    EXPECT_NE(archiveFileName(std::string(300, 'a')), archiveFileName(std::string(299, 'a') + "b"));
    EXPECT_NE(archiveFileName(std::string(300, 'a')), archiveFileName(std::string(301, 'a')));
}

// Where file names are written in the locale's charset, the archive's name is too: a GBK
// folder gets a GBK name, and a character the charset cannot hold becomes "_".
TEST(RunTextsTest, ArchiveNamesAreWrittenInTheirCharset) {
    struct Case {
        std::string title, charset, name;
    };
    const Case cases[] = {
        {"\xE6\x98\xA5\xE7\x9C\xA0", "GBK", "\xB4\xBA\xC3\xDF.epub"},  // 春眠
        {"\xE6\x98\xA5 \xF0\x9F\x98\x80", "GBK", "\xB4\xBA _.epub"},   // an emoji
        {"Volume 1: Start", "GBK", "Volume 1_ Start.epub"},
        {"Caf\xC3\xA9 \xE2\x82\xAC", "ISO-8859-1", "Caf\xE9 _.epub"},  // no euro sign
        {"Caf\xC3\xA9 \xE2\x82\xAC", "UTF-8", "Caf\xC3\xA9 \xE2\x82\xAC.epub"},
        {"Caf\xC3\xA9", "utf8", "Caf\xC3\xA9.epub"},
    };
    for (const Case& c : cases) EXPECT_EQ(archiveFileName(c.title, c.charset), c.name) << c.title;

    // The run names its archive in the locale's charset.
    test::TempFolder tmp;
    const test::RunFixture fixture(tmp.path());
    BookProject project = fixture.project({fixture.text("one.txt", "first\n")});
    project.title = "\xE6\x98\xA5\xE7\x9C\xA0";
    test::EnvGuard env;
    env.locale("zh_CN.GBK");
    ConversionRun run(fixture.work());
    RecordingUi ui;
    EXPECT_EQ(run.run(project, ui), RunResult::Built) << testing::PrintToString(ui.events);
    EXPECT_EQ(run.targetArchive(), project.outputFolder + "/\xB4\xBA\xC3\xDF.epub");
    EXPECT_TRUE(fs::exists(run.targetArchive()));
}

// A title that shares its file name with another book's (a character a file name cannot hold,
// the end past the cut) must not cost that book unseen: the question names it, and so does
// the run once it has replaced it. What cannot be read as a book only goes unnamed.
TEST_F(ConversionRunTest, AnotherBookUnderTheSameNameIsNamed) {
    m_project.title = "Volume 1: Start";
    ConversionRun run(m_work);
    RecordingUi first;
    ASSERT_EQ(run.run(m_project, first), RunResult::Built);
    const std::string book = run.targetArchive();
    const std::string firstBook = readFile(book);

    m_project.title = "Volume 1? Start";
    RecordingUi no;
    EXPECT_EQ(run.run(m_project, no), RunResult::Stopped);
    const std::string question =
        "ask: The file is existing. Overwrite?\nIt holds another book: \"Volume 1: Start\".";
    EXPECT_EQ(no.events, std::vector<std::string>{question});
    EXPECT_EQ(readFile(book), firstBook);

    RecordingUi yes;
    yes.overwrite = true;
    EXPECT_EQ(run.run(m_project, yes), RunResult::Built);
    EXPECT_EQ(run.targetArchive(), book);
    EXPECT_EQ(yes.events,
              (std::vector<std::string>{
                  question, "page 1/2", "page 2/2", "packing", "replaced: Volume 1: Start",
                  "success: Successed to build: " + book, "open: " + m_project.outputFolder}));

    // The same title again: the plain question. Then files that are no readable book.
    for (const std::string& there :
         {std::string(), std::string("not a zip"), firstBook.substr(0, firstBook.size() / 2),
          firstBook.substr(0, firstBook.size() - 10)}) {
        if (!there.empty()) writeFile(book, there);
        RecordingUi again;
        EXPECT_EQ(run.run(m_project, again), RunResult::Stopped);
        EXPECT_EQ(again.events, std::vector<std::string>{"ask: The file is existing. Overwrite?"});
    }
}

TEST_F(ConversionRunTest, CoverKeepsAPlainNameAndGetsASafeOneOtherwise) {
    struct Case {
        std::string file, bytes, copy;
    };
    const Case cases[] = {
        {"front-1.jpg", test::jpegPicture(), "front-1.jpg"},
        {"my cover & more.png", test::pngPicture(), "cover.png"},
        {".hidden.jpg", test::jpegPicture(), "cover.jpg"},
        {"page1.html", test::gifPicture(), "cover.gif"},
    };
    for (const Case& c : cases) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.coverPath = text(c.file, c.bytes);
        EXPECT_EQ(run.run(m_project, ui), RunResult::Built) << c.file;
        EXPECT_TRUE(fs::exists(m_work + "/OEBPS/" + c.copy)) << c.file;
        const std::string opf = test::readFile(m_work + "/OEBPS/fb.opf");
        EXPECT_NE(opf.find("href=\"" + c.copy + "\""), std::string::npos) << c.file;
        EXPECT_NE(test::readFile(m_work + "/OEBPS/cover.html").find("src=\"" + c.copy + "\""),
                  std::string::npos)
            << c.file;
        m_project.coverPath.clear();
        fs::remove(archive());
    }
}

TEST_F(ConversionRunTest, BookWithATitleTooLongForAFileNameIsBuiltUnderTheShortenedName) {
    std::string title;
    for (int i = 0; i < 120; ++i) title += "\xE9\x95\xB7";  // 360 bytes
    ConversionRun run(m_work);
    RecordingUi ui;
    m_project.title = title;
    EXPECT_EQ(run.run(m_project, ui), RunResult::Built);
    const std::string book = m_project.outputFolder + "/" + archiveFileName(title);
    EXPECT_EQ(run.targetArchive(), book);
    EXPECT_EQ(ui.events[ui.events.size() - 2], "success: Successed to build: " + book);
    EXPECT_EQ(test::runProgram({"unzip", "-tq", book}).exitStatus, 0);
    // The whole title is still the book's title inside.
    EXPECT_NE(readFile(m_work + "/OEBPS/fb.opf").find(title), std::string::npos);
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// A book is made only when its archive holds every file the run wrote; what the packer lost
// (here a page that vanished while it was packed) fails the run instead.
TEST_F(ConversionRunTest, ArchiveThatLacksAPageIsNoBookMade) {
    const std::string page2 = m_work + "/OEBPS/page2.html";
    for (const bool oldBook : {false, true}) {
        if (oldBook) {
            fs::create_directories(m_project.outputFolder);
            writeFile(archive(), "the old book");
        }
        ConversionRun run(m_work);
        RecordingUi ui;
        ui.overwrite = true;
        ui.onProcessEvents = [&] { fs::remove(page2); };
        EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
        ASSERT_FALSE(ui.events.empty());
        const std::string& last = ui.events.back();
        EXPECT_EQ(last.rfind("error: Failed to build: " + archive() + "\n", 0), 0u) << last;
        EXPECT_NE(last.find("\"OEBPS/page2.html\""), std::string::npos) << last;
        EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(),
                             "success: Successed to build: " + archive()),
                  0);
        if (oldBook) {
            // The archive is checked before it takes the old book's place, so that one stays.
            EXPECT_EQ(readFile(archive()), "the old book");
            EXPECT_EQ(folderNames(m_project.outputFolder), std::vector<std::string>{"Book.epub"});
        } else {
            EXPECT_FALSE(fs::exists(archive())) << "a broken book was left under the book's name";
        }
        EXPECT_FALSE(fs::exists(m_work + "/OEBPS"));
    }
}

// The window's choices reach the run typed, perhaps from a settings file written by hand: the
// run checks them as the command line does, before any work.
TEST_F(ConversionRunTest, ChoicesTheReaderCannotUseAreNotedBeforeAnyWork) {
    m_project.chapterMode = ChapterMode::Pattern;
    m_project.chapterPattern = "(Chapter";
    ConversionRun run(m_work);
    RecordingUi ui;
    EXPECT_EQ(run.run(m_project, ui), RunResult::Stopped);
    EXPECT_EQ(ui.events, std::vector<std::string>{"note: Chapters: invalid pattern \"(Chapter\": "
                                                  "missing closing parenthesis at offset 8"});
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
}

// The template every work folder is made from: a book saved there would travel into every
// later book, from the window as from the command line.
TEST_F(ConversionRunTest, OutputFolderInsideTheTemplateIsRefusedBeforeAnyWork) {
    const std::string templateFolder = m_dir + "/template";
    fs::create_directories(templateFolder + "/META-INF");
    const std::string out = templateFolder + "/META-INF";
    ConversionRun run(m_work, templateFolder);
    RecordingUi ui;
    m_project.outputFolder = out;
    EXPECT_EQ(run.run(m_project, ui), RunResult::Stopped);
    EXPECT_EQ(ui.events,
              std::vector<std::string>{"note: The output folder \"" + out +
                                       "\" lies inside the book template \"" + templateFolder +
                                       "\"; please choose another folder"});
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"});
    EXPECT_TRUE(folderNames(out).empty());
}

// The library's own text ("std::bad_alloc") tells the user nothing: the run says what it was
// doing when memory ran out.
TEST_F(ConversionRunTest, OutOfMemorySaysWhatTheRunWasDoing) {
    const std::string pages =
        "Out of memory while writing the pages of \"" + m_project.sourceFiles[0] + "\"";
    const std::string packing =
        "Failed to build: " + archive() + "\nOut of memory while packing \"" + archive() + "\"";
    for (const bool whilePacking : {false, true}) {
        ConversionRun run(m_work);
        RecordingUi ui;
        const auto exhausted = [] { throw std::bad_alloc(); };
        if (whilePacking)
            ui.onProcessEvents = exhausted;
        else
            ui.onPageWritten = [&](int, int) { exhausted(); };
        EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
        EXPECT_EQ(ui.errors(), std::vector<std::string>{whilePacking ? packing : pages});
        EXPECT_FALSE(fs::exists(archive()));
    }
}

TEST_F(ConversionRunTest, OutputFolderInsideTheWorkFolderIsRefusedBeforeAnyWork) {
    fs::create_directories(m_dir + "/elsewhere");
    fs::create_directory_symlink(m_work, m_dir + "/elsewhere/link");
    for (const std::string& out :
         {m_work, m_work + "/OEBPS", m_work + "/OEBPS/new/books", m_dir + "/elsewhere/link/books",
          m_dir + "/elsewhere/../work/./META-INF/../x"}) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.outputFolder = out;
        EXPECT_EQ(run.run(m_project, ui), RunResult::Stopped) << out;
        ASSERT_EQ(ui.events.size(), 1u) << out;
        EXPECT_EQ(ui.events[0].rfind("note: The output folder \"" + out + "\" lies inside", 0), 0u)
            << ui.events[0];
        EXPECT_EQ(contentFiles(), std::vector<std::string>{"stale.html"}) << out;
    }
    EXPECT_FALSE(fs::exists(m_work + "/OEBPS/new"));

    // Beside the work folder, or named like it, is fine.
    for (const std::string& out : {m_dir + "/work-books", m_dir + "/elsewhere"}) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.outputFolder = out;
        EXPECT_EQ(run.run(m_project, ui), RunResult::Built) << out;
    }
}

}  // namespace
}  // namespace qb
