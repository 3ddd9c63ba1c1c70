// The work folder both programs build in: made from the template's two files only, locked while
// its program lives, removed at its end, and cleared up after a program that died, without
// touching anything that is not plainly a dead program's.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/work_folder.h"
#include "platform/unique_fd.h"
#include "tests/support/files.h"
#include "tests/support/run_fixture.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace qb {
namespace {

using namespace test;

class WorkFolderTest : public ::testing::Test {
  protected:
    // A template as a window's old work folder beside the program could hold it: besides the
    // book's two files, pages of a book, a lock and notes that no book should carry.
    void SetUp() override {
        put(m_template + "/OEBPS/stale.html");
        put(m_template + "/.quirebind.lock");
        put(m_template + "/.quirebind-lock");
        put(m_template + "/notes.txt");
        put(m_template + "/META-INF/extra.xml");
    }

    // An empty file, with its folders.
    static void put(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        writeFile(path, "");
    }

    // Takes the folder's lock without waiting, as a program looking for dead folders would.
    static bool lockIsFree(const std::string& folder) {
        UniqueFd lock(::open((folder + "/" + WorkFolder::kLockName).c_str(), O_RDONLY));
        return lock && ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0;
    }

    TempFolder m_tmp;
    const RunFixture m_run{m_tmp.path()};
    const std::string m_template = m_run.work();
    const std::string m_base = m_tmp / "base";
};

TEST_F(WorkFolderTest, HoldsTheTemplatesTwoFilesAndItsLockUntilItGoes) {
    std::string first;
    {
        const WorkFolder work(m_template, m_base);
        first = work.path();
        EXPECT_EQ(fs::path(first).parent_path(), m_base);
        EXPECT_EQ(fs::path(first).filename().string().rfind(WorkFolder::kNamePrefix, 0), 0u);
        EXPECT_EQ(folderNames(first),
                  (std::vector<std::string>{".quirebind.lock", "META-INF", "mimetype"}));
        EXPECT_EQ(folderNames(first + "/META-INF"), std::vector<std::string>{"container.xml"});
        EXPECT_EQ(readFile(first + "/mimetype"), readFile(m_template + "/mimetype"));
        EXPECT_EQ(readFile(first + "/META-INF/container.xml"),
                  readFile(m_template + "/META-INF/container.xml"));
        EXPECT_FALSE(lockIsFree(first));

        // A second program gets a folder of its own.
        const WorkFolder second(m_template, m_base);
        EXPECT_NE(second.path(), first);
        EXPECT_EQ(folderNames(m_base).size(), 2u);
    }
    EXPECT_TRUE(folderNames(m_base).empty());

    WorkFolder early(m_template, m_base);
    fs::create_directories(early.path() + "/OEBPS");
    early.remove();
    EXPECT_TRUE(early.path().empty());
    EXPECT_TRUE(folderNames(m_base).empty());
}

TEST_F(WorkFolderTest, FailureNamesThePlaceAndLeavesNothing) {
    writeFile(m_tmp / "blocker", "a file, not a folder");
    try {
        WorkFolder work(m_template, m_tmp / "blocker/private");
        ADD_FAILURE() << "no error for a base below a file";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create folder \"" + (m_tmp / "blocker"), 0),
                  0u)
            << e.what();
    }

    // A template without its container file cannot give a book.
    fs::remove(m_template + "/META-INF/container.xml");
    try {
        WorkFolder work(m_template, m_base);
        ADD_FAILURE() << "no error for an incomplete template";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "Cannot copy \"" + m_template + "/META-INF/container.xml\" to \"", 0),
                  0u)
            << e.what();
    }
    EXPECT_TRUE(folderNames(m_base).empty());
}

// What a new program clears up below its base: the folders of programs that died, and only
// those.
TEST_F(WorkFolderTest, OnlyFoldersOfDeadProgramsAreRemoved) {
    const WorkFolder live(m_template, m_base);
    const auto hoursAgo = [](const std::string& path, int hours) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(hours));
    };
    struct Case {
        const char* name;
        std::vector<const char*> files;  // below the folder
        int ageHours;
        bool removed;
    };
    const Case cases[] = {
        {"quirebind-work-Dead01", {".quirebind.lock", "OEBPS/sub/page1.html"}, 0, true},
        // Its program may be setting it up right now; or it is not ours.
        {"quirebind-work-NoLck1", {"OEBPS/sub/page1.html"}, 0, false},
        {"quirebind-work-NoLck2", {"OEBPS/sub/page1.html"}, 3, false},
        {"quirebind-work-Setup1", {}, 0, false},
        {"quirebind-work-Setup2", {".quirebind.lock-AbC123"}, 0, false},
        // Abandoned while it was set up: nothing in it anyone could miss.
        {"quirebind-work-Setup3", {}, 3, true},
        {"quirebind-work-Setup4", {".quirebind.lock-AbC123"}, 3, true},
        // Named almost like ours.
        {"quirebind-work-TooLong1", {".quirebind.lock", "OEBPS/page1.html"}, 0, false},
        {"quirebind-cli-Dead01", {".quirebind-lock", "OEBPS/page1.html"}, 0, false},
        {"work-dead01", {".quirebind.lock", "OEBPS/page1.html"}, 0, false},
        {"notes", {"readme.txt"}, 3, false},
        // A lock that is not a plain file is no lock of ours.
        {"quirebind-work-Dir001", {".quirebind.lock/inside"}, 0, false},
    };
    for (const Case& c : cases) {
        const std::string folder = m_base + "/" + c.name;
        fs::create_directories(folder);
        for (const char* file : c.files) put(folder + "/" + file);
        if (c.ageHours > 0) hoursAgo(folder, c.ageHours);
    }
    // A link is never followed, whatever it points to.
    const std::string target = m_tmp / "elsewhere";
    put(target + "/.quirebind.lock");
    put(target + "/OEBPS/page1.html");
    fs::create_directory_symlink(target, m_base + "/quirebind-work-Link01");
    // Nor is the folder of another user touched (only root can make one).
    const std::string other = m_base + "/quirebind-work-Other1";
    put(other + "/.quirebind.lock");
    const bool otherUser = geteuid() == 0 && chown(other.c_str(), 65534, 65534) == 0;

    const int removed = removeDeadWorkFolders(m_base);
    int expected = 0;
    for (const Case& c : cases) {
        expected += c.removed ? 1 : 0;
        EXPECT_EQ(fs::exists(m_base + "/" + c.name), !c.removed) << c.name;
        for (const char* file : c.files) {
            if (!c.removed) {
                EXPECT_TRUE(fs::exists(m_base + "/" + c.name + "/" + file)) << c.name;
            }
        }
    }
    EXPECT_EQ(removed, expected + (otherUser ? 0 : 1));
    EXPECT_EQ(readFile(live.path() + "/mimetype"), readFile(m_template + "/mimetype"));
    EXPECT_TRUE(fs::is_symlink(m_base + "/quirebind-work-Link01"));
    EXPECT_TRUE(fs::exists(target + "/OEBPS/page1.html"));
    if (otherUser) {
        EXPECT_TRUE(fs::exists(other + "/.quirebind.lock"));
    }

    // A new program clears up the same way when it makes its folder.
    put(m_base + "/quirebind-work-Dead02/.quirebind.lock");
    const WorkFolder next(m_template, m_base);
    EXPECT_FALSE(fs::exists(m_base + "/quirebind-work-Dead02"));
}

}  // namespace
}  // namespace qb
