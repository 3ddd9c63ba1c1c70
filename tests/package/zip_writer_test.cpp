#include "package/zip_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "package/zip_errors.h"
#include "package/zip_records.h"
#include "tests/package/tree_writer.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

class ZipWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        fs::create_directory(m_tmp / "root");
        fs::create_directory(m_tmp / "out");
    }

    std::string root() const { return m_tmp / "root"; }
    std::string zipPath() const { return m_tmp / "out/book.epub"; }

    // Configured the way the packager configures it.
    TVCLZip writer() const { return test::treeWriter(root(), zipPath()); }

    // Nothing but the finished archive may remain in the output folder.
    std::vector<std::string> outFolder() const { return test::folderNames(m_tmp / "out"); }

    TempFolder m_tmp;
};

TEST_F(ZipWriterTest, WritesTheExactRecordsOfASmallTree) {
    writeFile(root() + "/a.txt", "hello");
    const timeval times[2] = {{1589723130, 0}, {1589723130, 0}};  // 2020-05-17 13:45:30 UTC
    ASSERT_EQ(::utimes((root() + "/a.txt").c_str(), times), 0);

    TVCLZip zip = writer();
    EXPECT_EQ(zip.zip(), 1);
    EXPECT_TRUE(zip.filesList().empty());

    // The deflated bytes are whatever this zlib makes of "hello": they must unpack to it, and
    // every record around them is exact.
    const std::string archive = readFile(zipPath());
    const test::ZipContents contents = test::readZip(archive);
    ASSERT_EQ(contents.members.size(), 1u);
    const std::string& packed = contents.members[0].raw;
    EXPECT_EQ(contents.members[0].data, "hello");
    const auto le32 = [](std::size_t v) {
        std::string bytes;
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
        return bytes;
    };
    const std::string expected =
        // local header: version 20, flags 0, deflated, 13:45:30 2020-05-17, CRC, sizes
        std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00\xAF\x6D\xB1\x50\x86\xA6\x10\x36", 18) +
        le32(packed.size()) + std::string("\x05\x00\x00\x00\x05\x00\x00\x00", 8) + "a.txt" +
        packed +
        // central header: made by 45, needs 20, attributes 0x20, local header at 0
        std::string("PK\x01\x02\x2D\x00\x14\x00\x00\x00\x08\x00\xAF\x6D\xB1\x50\x86\xA6\x10\x36",
                    20) +
        le32(packed.size()) +
        std::string(
            "\x05\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00"
            "\x20\x00\x00\x00\x00\x00\x00\x00",
            22) +
        "a.txt" +
        // end record: one entry, central directory of 51 bytes after the member
        std::string("PK\x05\x06\x00\x00\x00\x00\x01\x00\x01\x00\x33\x00\x00\x00", 16) +
        le32(35 + packed.size()) + std::string("\x00\x00", 2);
    EXPECT_EQ(archive, expected);
    EXPECT_TRUE(test::unzipAccepts(zipPath()));
}

TEST_F(ZipWriterTest, AnEmptyFileIsTheTwoByteDeflateStreamAndAnEmptyTreeJustTheEndRecord) {
    {
        TVCLZip zip = writer();
        EXPECT_EQ(zip.zip(), 0);
        EXPECT_EQ(fs::file_size(zipPath()), 22u);
        EXPECT_TRUE(readZip(readFile(zipPath())).members.empty());
    }
    writeFile(root() + "/empty", "");
    TVCLZip zip = writer();
    zip.setReplace(true);
    EXPECT_EQ(zip.zip(), 1);
    const test::ZipContents contents = readZip(readFile(zipPath()));
    ASSERT_EQ(contents.members.size(), 1u);
    const test::ZipMember& m = contents.members[0];
    EXPECT_EQ(m.method, 8);
    EXPECT_EQ(m.raw, std::string("\x03\x00", 2));
    EXPECT_EQ(m.crc, 0u);
    EXPECT_EQ(m.compressedSize, 2u);
    EXPECT_EQ(m.uncompressedSize, 0u);
}

