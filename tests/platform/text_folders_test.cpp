#include "platform/text_folders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

namespace fs = std::filesystem;

TEST(TextFolders, NaturalOrderReadsNumbersAndIgnoresAsciiCase) {
    // Each list is in the order a file manager shows it.
    const std::vector<std::vector<std::string>> orders = {
        {"2 two.txt", "10 ten.txt"},
        {"ch9.txt", "ch09b.txt", "ch10.txt"},
        {"a.txt", "B.txt", "c.txt"},
        {"vol1-2.txt", "vol1-10.txt", "vol2-1.txt"},
        {"007.txt", "7.txt", "8.txt"},  // equal numbers: the leading zeros come first
        {"File.txt", "file.txt"},       // equal but for case: bytewise, so the order is total
        {"99999999999999999999.txt", "100000000000000000000.txt"},  // beyond any integer type
        {"z.txt", "ä.txt", "中.txt"},
    };
    for (const std::vector<std::string>& order : orders) {
        for (std::size_t i = 0; i < order.size(); ++i)
            for (std::size_t j = 0; j < order.size(); ++j)
                EXPECT_EQ(naturalLess(order[i], order[j]), i < j) << order[i] << " / " << order[j];
    }
}

TEST(TextFolders, AFolderMeansTheTextFilesDirectlyInIt) {
    test::TempFolder tmp;
    const std::string dir = tmp.path() + "/lib";
    fs::create_directories(dir + "/sub");
    fs::create_directories(dir + "/x.txt");
    for (const char* name : {"10.txt", "2.txt", "notes.md", "UPPER.TXT", "sub/3.txt", "x.txt/y"})
        test::writeFile(dir + "/" + name, "text");
    fs::create_symlink("loop.txt", dir + "/loop.txt");
    fs::create_symlink("2.txt", dir + "/link.txt");
    fs::create_symlink(".", dir + "/self.txt");  // a link to a folder is no text file

    const std::vector<std::string> want{dir + "/2.txt", dir + "/10.txt", dir + "/link.txt",
                                        dir + "/loop.txt", dir + "/UPPER.TXT"};
    EXPECT_EQ(textFilesIn(dir), want);
    EXPECT_EQ(textFilesIn(dir + "/"), want);

    // In place among files given; a file stays even when it is no .txt.
    const std::string other = tmp.path() + "/other.md";
    test::writeFile(other, "text");
    std::vector<std::string> expanded = expandTextFolders({other, dir, tmp.path() + "/gone"});
    EXPECT_EQ(expanded.size(), 7u);
    EXPECT_EQ(expanded.front(), other);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), expanded.begin() + 1));
    EXPECT_EQ(expanded.back(), tmp.path() + "/gone");
}

TEST(TextFolders, AFolderWithoutTextOrUnreadableIsAnError) {
    test::TempFolder tmp;
    fs::create_directories(tmp.path() + "/empty/sub");
    test::writeFile(tmp.path() + "/empty/sub/a.txt", "text");
    try {
        expandTextFolders({tmp.path() + "/empty"});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "The folder \"" + tmp.path() +
                                             "/empty\" holds no .txt file (folders in it are "
                                             "not searched).");
    }
    EXPECT_THROW(textFilesIn(tmp.path() + "/missing"), Error);
}

}  // namespace
}  // namespace qb
