// The new archive and the step that publishes it, both as an unnamed file and as the hidden
// file that stands in where a file system cannot make unnamed ones.

#include "package/archive_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <filesystem>
#include <memory>

#include "package/zip_errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

class ArchiveFileTest : public ::testing::TestWithParam<ArchiveFile::Kind> {
  protected:
    std::string target() const { return m_tmp / "Book.epub"; }

    std::vector<std::string> names() const { return test::folderNames(m_tmp.path()); }

    // A new archive of the kind under test holding text; skips when the file system here
    // cannot make that kind.
    std::unique_ptr<ArchiveFile> newArchive(const std::string& text) {
        auto file = std::make_unique<ArchiveFile>(target(), GetParam());
        if (file->kind() != GetParam()) return nullptr;
        EXPECT_EQ(::write(file->fd(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
        return file;
    }

    static mode_t permissions(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    TempFolder m_tmp;
};

TEST_P(ArchiveFileTest, AnArchiveNeverPublishedLeavesNothing) {
    {
        auto file = newArchive("unfinished");
        if (!file) GTEST_SKIP() << "this file system cannot make unnamed files";
        if (GetParam() == ArchiveFile::Kind::Unnamed) {
            EXPECT_TRUE(names().empty());
        } else {
            ASSERT_EQ(names().size(), 1u);
            EXPECT_EQ(names()[0].rfind(".quirebind-", 0), 0u) << names()[0];
        }
    }
    EXPECT_TRUE(names().empty());
}

// The last question before the name is given: no ends the build with nothing published, the
// old book as it was and no file left beside it; yes publishes, and is asked after the data is
// on the disk.
TEST_P(ArchiveFileTest, TheLastQuestionDecidesWhetherTheBookIsPublished) {
    test::writeFile(target(), "the old book");
    for (const bool goAhead : {false, true}) {
        auto file = newArchive("the new book");
        if (!file) GTEST_SKIP() << "this file system cannot make unnamed files";
        int asked = 0;
        EXPECT_EQ(file->publish(true,
                                [&] {
                                    ++asked;
                                    return goAhead;
                                }),
                  goAhead);
        file.reset();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(names(), std::vector<std::string>{"Book.epub"});
        EXPECT_EQ(test::readFile(target()), goAhead ? "the new book" : "the old book");
    }
}

TEST(HiddenArchiveTest, ALaterRunRemovesWhatADeadRunLeftAndNothingElse) {
    TempFolder tmp;
    // A process that has ended, for the name of a run that was killed.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = ".quirebind-" + std::to_string(child) + "-Ab3dEf";
    const std::string alive = ".quirebind-" + std::to_string(::getpid()) + "-Ab3dEf";
    const std::string locked = ".quirebind-" + std::to_string(child) + "-Zz9yY8";
    for (const std::string& name : {dead, alive, locked, std::string(".quirebind-notes"),
                                    std::string(".quirebind-123-toolong1"), std::string("a.epub")})
        writeFile(tmp / name, "unfinished");
    // The process id came round again to a run that holds its file locked.
    const int held = ::open((tmp / locked).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    {
        const ArchiveFile file(tmp / "Book.epub", ArchiveFile::Kind::Hidden);
        std::vector<std::string> left = folderNames(tmp.path());
        std::vector<std::string> expected{".quirebind-123-toolong1", ".quirebind-notes", alive,
                                          locked, "a.epub"};
        // The new file's own name tells its process.
        const std::string own = ".quirebind-" + std::to_string(::getpid()) + "-";
        const auto mine = std::find_if(left.begin(), left.end(), [&](const std::string& name) {
            return name.rfind(own, 0) == 0 && name != alive;
        });
        ASSERT_NE(mine, left.end());
        left.erase(mine);
        std::sort(left.begin(), left.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(left, expected);
    }
    ::close(held);
}

TEST_P(ArchiveFileTest, WithoutConsentAFileAtTheTargetIsNeverReplaced) {
    {
        auto file = newArchive("new book");
        if (!file) GTEST_SKIP() << "this file system cannot make unnamed files";
        file->publish(false);
    }
    EXPECT_EQ(readFile(target()), "new book");
    EXPECT_EQ(names(), std::vector<std::string>{"Book.epub"});
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(permissions(target()), 0644 & ~mask);

    // Another run, or the user, put a book there while this one was written.
    fs::remove(target());
    auto file = newArchive("second book");
    writeFile(target(), "a book that appeared meanwhile");
    try {
        file->publish(false);
        ADD_FAILURE() << "the book that appeared was replaced";
    } catch (const ArchiveAppearedError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "\"" + target() + "\" appeared while the book was packed; it was not replaced");
    }
    file.reset();
    EXPECT_EQ(readFile(target()), "a book that appeared meanwhile");
    EXPECT_EQ(names(), std::vector<std::string>{"Book.epub"});
}

TEST_P(ArchiveFileTest, AReplacedBookKeepsItsPermissionBits) {
    for (const mode_t mode : {mode_t{0600}, mode_t{0664}, mode_t{0444}}) {
        writeFile(target(), "old book");
        ASSERT_EQ(::chmod(target().c_str(), mode), 0);
        {
            auto file = newArchive("new book");
            if (!file) GTEST_SKIP() << "this file system cannot make unnamed files";
            file->publish(true);
        }
        EXPECT_EQ(readFile(target()), "new book");
        EXPECT_EQ(permissions(target()), mode);
        EXPECT_EQ(names(), std::vector<std::string>{"Book.epub"});
        fs::remove(target());
    }
}

TEST_P(ArchiveFileTest, ANameTheFileSystemRefusesFailsWithItsCauseAndLeavesNothing) {
    const std::string tooLong = m_tmp / (std::string(300, 'n') + ".epub");
    for (const bool replace : {false, true}) {
        auto file = std::make_unique<ArchiveFile>(tooLong, GetParam());
        if (file->kind() != GetParam()) GTEST_SKIP() << "no unnamed files here";
        try {
            file->publish(replace);
            ADD_FAILURE() << "a 300-byte name was accepted";
        } catch (const EFCreateError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot create file \"" + tooLong + "\". File name too long");
        }
        file.reset();
        EXPECT_TRUE(names().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(BothKinds, ArchiveFileTest,
                         ::testing::Values(ArchiveFile::Kind::Unnamed, ArchiveFile::Kind::Hidden),
                         [](const auto& info) {
                             return info.param == ArchiveFile::Kind::Unnamed ? "Unnamed" : "Hidden";
                         });

}  // namespace
}  // namespace qb
