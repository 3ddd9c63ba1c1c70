#pragma once
// A scratch folder per test and quirebind-cli run inside it, with its own TMPDIR so each test
// can see that the program's work folder is gone when it ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/program_runner.h"

namespace qb::test {

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A file in the scratch folder; returns its path.
    std::string file(const std::string& name, const std::string& bytes);
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    ProgramOptions cliOptions() const;
    // Runs quirebind-cli with args and checks that it left no work folder behind.
    ProgramResult cli(const std::vector<std::string>& args);
    ProgramResult cli(const std::vector<std::string>& args, const ProgramOptions& options);
    std::vector<std::string> cliArgs(const std::vector<std::string>& args) const;

    // Work folders the program left in its TMPDIR.
    std::vector<std::string> leftWorkFolders() const;
    // Names in a folder, sorted.
    static std::vector<std::string> listFolder(const std::string& folder);

    std::string m_dir;
    std::string m_tmp;
};

// One member of an archive, as unzip gives it.
std::string archiveMember(const std::string& archive, const std::string& member);
// The names of an archive's members, in archive order.
std::vector<std::string> archiveMembers(const std::string& archive);

// Runs epubcheck on a book and expects neither errors nor warnings, and the book checked by
// the rules of its EPUB version.
void expectValidBook(const std::string& epub, int epubVersion = 2);

// A tiny valid JPEG and PNG (8 x 8 grey ramp).
std::string jpegPicture();
std::string pngPicture();

}  // namespace qb::test
