#include "package/dir_search.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::writeFile;

std::vector<std::string> walk(const std::string& folder, bool recurse = true,
                              const std::string& pattern = "*") {
    TDirSearch search(folder, 0x39, recurse, pattern);
    std::vector<std::string> paths;
    for (std::string p = search.nextPath(); !p.empty(); p = search.nextPath()) paths.push_back(p);
    return paths;
}

// What the walk should yield, computed with the standard library's own listing, which
// reads each folder in the same order the file system gives.
std::vector<std::string> listingOrder(const std::string& folder) {
    std::vector<std::string> paths;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.') continue;
        if (entry.is_directory()) {
            paths.push_back(folder + "/" + name + "/");
            for (std::string& below : listingOrder(folder + "/" + name)) {
                paths.push_back(std::move(below));
            }
        } else if (entry.is_regular_file()) {
            paths.push_back(folder + "/" + name);
        }
    }
    return paths;
}

TEST(DirSearchTest, WalksDepthFirstInListingOrderWithFoldersWhereTheyStand) {
    TempFolder tmp;
    for (const char* folder : {"b", "b/inner", "empty", "z"}) fs::create_directory(tmp / folder);
    for (const char* file : {"mimetype", "a.txt", "b/one.html", "b/inner/two.html", "z/three",
                             "c.css", "b/four.html"}) {
        writeFile(tmp / file, file);
    }
    const std::vector<std::string> paths = walk(tmp.path());
    EXPECT_EQ(paths, listingOrder(tmp.path()));
    // An extensionless name is matched by "*" and comes back without a trailing ".".
    EXPECT_NE(std::find(paths.begin(), paths.end(), tmp / "mimetype"), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), tmp / "empty/"), paths.end());
}

TEST(DirSearchTest, LeavesOutHiddenAndSystemEntriesAndEverythingBelowThem) {
    TempFolder tmp;
    fs::create_directories(tmp / ".git/objects");
    writeFile(tmp / ".git/objects/x", "x");
    writeFile(tmp / ".hidden", "h");
    writeFile(tmp / "kept", "k");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    fs::create_symlink(tmp / "nowhere", tmp / "dangling");
    EXPECT_EQ(walk(tmp.path()), std::vector<std::string>{tmp / "kept"});
}

TEST(DirSearchTest, FollowsLinksButNeverGoesRoundALoop) {
    TempFolder tmp;
    fs::create_directories(tmp / "sub");
    writeFile(tmp / "sub/page.html", "p");
    fs::create_directory_symlink("..", tmp / "sub/up");      // back to an ancestor
    fs::create_symlink("sub/page.html", tmp / "link.html");  // a link to a file is a file
    const std::vector<std::string> paths = walk(tmp.path());
    EXPECT_EQ(std::count(paths.begin(), paths.end(), tmp / "sub/page.html"), 1);
    EXPECT_EQ(std::count(paths.begin(), paths.end(), tmp / "link.html"), 1);
    EXPECT_EQ(paths.size(), 3u);  // sub/, sub/page.html, link.html
}

TEST(DirSearchTest, WithoutRecursionOrWithAPatternOnlyMatchingTopLevelFilesComeOut) {
    TempFolder tmp;
    fs::create_directory(tmp / "sub");
    writeFile(tmp / "sub/deep.txt", "d");
    writeFile(tmp / "top.txt", "t");
    writeFile(tmp / "top.html", "t");
    EXPECT_EQ(walk(tmp.path() + "/", false, "*.TXT"), std::vector<std::string>{tmp / "top.txt"});
    EXPECT_TRUE(walk(tmp / "missing").empty());
}

TEST(DirSearchTest, PatternsMatchLikeFileNameWildcards) {
    EXPECT_TRUE(matchesPattern("*", "mimetype."));
    EXPECT_TRUE(matchesPattern("*.*", "mimetype."));
    EXPECT_TRUE(matchesPattern("page?.html", "PAGE1.HTML"));
    EXPECT_TRUE(matchesPattern("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_FALSE(matchesPattern("*.html", "page1.htm"));
    EXPECT_FALSE(matchesPattern("page?.html", "page10.html"));
}

}  // namespace
}  // namespace qb
