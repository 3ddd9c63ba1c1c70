// The conversion run driven through a recording interface: what it shows and asks, in which
// order, and what it leaves on disk.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "book/conversion_run.h"
#include "tests/cli/program_runner.h"

namespace fs = std::filesystem;

namespace qb {
namespace {

using test::readFile;
using test::writeFile;

class RecordingUi : public RunUi {
  public:
    std::vector<std::string> events;
    bool overwrite = false;
    std::function<void()> onProcessEvents;

    void showNote(const std::string& text) override { events.push_back("note: " + text); }
    bool askOverwrite(const std::string& text) override {
        events.push_back("ask: " + text);
        return overwrite;
    }
    void showError(const std::string& text) override { events.push_back("error: " + text); }
    void showSuccess(const std::string& text) override { events.push_back("success: " + text); }
    void openFolder(const std::string& folder) override { events.push_back("open: " + folder); }
    void processEvents() override {
        if (onProcessEvents) onProcessEvents();
    }
    void pageWritten(int k, int n) override {
        events.push_back("page " + std::to_string(k) + "/" + std::to_string(n));
    }
    void packingStarted() override { events.push_back("packing"); }
};

class ConversionRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/qb-run-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_work = m_dir + "/work";
        fs::create_directories(m_work + "/META-INF");
        writeFile(m_work + "/mimetype", "application/epub+zip");
        writeFile(m_work + "/META-INF/container.xml",
                  "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
                  "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                  "<rootfile full-path=\"OEBPS/fb.opf\" "
                  "media-type=\"application/oebps-package+xml\"/></rootfiles></container>\n");
        // What an earlier run left behind.
        fs::create_directories(m_work + "/OEBPS");
        writeFile(m_work + "/OEBPS/stale.html", "old");

        m_project.sourceFiles = {text("one.txt", "first\n"), text("two.txt", "second\n")};
        m_project.title = "Book";
        m_project.author = "A. Writer";
        m_project.outputFolder = m_dir + "/out";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string text(const std::string& name, const std::string& bytes) {
        writeFile(m_dir + "/" + name, bytes);
        return m_dir + "/" + name;
    }
    std::vector<std::string> contentFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_work + "/OEBPS"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string archive() const { return m_project.outputFolder + "/Book.epub"; }

    std::string m_dir;
    std::string m_work;
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

TEST_F(ConversionRunTest, EntriesAreCheckedInOrderOnceTheBookIsWritten) {
    struct Case {
        std::string outputFolder, title, author, note;
    };
    const std::string out = m_project.outputFolder;
    const Case cases[] = {
        {"", "", "", "Please set the saving path!"},
        {out, "", "", "Please set the book title!"},
        {out, "Book", "", "Please set the author name!"},
        {"", "Book", "A. Writer", "Please set the saving path!"},
    };
    for (const Case& c : cases) {
        ConversionRun run(m_work);
        RecordingUi ui;
        m_project.outputFolder = c.outputFolder;
        m_project.title = c.title;
        m_project.author = c.author;
        EXPECT_EQ(run.run(m_project, ui), RunResult::Stopped);
        EXPECT_EQ(ui.events, (std::vector<std::string>{"page 1/2", "page 2/2", "note: " + c.note}));
        // The whole unpacked book of this run stays, and nothing of the one before.
        EXPECT_EQ(contentFiles(), (std::vector<std::string>{"fb.ncx", "fb.opf", "page1.html",
                                                            "page2.html", "stylesheet.css"}));
        EXPECT_FALSE(fs::exists(out));
    }
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
    EXPECT_EQ(contentFiles(), std::vector<std::string>{"page1.html"});
    EXPECT_FALSE(fs::exists(m_project.outputFolder));
}

TEST_F(ConversionRunTest, OverwriteIsAskedAndNoKeepsTheOldArchive) {
    fs::create_directories(m_project.outputFolder);
    writeFile(archive(), "the old book");

    ConversionRun run(m_work);
    RecordingUi no;
    EXPECT_EQ(run.run(m_project, no), RunResult::Stopped);
    EXPECT_EQ(no.events.back(), "ask: The file is existing. Overwrite?");
    EXPECT_EQ(readFile(archive()), "the old book");
    EXPECT_EQ(run.targetArchive(), archive());

    RecordingUi yes;
    yes.overwrite = true;
    EXPECT_EQ(run.run(m_project, yes), RunResult::Built);
    EXPECT_EQ(yes.events,
              (std::vector<std::string>{
                  "page 1/2", "page 2/2", "ask: The file is existing. Overwrite?", "packing",
                  "success: Successed to build: " + archive(), "open: " + m_project.outputFolder}));
    EXPECT_EQ(readFile(archive()).substr(0, 2), "PK");
}

TEST_F(ConversionRunTest, SecondStartDuringARunIsIgnored) {
    ConversionRun run(m_work);
    RecordingUi ui;
    RecordingUi nestedUi;
    std::optional<RunResult> nested;
    ui.onProcessEvents = [&] {
        if (!nested) nested = run.run(m_project, nestedUi);
    };
    EXPECT_EQ(run.run(m_project, ui), RunResult::Built);
    ASSERT_TRUE(nested.has_value()) << "the packer never let events through";
    EXPECT_EQ(*nested, RunResult::Skipped);
    EXPECT_TRUE(nestedUi.events.empty());
    EXPECT_FALSE(run.running());
    EXPECT_EQ(ui.events.back(), "open: " + m_project.outputFolder);
    EXPECT_EQ(test::runProgram({"unzip", "-tq", archive()}).exitStatus, 0);
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
    struct BlockingUi : RecordingUi {
        std::string blocked;
        void pageWritten(int k, int n) override {
            RecordingUi::pageWritten(k, n);
            if (k == n) fs::create_directory(blocked);
        }
    } ui;
    ui.blocked = m_work + "/OEBPS/cover.html";
    m_project.coverPath = text("front.jpg", "\xFF\xD8\xFF\xE0 jpeg");
    ConversionRun run(m_work);
    EXPECT_EQ(run.run(m_project, ui), RunResult::Failed);
    EXPECT_EQ(ui.events, (std::vector<std::string>{
                             "page 1/2", "page 2/2",
                             "error: Cannot create file \"" + ui.blocked + "\". Is a directory."}));
    EXPECT_FALSE(fs::exists(m_project.outputFolder));
}

TEST_F(ConversionRunTest, CoverKeepsAPlainNameAndGetsASafeOneOtherwise) {
    const unsigned char png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
    const std::string pngBytes(reinterpret_cast<const char*>(png), sizeof png);
    struct Case {
        std::string file, bytes, copy;
    };
    const Case cases[] = {
        {"front-1.jpg", "\xFF\xD8\xFF\xE0 jpeg", "front-1.jpg"},
        {"my cover & more.png", pngBytes, "cover.png"},
        {".hidden.jpg", "\xFF\xD8\xFF\xE0 jpeg", "cover.jpg"},
        {"page1.html", "GIF89a....", "cover.gif"},
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
            // Replacing was agreed to and has happened; the user is told the old book is gone.
            EXPECT_NE(last.find("already replaced"), std::string::npos) << last;
        } else {
            EXPECT_FALSE(fs::exists(archive())) << "a broken book was left under the book's name";
        }
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
