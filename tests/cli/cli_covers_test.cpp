// Cover pictures through quirebind-cli: only real pictures are taken, a picture from a pipe
// arrives whole, and whatever its name, the cover never pushes a file of the book aside.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

class CliCoverTest : public CliTest {
  protected:
    std::vector<std::string> args(const std::string& cover, const std::string& text) {
        return {"-t", "Book", "-a", "A. Writer", "-o", path("out"), "--plain", "-c", cover, text};
    }
};

TEST_F(CliCoverTest, WhatIsNotAPictureEndsTheRunBeforeAnyPage) {
    // The text file is missing: had a page been written first, its error would have come.
    const std::string text = path("missing.txt");
    const std::pair<std::string, std::string> covers[] = {
        {"empty.jpg", ""},
        {"notes.jpg", "just some text that is no picture\n"},
        {"photo.webp", std::string("RIFF\x24\0\0\0WEBPVP8 ", 16) + std::string(24, '\0')},
        {"drawing.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"/>"},
        {"old.bmp", std::string("BM\x3e\0\0\0\0\0\0\0\x3e\0\0\0", 14) + std::string(48, '\0')},
        {"scan.tif", std::string("II*\0\x08\0\0\0", 8) + std::string(32, '\0')},
        {"cut.jpg", "\xFF\xD8"},  // too short for the JPEG signature
    };
    for (const auto& [name, bytes] : covers) {
        const std::string cover = file(name, bytes);
        const ProgramResult r = cli(args(cover, text));
        EXPECT_EQ(r.exitStatus, 1) << name;
        EXPECT_EQ(r.err, "quirebind-cli: Not a JPEG, PNG or GIF picture: \"" + cover + "\".\n");
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(path("out/Book.epub")));
    }
    const ProgramResult r = cli(args("/dev/null", text));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "quirebind-cli: Not a JPEG, PNG or GIF picture: \"/dev/null\".\n");
}

// A pipe yields its bytes once: the picture is read once and copied from what was read.
TEST_F(CliCoverTest, PictureFromAPipeArrivesWhole) {
    // Longer than a pipe holds, so the writer is still at work while the program reads.
    std::string picture = jpegPicture() + std::string(300 * 1024, '\0');
    for (std::size_t i = jpegPicture().size(); i < picture.size(); ++i) picture[i] = char(i * 7);
    const std::string text = file("a.txt", "Hello\n");

    for (const bool asStandardInput : {false, true}) {
        const std::string fifo = path(asStandardInput ? "stdin-fifo" : "cover-fifo");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer([&] {
            const int fd = open(fifo.c_str(), O_WRONLY);
            if (fd < 0) return;
            for (std::size_t done = 0; done < picture.size();) {
                const ssize_t n = write(fd, picture.data() + done, picture.size() - done);
                if (n <= 0) break;
                done += std::size_t(n);
            }
            close(fd);
        });
        ProgramOptions options = cliOptions();
        if (asStandardInput) options.standardInput = fifo;
        std::vector<std::string> all = args(asStandardInput ? "/dev/stdin" : fifo, text);
        all.insert(all.begin(), "-y");
        const ProgramResult r = cli(all, options);
        writer.join();
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const std::string archive = path("out/Book.epub");
        // "stdin" or a fifo's name says nothing of the picture: it becomes cover.jpg.
        EXPECT_EQ(archiveMember(archive, "OEBPS/cover.jpg"), picture);
        EXPECT_NE(archiveMember(archive, "OEBPS/fb.opf")
                      .find("href=\"cover.jpg\" media-type=\"image/jpeg\""),
                  std::string::npos);
    }
}

// The packer keeps one of two names that differ only in case; a cover must never be the one
// that pushes the package document or a page out of the book.
TEST_F(CliCoverTest, CoverNamedLikeABookFileInAnyCaseIsRenamed) {
    const std::string text = file("a.txt", "Hello\n");
    for (const std::string name : {"FB.OPF", "Fb.Ncx", "Cover.HTML", "PAGE1.html", "page1-2.html",
                                   "Stylesheet.CSS", "NAV.XHTML"}) {
        const std::string cover = file("covers/" + name, jpegPicture());
        const ProgramResult r = cli({"-t", "Book", "-a", "A. Writer", "-o", path("out"), "--plain",
                                     "-y", "-c", cover, text});
        ASSERT_EQ(r.exitStatus, 0) << name << ": " << r.err;
        const std::vector<std::string> names = archiveMembers(path("out/Book.epub"));
        for (const std::string member :
             {"mimetype", "META-INF/container.xml", "OEBPS/fb.opf", "OEBPS/fb.ncx",
              "OEBPS/page1.html", "OEBPS/cover.html", "OEBPS/stylesheet.css", "OEBPS/cover.jpg"})
            EXPECT_EQ(std::count(names.begin(), names.end(), member), 1) << name << ": " << member;
        EXPECT_EQ(names.size(), 8u) << name;
        EXPECT_EQ(archiveMember(path("out/Book.epub"), "OEBPS/cover.jpg"), jpegPicture()) << name;
    }
}

}  // namespace
}  // namespace qb::test
