// The output side failing while a book is built: a full disk, a folder that turns read-only.
// Whatever happens, the book the user had stays as it was, no temporary file is left beside
// it, and the run says what went wrong instead of reporting a success.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "package/deflate_pool.h"
#include "package/packager.h"
#include "package/zip_errors.h"
#include "package/zip_writer.h"
#include "tests/package/tree_writer.h"
#include "tests/robustness/fault_fixture.h"
#include "tests/support/pictures.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

const std::string kOldBook = "the book the user already had";

class OutputFaultTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directories(m_run.output()); }

    test::TempFolder m_tmp;
    test::RunFixture m_run{m_tmp.path()};
};

TEST_F(OutputFaultTest, DiskFillingUpWhileTheArchiveIsWrittenKeepsTheOldBook) {
    test::SmallFileSystem disk(m_run.output(), "1m");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    writeFile(m_run.archive(), kOldBook);
    // Random text deflates to far more than the megabyte the output disk holds.
    const std::string source = m_run.text("big.txt", test::randomText(2 << 20, 1));

    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    ui.overwrite = true;
    EXPECT_EQ(run.run(m_run.project({source}), ui), RunResult::Failed);
    ASSERT_EQ(ui.errors().size(), 1u);
    EXPECT_EQ(ui.errors()[0],
              "Failed to build: " + m_run.archive() + "\nNot enough room to write archive.");
    EXPECT_TRUE(ui.successes().empty());
    EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"Book.epub"});
    EXPECT_EQ(readFile(m_run.archive()), kOldBook);
}

// With few descriptors left and many members open at once, the packer cannot open some of the
// book's files. That is no file that vanished: the build ends naming the file and the cause, and
// the book the user had stays whole. The pages are packed here without having been deflated
// while they were written, as a run does with whatever was not deflated by then, so that every
// member is opened by the packer's workers.
TEST_F(OutputFaultTest, RunningOutOfDescriptorsWhilePackingKeepsTheOldBook) {
    std::vector<std::string> sources;
    for (int i = 1; i <= 120; ++i) {
        sources.push_back(m_run.text("t" + std::to_string(i) + ".txt", test::randomText(2000, i)));
    }
    {
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        ASSERT_EQ(run.run(m_run.project(sources), ui), RunResult::Built);
    }
    writeFile(m_run.archive(), kOldBook);
    // Set once packing begins: the archive's folder and file take two of the six, the members
    // the rest.
    std::optional<test::DescriptorLimit> few;
    PackCallbacks callbacks;
    callbacks.processMessages = [&few] {
        if (!few) few.emplace(6);
    };
    PackOptions options;
    options.jobs = kMaxJobs;  // each worker holds a member open ahead of the writer
    options.replace = true;
    const PackResult result = packageFolder(m_run.archive(), m_run.work(), callbacks, options);
    const bool limited = few && few->set();
    few.reset();
    if (!limited) GTEST_SKIP() << "cannot lower the descriptor limit here";
    EXPECT_FALSE(result.built);
    EXPECT_EQ(result.cause.rfind("Cannot open file \"", 0), 0u) << result.cause;
    EXPECT_NE(result.cause.find(std::strerror(EMFILE)), std::string::npos) << result.cause;
    EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"Book.epub"});
    EXPECT_EQ(readFile(m_run.archive()), kOldBook);
}

TEST_F(OutputFaultTest, DiskFillingUpWhileAPageIsWrittenEndsTheRunBeforePacking) {
    // Work folder and output folder both on the small disk; the text comes from elsewhere.
    test::SmallFileSystem disk(m_tmp / "small", "1m");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    const test::RunFixture small(m_tmp / "small");
    fs::create_directories(small.output());
    writeFile(small.archive(), kOldBook);
    const std::string source = m_run.text("big.txt", test::randomText(2 << 20, 2));

    ConversionRun run(small.work());
    test::RecordingUi ui;
    ui.overwrite = true;
    BookProject project = m_run.project({source});
    project.outputFolder = small.output();
    project.maxPageBytes = 0;  // one page file, so the full disk meets page1.html itself
    EXPECT_EQ(run.run(project, ui), RunResult::Failed);
    EXPECT_EQ(ui.errors(),
              std::vector<std::string>{"Stream write error \"" + small.work() +
                                       "/OEBPS/page1.html\". No space left on device."});
    EXPECT_TRUE(ui.successes().empty());
    EXPECT_EQ(readFile(small.archive()), kOldBook);
    EXPECT_EQ(folderNames(small.output()), std::vector<std::string>{"Book.epub"});
}

