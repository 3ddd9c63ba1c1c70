#include "package/packager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>

#include "package/archive_file.h"
#include "tests/support/files.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

// A work folder as a conversion run leaves it: the template and a finished OEBPS/.
class PackagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(work() + "/META-INF");
        fs::create_directories(work() + "/OEBPS");
        for (const char* page : {"page2.html", "fb.opf", "page1.html", "fb.ncx"}) {
            writeFile(work() + "/OEBPS/" + page, std::string("content of ") + page);
        }
        writeFile(work() + "/META-INF/container.xml", "<container/>");
        writeFile(work() + "/mimetype", "application/epub+zip");
        writeFile(work() + "/.DS_Store", "hidden");
        fs::create_directory(m_tmp / "out");
    }

    std::string work() const { return m_tmp / "epubfiles"; }
    std::string target() const { return m_tmp / "out/Book.epub"; }
    std::vector<std::string> outNames() const { return test::folderNames(m_tmp / "out"); }

    TempFolder m_tmp;
};

TEST_F(PackagerTest, PacksMimetypeFirstAndStoredThenTheRestInListingOrder) {
    int messages = 0;
    const PackResult result = packageFolder(target(), work(), {[&] { ++messages; }, {}, {}});
    ASSERT_TRUE(result.built) << result.cause;
    EXPECT_TRUE(result.cause.empty());
    EXPECT_GT(messages, 0);

    // The container next, then the pages in the order the file system lists them.
    std::vector<std::string> expected{"mimetype", "META-INF/container.xml"};
    for (const auto& page : fs::directory_iterator(work() + "/OEBPS")) {
        expected.push_back("OEBPS/" + page.path().filename().string());
    }

    const test::ZipContents contents = readZip(readFile(target()));
    EXPECT_EQ(contents.names(), expected);
    const test::ZipMember& mimetype = contents.members.front();
    EXPECT_EQ(mimetype.method, 0);
    EXPECT_EQ(mimetype.flags, 0);
    EXPECT_EQ(mimetype.data, "application/epub+zip");
    EXPECT_EQ(mimetype.compressedSize, mimetype.uncompressedSize);
    for (std::size_t i = 1; i < contents.members.size(); ++i) {
        EXPECT_EQ(contents.members[i].method, 8) << contents.members[i].name;
    }
    EXPECT_EQ(contents.members[1].localOffset, 30u + 8u + 20u);  // no extra field after mimetype
    EXPECT_TRUE(test::unzipAccepts(target()));
}

TEST_F(PackagerTest, OnlyTheBooksOwnFilesArePacked) {
    // A book once saved into the work folder, notes beside the template's files: none of them
    // belongs to this book, and a book without its own files is none.
    writeFile(work() + "/Other Book.epub", "private");
    writeFile(work() + "/META-INF/notes.txt", "private");
    fs::create_directories(work() + "/drafts");
    writeFile(work() + "/drafts/chapter.html", "private");
    ASSERT_TRUE(packageFolder(target(), work()).built);
    for (const std::string& name : readZip(readFile(target())).names()) {
        EXPECT_TRUE(name == "mimetype" || name == "META-INF/container.xml" ||
                    name.rfind("OEBPS/", 0) == 0)
            << name;
    }
    fs::remove(target());
    fs::remove(work() + "/META-INF/container.xml");
    const PackResult result = packageFolder(target(), work());
    EXPECT_FALSE(result.built);
    EXPECT_NE(result.cause.find("META-INF/container.xml"), std::string::npos) << result.cause;
    EXPECT_EQ(outNames(), std::vector<std::string>{});
}

TEST_F(PackagerTest, ATrailingSlashOnTheFolderGivesTheSameNames) {
    ASSERT_TRUE(packageFolder(target(), work()).built);
    const auto plain = readZip(readFile(target())).names();
    ASSERT_TRUE(packageFolder(target(), work() + "/", {}, {.replace = true}).built);
    EXPECT_EQ(readZip(readFile(target())).names(), plain);
}

// A new archive is written beside an older one at the target, inside the packed folder:
// neither may end up in the book, however the target path is spelt.
TEST_F(PackagerTest, NeverPacksTheArchiveItselfNorAnOlderOneAtItsPath) {
    const std::string inside = work() + "/Book.epub";
    writeFile(inside, "an older book");
    for (const std::string& spelling : {inside, work() + "/./Book.epub"}) {
        const PackResult result = packageFolder(spelling, work(), {}, {.replace = true});
        ASSERT_TRUE(result.built) << result.cause;
        for (const std::string& name : readZip(readFile(inside)).names()) {
            EXPECT_EQ(name.find("Book.epub"), std::string::npos) << spelling;
            EXPECT_EQ(name.find(".quirebind"), std::string::npos) << spelling;
        }
    }
}

TEST_F(PackagerTest, AFifoBelowTheFolderIsNeverOpened) {
    ASSERT_EQ(::mkfifo((work() + "/OEBPS/pipe").c_str(), 0600), 0);
    const PackResult result = packageFolder(target(), work());  // would block if opened
    ASSERT_TRUE(result.built) << result.cause;
    EXPECT_EQ(readZip(readFile(target())).members.size(), 6u);
}

