// Source files that change under the converter: a text file that goes away or cannot be read
// once the list has been made, and files that shrink or grow while they are packed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "package/zip_writer.h"
#include "tests/package/tree_writer.h"
#include "tests/robustness/fault_fixture.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

class SourceFaultTest : public ::testing::Test {
  protected:
    test::TempFolder m_tmp;
    test::RunFixture m_run{m_tmp.path()};
};

// The second of three text files is spoilt after the first page is written, each time in
// another way; the run must name the file and its cause, and make no book.
TEST_F(SourceFaultTest, TextFileSpoiltAfterListingEndsTheRunWithItsCause) {
    struct Spoiler {
        const char* how;
        std::function<void(const std::string&)> spoil;
        std::string cause;
    };
    const std::vector<Spoiler> spoilers = {
        {"deleted", [](const std::string& path) { fs::remove(path); }, "No such file or directory"},
        {"replaced by a folder",
         [](const std::string& path) {
             fs::remove(path);
             fs::create_directory(path);
         },
         "Is a directory"},
        {"replaced by a link to itself",
         [](const std::string& path) {
             fs::remove(path);
             fs::create_symlink(fs::path(path).filename(), path);
         },
         "Too many levels of symbolic links"},
    };
    for (const Spoiler& spoiler : spoilers) {
        SCOPED_TRACE(spoiler.how);
        const std::string second = m_run.text("two.txt", "second\n");
        const BookProject project = m_run.project(
            {m_run.text("one.txt", "first\n"), second, m_run.text("three.txt", "third\n")});

        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        ui.onPageWritten = [&](int k, int) {
            if (k == 1) spoiler.spoil(second);
        };
        EXPECT_EQ(run.run(project, ui), RunResult::Failed);
        EXPECT_EQ(ui.errors(), std::vector<std::string>{"Cannot open file \"" + second + "\". " +
                                                        spoiler.cause + "."});
        EXPECT_FALSE(fs::exists(m_run.archive()));
        std::error_code ec;
        fs::remove_all(second, ec);
    }
}

// Permissions stop only a reader without the right to override them, so the run goes on in
// an ordinary user's shoes.
TEST_F(SourceFaultTest, TextFileMadeUnreadableAfterListingEndsTheRunWithItsCause) {
    const std::string second = m_run.text("two.txt", "second\n");
    const BookProject project = m_run.project({m_run.text("one.txt", "first\n"), second});
    const std::string expected = "Cannot open file \"" + second + "\". Permission denied.";
    const std::optional<bool> asExpected = test::asOrdinaryUser(m_tmp.path(), [&] {
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        ui.onPageWritten = [&](int k, int) {
            if (k == 1) ::chmod(second.c_str(), 0);
        };
        const RunResult result = run.run(project, ui);
        for (const std::string& error : ui.errors()) std::fprintf(stderr, "%s\n", error.c_str());
        return result == RunResult::Failed && ui.errors() == std::vector<std::string>{expected};
    });
    if (!asExpected) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*asExpected);
    EXPECT_FALSE(fs::exists(m_run.archive()));
}

// A file changes size between the moment its size is taken and the end of its data. The
// member must record exactly the bytes read, so the archive stays sound either way.
class ChangingFileTest : public SourceFaultTest {
  protected:
    void SetUp() override {
        fs::create_directories(root());
        writeFile(root() + "/mimetype", "application/epub+zip");
        writeFile(file(), test::randomText(kSize, 4));
    }
    std::string root() const { return m_tmp / "tree"; }
    std::string file() const { return root() + "/changing.txt"; }
    std::string zipPath() const { return m_tmp / "book.epub"; }

    // Packs the tree; change() runs once, after the first piece of the file has been
    // written out, while the file is still open.
    test::ZipContents packChangingOnce(const std::function<void()>& change,
                                       std::vector<std::uint64_t>& shortRead) {
        TVCLZip zip = test::treeWriter(root(), zipPath());
        zip.setStoreFirst("mimetype");
        zip.setPackLevel(0);  // stored: each piece read is written out at once
        bool changed = false;
        int calls = 0;
        zip.setProcessMessages([&] {
            // Two calls while the list is made, one for mimetype's data, then the file's.
            if (++calls == 4 && !changed) {
                change();
                changed = true;
            }
        });
        zip.setShortReadHandler(
            [&](const std::string& path, std::uint64_t expected, std::uint64_t read) {
                EXPECT_EQ(path, file());
                shortRead = {expected, read};
            });
        EXPECT_EQ(zip.zip(), 2);
        EXPECT_TRUE(changed) << "the file was never changed while it was packed";
        EXPECT_TRUE(test::unzipAccepts(zipPath()));
        return readZip(readFile(zipPath()));
    }

    static constexpr std::size_t kSize = 1 << 20;
};

TEST_F(ChangingFileTest, AFileThatShrinksIsPackedAsReadAndReported) {
    std::vector<std::uint64_t> shortRead;
    const test::ZipContents zip =
        packChangingOnce([&] { ASSERT_EQ(::truncate(file().c_str(), 200000), 0); }, shortRead);
    ASSERT_EQ(zip.members.size(), 2u);
    EXPECT_EQ(zip.members[1].name, "changing.txt");
    EXPECT_EQ(zip.members[1].data, readFile(file()));
    EXPECT_EQ(shortRead, (std::vector<std::uint64_t>{kSize, 200000}));
}

TEST_F(ChangingFileTest, AFileThatGrowsIsPackedWhole) {
    std::vector<std::uint64_t> shortRead;
    const test::ZipContents zip = packChangingOnce(
        [&] {
            std::ofstream out(file(), std::ios::binary | std::ios::app);
            out << test::randomText(300000, 5);
        },
        shortRead);
    ASSERT_EQ(zip.members.size(), 2u);
    EXPECT_EQ(zip.members[1].data.size(), kSize + 300000);
    EXPECT_EQ(zip.members[1].data, readFile(file()));
    EXPECT_TRUE(shortRead.empty());
}

}  // namespace
}  // namespace qb