TEST_F(OutputFaultTest, DiskFillingUpWhileTheCoverIsCopiedNamesTheCopy) {
    test::SmallFileSystem disk(m_tmp / "small", "1m");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
    const test::RunFixture small(m_tmp / "small");
    const std::string source = m_run.text("a.txt", "one line\n");
    const std::string cover =
        m_run.text("cover.jpg", test::jpegPicture() + test::randomText(2 << 20, 3));

    ConversionRun run(small.work());
    test::RecordingUi ui;
    BookProject project = m_run.project({source});
    project.coverPath = cover;
    EXPECT_EQ(run.run(project, ui), RunResult::Failed);
    EXPECT_EQ(ui.errors(),
              std::vector<std::string>{"Stream write error \"" + small.work() +
                                       "/OEBPS/cover.jpg\". No space left on device."});
    EXPECT_TRUE(ui.successes().empty());
}

TEST_F(OutputFaultTest, ReadOnlyOutputFolderFailsWithItsCauseAndKeepsTheOldBook) {
    writeFile(m_run.archive(), kOldBook);
    test::ReadOnlyBind readOnly(m_run.output());
    if (!readOnly.readOnly()) GTEST_SKIP() << "cannot make a read-only bind mount here";
    const std::string source = m_run.text("a.txt", "one line\n");

    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    ui.overwrite = true;
    EXPECT_EQ(run.run(m_run.project({source}), ui), RunResult::Failed);
    ASSERT_EQ(ui.errors().size(), 1u);
    EXPECT_EQ(ui.errors()[0], "Failed to build: " + m_run.archive() + "\nCannot create file \"" +
                                  m_run.archive() + "\". Read-only file system.");
    EXPECT_FALSE(fs::exists(m_run.work() + "/OEBPS")) << "pages were written first";
    EXPECT_EQ(readFile(m_run.archive()), kOldBook);
    EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"Book.epub"});
}

// No book stood at the path when the run began, so nobody was asked whether to replace one: a
// book that appears there while this one is packed (a second run of the same title, say) is
// kept, and the run fails instead of reporting a book it did not deliver.
TEST_F(OutputFaultTest, ABookThatAppearsWhileTheRunPacksIsKept) {
    const std::string source = m_run.text("a.txt", "one line\n");
    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    ui.onProcessEvents = [&] {
        if (!fs::exists(m_run.archive())) writeFile(m_run.archive(), kOldBook);
    };
    EXPECT_EQ(run.run(m_run.project({source}), ui), RunResult::Failed);
    EXPECT_EQ(ui.errors(), std::vector<std::string>{"Failed to build: " + m_run.archive() + "\n\"" +
                                                    m_run.archive() +
                                                    "\" appeared while the book was packed; it was "
                                                    "not replaced."});
    EXPECT_TRUE(ui.successes().empty());
    EXPECT_EQ(readFile(m_run.archive()), kOldBook);
    EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"Book.epub"});
}

// Archive names too long for a file name are shortened; output folders that cannot be made are
// refused before anything is written, with the system's reason for the first folder that fails.
TEST_F(OutputFaultTest, ArchivePathsTheSystemWouldRefuseAreSettledBeforeTheBookIsWritten) {
    const std::string source = m_run.text("a.txt", "one line\n");
    {
        // Longer than a file name may be: the name is cut to fit.
        BookProject project = m_run.project({source});
        project.title = std::string(300, 't');
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        EXPECT_EQ(run.run(project, ui), RunResult::Built);
        EXPECT_TRUE(ui.errors().empty());
        // Cut to the 255 bytes a file name holds, and marked with the whole title's hash.
        const std::vector<std::string> names = folderNames(m_run.output());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].size(), 255u);
        EXPECT_EQ(names[0].substr(0, 242), std::string(241, 't') + "~");
    }
    {
        // A file stands where the output folder should be.
        writeFile(m_tmp / "plain-file", "not a folder");
        BookProject project = m_run.project({source});
        project.outputFolder = m_tmp / "plain-file";
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        EXPECT_EQ(run.run(project, ui), RunResult::Failed);
        EXPECT_EQ(ui.errors(),
                  std::vector<std::string>{"Cannot create folder \"" + (m_tmp / "plain-file") +
                                           "\". Not a directory."});
        EXPECT_EQ(readFile(m_tmp / "plain-file"), "not a folder");
    }
}