TEST_F(PackagerTest, FailuresComeBackWithTheirCauseAndLeaveNoFile) {
    PackResult result = packageFolder(m_tmp / "missing/Book.epub", work());
    EXPECT_FALSE(result.built);
    EXPECT_EQ(result.cause, "Cannot create file \"" + (m_tmp / "missing/Book.epub") +
                                "\". No such file or directory");

    result = packageFolder(target(), m_tmp / "no-work-folder");
    EXPECT_FALSE(result.built);
    EXPECT_NE(result.cause.find("No such file or directory"), std::string::npos) << result.cause;
    EXPECT_FALSE(fs::exists(target()));

    fs::create_directory(target());  // a folder stands where the archive should go
    result = packageFolder(target(), work());
    EXPECT_FALSE(result.built);
    EXPECT_NE(result.cause.find("Is a directory"), std::string::npos) << result.cause;
    fs::remove(target());

    EXPECT_FALSE(packageFolder("  ", work()).built);
}

TEST_F(PackagerTest, AnOutputFolderWithoutWritePermissionGetsNoFile) {
    fs::permissions(m_tmp / "out",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::optional<bool> refused = test::asOrdinaryUser(m_tmp.path(), [this] {
        const PackResult result = packageFolder(target(), work());
        const std::string expected = "Cannot create file \"" + target() + "\". Permission denied";
        if (result.built || result.cause != expected) {
            std::cerr << "built: " << result.built << ", cause: " << result.cause << "\n";
            return false;
        }
        return fs::is_empty(m_tmp / "out");
    });
    if (!refused) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*refused);
}

// A run killed while it packs cannot clean up after itself: the unfinished archive must have
// no name in the output folder to leave behind.
TEST_F(PackagerTest, TheUnfinishedArchiveHasNoNameInTheOutputFolder) {
    if (ArchiveFile(m_tmp / "out/probe").kind() != ArchiveFile::Kind::Unnamed) {
        GTEST_SKIP() << "this file system cannot make unnamed files";
    }
    std::vector<std::string> seen;
    PackCallbacks callbacks;
    callbacks.processMessages = [&] {
        for (const std::string& name : outNames()) seen.push_back(name);
    };
    const PackResult result = packageFolder(target(), work(), callbacks);
    ASSERT_TRUE(result.built) << result.cause;
    EXPECT_TRUE(seen.empty()) << seen.front();
}

// Nobody agreed to replace a book that appears at the path while this one is packed (a second
// run of the same title, say): it stays, and the build says why it failed.
TEST_F(PackagerTest, ABookThatAppearsWhileOneIsPackedIsKeptUnlessReplacingWasAgreed) {
    for (const bool replace : {false, true}) {
        bool written = false;
        PackCallbacks callbacks;
        callbacks.processMessages = [&] {
            if (!written) writeFile(target(), "a book that appeared meanwhile");
            written = true;
        };
        const PackResult result = packageFolder(target(), work(), callbacks, {.replace = replace});
        EXPECT_EQ(outNames(), std::vector<std::string>{"Book.epub"});
        if (replace) {
            EXPECT_TRUE(result.built) << result.cause;
            EXPECT_EQ(readFile(target()).substr(0, 2), "PK");
        } else {
            EXPECT_FALSE(result.built);
            EXPECT_EQ(result.cause, "\"" + target() +
                                        "\" appeared while the book was packed; it was not "
                                        "replaced");
            EXPECT_EQ(readFile(target()), "a book that appeared meanwhile");
        }
        fs::remove(target());
    }
}

TEST_F(PackagerTest, AReplacedBookKeepsTheOldBooksPermissionBits) {
    writeFile(target(), "the old book");
    ASSERT_EQ(::chmod(target().c_str(), 0660), 0);
    const PackResult result = packageFolder(target(), work(), {}, {.replace = true});
    ASSERT_TRUE(result.built) << result.cause;
    struct stat st {};
    ASSERT_EQ(::stat(target().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_EQ(readZip(readFile(target())).members.size(), 6u);
}

TEST_F(PackagerTest, RemoveFolderTakesTheWholeTreeAndSaysWhetherItCould) {
    fs::create_directories(work() + "/OEBPS/deep/er");
    writeFile(work() + "/OEBPS/deep/er/x", "x");
    fs::create_directory_symlink(work() + "/META-INF", work() + "/OEBPS/link");
    EXPECT_TRUE(removeFolder(work() + "/OEBPS"));
    EXPECT_FALSE(fs::exists(work() + "/OEBPS"));
    EXPECT_TRUE(fs::exists(work() + "/META-INF/container.xml"));  // links are not followed
    EXPECT_TRUE(removeFolder(work() + "/OEBPS"));                 // nothing left to remove
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// Cancelling is an answer, not an error: at the first question or at the last (the archive
// whole, its naming still to come), the build ends Cancelled with no cause, the old book kept
// and nothing left beside it.
TEST_F(PackagerTest, ACancelledBuildIsNoFailureAndKeepsTheOldBook) {
    for (const bool atTheEnd : {false, true}) {
        writeFile(target(), "the old book");
        bool whole = false;
        PackCallbacks callbacks;
        callbacks.progress = [&](std::uint64_t done, std::uint64_t total) {
            whole = done == total;
        };
        callbacks.cancelled = [&] { return !atTheEnd || whole; };
        const PackResult result = packageFolder(target(), work(), callbacks, {.replace = true});
        EXPECT_TRUE(result.cancelled) << atTheEnd;
        EXPECT_FALSE(result.built) << atTheEnd;
        EXPECT_EQ(result.cause, "") << atTheEnd;
        EXPECT_EQ(readFile(target()), "the old book") << atTheEnd;
        EXPECT_EQ(outNames(), std::vector<std::string>{"Book.epub"}) << atTheEnd;
    }
}

}  // namespace
}  // namespace qb