TEST_F(ZipWriterTest, StoresNamesRelativeToTheRootInUtf8AndKeepsTheFirstOfTwoSpellings) {
    fs::create_directories(root() + "/OEBPS/img");
    writeFile(root() + "/OEBPS/café.html", "é");
    writeFile(root() + "/OEBPS/img/plain.txt", "p");
    writeFile(root() + "/OEBPS/\xE9t\xE9.txt", "latin-1 name");  // not UTF-8
    writeFile(root() + "/Same.txt", "first");
    writeFile(root() + "/same.TXT", "second");
    fs::permissions(root() + "/OEBPS/img/plain.txt", fs::perms::owner_write,
                    fs::perm_options::remove);

    TVCLZip zip = writer();
    EXPECT_EQ(zip.zip(), 4);
    const test::ZipContents contents = readZip(readFile(zipPath()));
    int sameCount = 0;
    for (const test::ZipMember& m : contents.members) {
        EXPECT_NE(m.name.front(), '/') << m.name;
        if (m.name == "OEBPS/café.html") {
            EXPECT_EQ(m.flags, 0x0800);
        } else {
            EXPECT_EQ(m.flags, 0) << m.name;
        }
        if (m.name == "OEBPS/img/plain.txt") {
            EXPECT_EQ(m.externalAttributes, 0x21u);
        }
        if (m.name == "Same.txt" || m.name == "same.TXT") ++sameCount;
    }
    EXPECT_EQ(sameCount, 1);
    EXPECT_TRUE(test::unzipAccepts(zipPath()));
}

TEST_F(ZipWriterTest, ABlankNameWritesNothing) {
    writeFile(root() + "/a.txt", "a");
    TVCLZip zip = writer();
    zip.setZipName("   ");
    EXPECT_EQ(zip.zip(), 0);
    EXPECT_TRUE(outFolder().empty());
}

// The disk fills up part-way: the build must fail with the room message, leave no file
// behind and keep the archive that was there before.
TEST_F(ZipWriterTest, AWriteThatFallsShortKeepsTheOldArchiveAndLeavesNoFile) {
    for (int i = 0; i < 20; ++i) {
        std::string text;
        for (int k = 0; k < 20000; ++k) text += std::to_string(k * i) + " ";
        writeFile(root() + "/page" + std::to_string(i) + ".html", text);
    }
    writeFile(zipPath(), "the old archive");

    struct Failure {
        ssize_t result;
        int error;
        const char* message;
    };
    for (const Failure failure : {Failure{0, 0, "Not enough room to write archive"},
                                  Failure{-1, ENOSPC, "Not enough room to write archive"},
                                  Failure{-1, EIO, "Input/output error"}}) {
        std::size_t room = 100000;
        TVCLZip zip = writer();
        zip.setWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
            if (room == 0) {
                errno = failure.error;
                return failure.result;
            }
            const std::size_t n = std::min(room, size);  // the last write fits only in part
            room -= n;
            return ::write(fd, data, n);
        });
        try {
            zip.zip();
            ADD_FAILURE() << "no error for " << failure.message;
        } catch (const Error& error) {
            EXPECT_NE(std::string(error.what()).find(failure.message), std::string::npos)
                << error.what();
        }
        EXPECT_TRUE(zip.filesList().empty());
        EXPECT_EQ(outFolder(), std::vector<std::string>{"book.epub"});
        EXPECT_EQ(readFile(zipPath()), "the old archive");
    }
}

TEST_F(ZipWriterTest, AFileTooLargeForTheFormatIsRefusedBeforeAnythingBreaks) {
    {
        int fd = ::open((root() + "/huge.bin").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0);  // sparse: no real disk space
        ::close(fd);
    }
    TVCLZip zip = writer();
    try {
        zip.zip();
        ADD_FAILURE() << "a 4 GiB file was packed";
    } catch (const ZipLimitError& error) {
        // In the user's terms: the archive they asked for and the file's name in the book,
        // not the work folder the book was assembled in.
        EXPECT_EQ(std::string(error.what()),
                  "Cannot write archive \"" + zipPath() +
                      "\": the file \"huge.bin\" is 4 GiB or larger, more than a zip archive "
                      "without ZIP64 records can hold");
    }
    EXPECT_TRUE(outFolder().empty());
}

