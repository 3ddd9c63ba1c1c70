#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

TEST(Paths, FileNamePartIsAfterTheLastSlash) {
    EXPECT_EQ(fileNamePart("/home/me/pics/front.jpg"), "front.jpg");
    EXPECT_EQ(fileNamePart("front.jpg"), "front.jpg");
    EXPECT_EQ(fileNamePart("/pics/my cover.jpg"), "my cover.jpg");
    EXPECT_EQ(fileNamePart("/pics/"), "");
    EXPECT_EQ(fileNamePart("C:\\pics\\x.jpg"), "C:\\pics\\x.jpg");  // "\" is a file name char
}

TEST(Paths, ProgramFolderHoldsTheRunningProgram) {
    std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::exists(folder + "/platform_tests"));
}

TEST(Paths, ProgramStartedByNameIsFoundAlongPathNeverInTheCurrentFolder) {
    test::TempFolder tmp;
    for (const char* folder : {"plain", "bin"}) std::filesystem::create_directory(tmp / folder);
    test::writeFile(tmp / "plain/tool", "not executable");
    test::writeFile(tmp / "bin/tool", "#!/bin/sh\n");
    std::filesystem::permissions(tmp / "bin/tool", std::filesystem::perms::owner_all);
    const std::string path = "/no/such:" + (tmp / "plain") + ":" + (tmp / "bin");
    EXPECT_EQ(programPathFrom("tool", path), tmp / "bin/tool");
    // A path as typed is the program's own; a name found nowhere gives nothing.
    EXPECT_EQ(programPathFrom("./tool", path), "./tool");
    EXPECT_EQ(programPathFrom("other", path), "");
    EXPECT_EQ(programPathFrom("tool", ""), "");
    EXPECT_EQ(programPathFrom("", path), "");
}

}  // namespace
}  // namespace qb
