// The helpers other tests stand on: a scratch folder that always goes, and nothing beyond it
// with it; file helpers that never mistake a failure for an empty file.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_folder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

// Rights bind only an ordinary user, so the folder is made and removed as one.
TEST(TempFolderTest, GoesWholeWhateverRightsATestTookAndLeavesWhatALinkLeadsTo) {
    TempFolder outside;
    writeFile(outside / "kept.txt", "kept");
    fs::create_directory(outside / "locked");
    const std::optional<bool> removed = asOrdinaryUser(outside.path(), [&] {
        std::string path;
        {
            TempFolder tmp;
            path = tmp.path();
            fs::create_directories(tmp / "a/b");
            writeFile(tmp / "a/b/page.html", "x");
            fs::create_directory_symlink(outside.path(), tmp / "a/out");
            fs::permissions(outside / "locked", fs::perms::none);
            fs::permissions(tmp / "a/b", fs::perms::none);
            fs::permissions(tmp / "a", fs::perms::owner_read | fs::perms::owner_exec);
            fs::permissions(tmp.path(), fs::perms::owner_read | fs::perms::owner_exec);
        }
        const bool gone = !fs::exists(path);
        const bool untouched = (fs::symlink_status(outside / "locked").permissions() &
                                fs::perms::all) == fs::perms::none;
        if (!gone) std::fprintf(stderr, "%s is still there\n", path.c_str());
        if (!untouched) std::fprintf(stderr, "the rights behind the link were changed\n");
        return gone && untouched;
    });
    if (!removed) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*removed);
    EXPECT_EQ(readFile(outside / "kept.txt"), "kept");
    EXPECT_EQ(folderNames(outside.path()), (std::vector<std::string>{"kept.txt", "locked"}));
}

TEST(FilesTest, WhatCannotBeReadWrittenOrListedThrowsWithItsPath) {
    TempFolder tmp;
    const auto message = [](auto&& action) {
        try {
            action();
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message([&] { readFile(tmp / "missing"); }),
              "cannot open \"" + tmp / "missing" + "\": No such file or directory");
    EXPECT_EQ(message([&] { readFile(tmp.path()); }),
              "cannot read \"" + tmp.path() + "\": Is a directory");
    EXPECT_EQ(message([&] { writeFile(tmp / "no/file", "x"); }),
              "cannot create \"" + tmp / "no/file" + "\": No such file or directory");
    EXPECT_EQ(message([&] { writeFile("/dev/full", "x"); }),
              "cannot write \"/dev/full\": No space left on device");
    EXPECT_EQ(message([&] { folderNames(tmp / "missing"); }),
              "cannot list \"" + tmp / "missing" + "\": No such file or directory");

    // Bytes come back as they went, NULs and all; names sorted, hidden ones too.
    const std::string bytes("a\0b\r\n\xFF", 6);
    writeFile(tmp / "b", bytes);
    writeFile(tmp / ".a", "");
    EXPECT_EQ(readFile(tmp / "b"), bytes);
    EXPECT_EQ(readFile(tmp / ".a"), "");
    EXPECT_EQ(folderNames(tmp.path()), (std::vector<std::string>{".a", "b"}));
}

}  // namespace
}  // namespace qb::test