TEST_F(ZipWriterTest, MoreMembersThanTheEndRecordCanCountAreRefused) {
    // One folder of 1,025 files seen through 64 links: 65,600 members for the cost of a
    // thousand files on disk.
    fs::create_directory(m_tmp / "files");
    for (int f = 0; f < 1025; ++f) {
        const int fd = ::creat((m_tmp / ("files/" + std::to_string(f))).c_str(), 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    for (int d = 0; d < 64; ++d) {
        fs::create_directory_symlink(m_tmp / "files", root() + "/d" + std::to_string(d));
    }
    ASSERT_GT(64 * 1025, 65534);
    TVCLZip zip = writer();
    try {
        zip.zip();
        ADD_FAILURE() << "the member count would have wrapped";
    } catch (const ZipLimitError& error) {
        EXPECT_NE(std::string(error.what()).find("65,534"), std::string::npos);
        EXPECT_EQ(std::string(error.what()),
                  "Cannot write archive \"" + zipPath() +
                      "\": the book has 65,600 files, more than the 65,534 a zip archive "
                      "without ZIP64 records holds");
    }
    EXPECT_TRUE(outFolder().empty());
}

// Kernel attribute files report a size of a page but hold only a line: a file that yields
// fewer bytes than its size. The member must record what was really read.
TEST_F(ZipWriterTest, AFileShorterThanItsSizeIsReportedAndPackedAsRead) {
    std::string source;
    for (const char* candidate : {"/sys/kernel/uevent_seqnum", "/sys/power/state"}) {
        struct stat st {};
        if (::stat(candidate, &st) == 0 && st.st_size > 0 && ::access(candidate, R_OK) == 0 &&
            readFile(candidate).size() < static_cast<std::size_t>(st.st_size)) {
            source = candidate;
            break;
        }
    }
    if (source.empty()) GTEST_SKIP() << "no kernel attribute file to read here";
    fs::create_symlink(source, root() + "/short");

    std::vector<std::uint64_t> reported;
    TVCLZip zip = writer();
    zip.setShortReadHandler(
        [&](const std::string& path, std::uint64_t expected, std::uint64_t read) {
            EXPECT_EQ(path, root() + "/short");
            reported = {expected, read};
        });
    EXPECT_EQ(zip.zip(), 1);
    const test::ZipContents contents = readZip(readFile(zipPath()));
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_LT(reported[1], reported[0]);
    EXPECT_EQ(contents.members.at(0).uncompressedSize, reported[1]);
}

TEST_F(ZipWriterTest, TheArchiveGetsTheUsualPermissionsAndLetsTheWindowBreathe) {
    writeFile(root() + "/a.txt", std::string(300000, 'a'));
    int calls = 0;
    TVCLZip zip = writer();
    zip.setProcessMessages([&] { ++calls; });
    zip.zip();
    EXPECT_GT(calls, 0);

    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(zipPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
}

TEST(ZipErrorsTest, ZlibsRefusalNamesTheMemberAndZlibsReason) {
    EXPECT_EQ(std::string(EZCompressionError("OEBPS/page1.html", Z_STREAM_ERROR, nullptr).what()),
              "error: zlib could not compress \"OEBPS/page1.html\": stream error (return code "
              "-2)");
    EXPECT_EQ(std::string(EZCompressionError("mimetype", Z_MEM_ERROR, "out of memory").what()),
              "error: zlib could not compress \"mimetype\": out of memory (return code -4)");
}

TEST(ZipRecordsTest, DosTimesOutsideTheirRangeAreClampedToItsEnds) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(dosDateTime(0), 0x00210000u);           // 1970 -> 1980-01-01 00:00:00
    EXPECT_EQ(dosDateTime(4354819200), 0xFF9FBF7Du);  // 2108 -> 2107-12-31 23:59:58
}

}  // namespace
}  // namespace qb
