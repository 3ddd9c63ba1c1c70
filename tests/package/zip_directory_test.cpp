// Reading back the names a finished archive lists, and refusing archives whose directory
// cannot be trusted.

#include "package/zip_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "package/packager.h"
#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace qb {
namespace {

using namespace test;

class ZipDirectoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(m_tmp / "book/META-INF");
        std::filesystem::create_directories(m_tmp / "book/OEBPS");
        writeFile(m_tmp / "book/mimetype", "application/epub+zip");
        writeFile(m_tmp / "book/META-INF/container.xml", "<container/>");
        writeFile(m_tmp / "book/OEBPS/\xC3\xA9t\xC3\xA9.html", "<html/>");
        ASSERT_TRUE(packageFolder(m_tmp / "book.epub", m_tmp / "book").built);
        m_bytes = readFile(m_tmp / "book.epub");
    }

    // The archive's bytes with a comment: the end record's last field gives its length.
    std::string withComment(const std::string& comment) const {
        std::string bytes = m_bytes;
        bytes[bytes.size() - 2] = static_cast<char>(comment.size() & 0xFF);
        bytes[bytes.size() - 1] = static_cast<char>(comment.size() >> 8);
        return bytes + comment;
    }

    std::string errorFor(const std::string& bytes) {
        const std::string path = m_tmp / "damaged.epub";
        writeFile(path, bytes);
        try {
            readZipDirectory(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }

    TempFolder m_tmp;
    std::string m_bytes;
};

TEST_F(ZipDirectoryTest, ListsWhatAnUnpackerSees) {
    const std::vector<std::string> expected = test::readZip(m_bytes).names();
    ASSERT_EQ(expected.size(), 3u);
    EXPECT_EQ(readZipDirectory(m_tmp / "book.epub"), expected);

    // A comment may hold anything, even what looks like an end record.
    const std::string fake = m_bytes.substr(m_bytes.size() - 22);
    const std::string path = m_tmp / "commented.epub";
    writeFile(path, withComment("see " + fake + " here"));
    EXPECT_EQ(readZipDirectory(path), expected);
}

TEST_F(ZipDirectoryTest, DamagedArchivesAreRefusedNamingThePath) {
    const std::string end = m_bytes.substr(m_bytes.size() - 22);
    const std::size_t centralOffset =
        static_cast<unsigned char>(end[16]) | static_cast<unsigned char>(end[17]) << 8;
    std::string miscounted = m_bytes;
    miscounted[miscounted.size() - 22 + 8] = 4;   // entries on this disk
    miscounted[miscounted.size() - 22 + 10] = 4;  // entries in all
    const auto field16 = [this](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(m_bytes[at]) |
                                        static_cast<unsigned char>(m_bytes[at + 1]) << 8);
    };
    const std::size_t second = centralOffset + 46 + field16(centralOffset + 28) +
                               field16(centralOffset + 30) + field16(centralOffset + 32);
    std::string brokenEntry = m_bytes;
    brokenEntry[second] = 'X';  // the second record's signature
    std::string outside = m_bytes;
    outside[outside.size() - 22 + 17] = 0x7F;  // central directory offset far beyond the end

    const std::pair<std::string, std::string> cases[] = {
        {"", "too short"},
        {"plain text, certainly no zip archive at all", "no end of central directory record"},
        {m_bytes.substr(0, m_bytes.size() - 1), "no end of central directory record"},
        {m_bytes + "trailing", "no end of central directory record"},
        {miscounted, "holds 3 entries where its end record counts 4"},
        {brokenEntry, "damaged at entry"},
        {outside, "outside the file"},
    };
    for (const auto& [bytes, why] : cases) {
        const std::string message = errorFor(bytes);
        EXPECT_EQ(
            message.rfind("Cannot read the archive \"" + (m_tmp / "damaged.epub") + "\": ", 0), 0u)
            << message;
        EXPECT_NE(message.find(why), std::string::npos) << message;
    }

    try {
        readZipDirectory(m_tmp / "missing.epub");
        ADD_FAILURE() << "a missing archive was read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
    }
}

}  // namespace
}  // namespace qb
