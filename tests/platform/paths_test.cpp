#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace qb