TEST_F(OutputFaultTest, OutputBelowAFolderWithoutWritePermissionNamesThatCause) {
    const std::string source = m_run.text("a.txt", "one line\n");
    fs::create_directories(m_tmp / "ro");
    fs::permissions(m_tmp / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    std::vector<std::string> errors;
    const std::optional<bool> ok = test::asOrdinaryUser(m_tmp.path(), [&] {
        BookProject project = m_run.project({source});
        project.outputFolder = m_tmp / "ro/sub/deeper";
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        return run.run(project, ui) == RunResult::Failed &&
               ui.errors() ==
                   std::vector<std::string>{"Cannot create folder \"" + (m_tmp / "ro/sub") +
                                            "\". Permission denied."} &&
               !fs::exists(m_run.work() + "/OEBPS");
    });
    if (!ok) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_TRUE(*ok);
}

// A folder the user may not write into is found before any page is written (not after all of
// them, when the archive is created), with the system's reason; the book there is kept and no
// trace of the check is left.
TEST_F(OutputFaultTest, OutputFolderWithoutWritePermissionIsFoundBeforeAnyPage) {
    writeFile(m_run.archive(), kOldBook);
    const std::string source = m_run.text("a.txt", "one line\n");
    fs::permissions(m_run.output(), fs::perms::owner_read | fs::perms::owner_exec);
    const std::optional<bool> ok = test::asOrdinaryUser(m_tmp.path(), [&] {
        ConversionRun run(m_run.work());
        test::RecordingUi ui;
        ui.overwrite = true;
        const RunResult result = run.run(m_run.project({source}), ui);
        const std::vector<std::string> expected{"error: Failed to build: " + m_run.archive() +
                                                "\nCannot create file \"" + m_run.archive() +
                                                "\". Permission denied."};
        if (ui.events != expected) {
            for (const std::string& event : ui.events) std::cerr << event << "\n";
        }
        return result == RunResult::Failed && ui.events == expected &&
               !fs::exists(m_run.work() + "/OEBPS");
    });
    fs::permissions(m_run.output(), fs::perms::owner_all);
    if (!ok) GTEST_SKIP() << "cannot run as an ordinary user here";
    EXPECT_TRUE(*ok);
    EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"Book.epub"});
    EXPECT_EQ(readFile(m_run.archive()), kOldBook);
}

// A folder that turns read-only cannot be set up part-way through a build with a mount (the
// open archive keeps the mount busy), so the archive's writes are refused the way the system
// refuses them then, at each stage of the build in turn: early in a member, late in the data,
// in the central directory and in the end record.
TEST_F(OutputFaultTest, OutputTurningReadOnlyAtAnyStageLeavesNoTemporaryFile) {
    const std::string root = m_tmp / "tree";
    fs::create_directories(root + "/OEBPS");
    writeFile(root + "/mimetype", "application/epub+zip");
    writeFile(root + "/OEBPS/a.html", test::randomText(300000, 3));
    writeFile(root + "/OEBPS/b.html", "short");
    const std::string zipPath = m_run.output() + "/tree.epub";

    auto build = [&](TLFNFileStream::WriteFunction write) {
        TVCLZip zip = test::treeWriter(root, zipPath);
        zip.setStoreFirst("mimetype");
        zip.setWriteFunction(std::move(write));
        return zip.zip();
    };
    ASSERT_EQ(build({}), 3);
    const std::string complete = readFile(zipPath);
    writeFile(zipPath, kOldBook);

    for (const std::size_t room : {std::size_t{0}, std::size_t{40}, std::size_t{100000},
                                   complete.size() - 60, complete.size() - 10}) {
        std::size_t left = room;
        const auto refuse = [&](int fd, const void* data, std::size_t size) -> ssize_t {
            if (left == 0) {
                errno = EROFS;
                return -1;
            }
            const std::size_t n = std::min(left, size);
            left -= n;
            return ::write(fd, data, n);
        };
        try {
            build(refuse);
            ADD_FAILURE() << "a build with " << room << " bytes of room succeeded";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot write file \"" + zipPath + "\". Read-only file system");
        }
        EXPECT_EQ(folderNames(m_run.output()), std::vector<std::string>{"tree.epub"}) << room;
        EXPECT_EQ(readFile(zipPath), kOldBook) << room;
    }
}

}  // namespace
}  // namespace qb
