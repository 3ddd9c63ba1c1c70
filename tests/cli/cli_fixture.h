#pragma once
// A scratch folder per test and quirebind-cli run inside it, with its own TMPDIR so each test
// can see that the program's work folder is gone when it ends.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/pictures.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_folder.h"

namespace qb::test {

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // A file in the scratch folder; returns its path.
    std::string file(const std::string& name, const std::string& bytes);
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

    ProgramOptions cliOptions() const;
    // Runs quirebind-cli with args and checks that it left no work folder behind.
    ProgramResult cli(const std::vector<std::string>& args);
    ProgramResult cli(const std::vector<std::string>& args, const ProgramOptions& options);
    std::vector<std::string> cliArgs(const std::vector<std::string>& args) const;
    // Runs quirebind-cli for a book that must be made, quietly; returns the path it printed.
    std::string makeBook(const std::vector<std::string>& args);

    // Work folders the program left in its TMPDIR.
    std::vector<std::string> leftWorkFolders() const { return folderNames(m_tmp); }

    // Runs give --plain first: most tests check the window's book, which it makes.
    bool m_plain = true;
    TempFolder m_folder;
    const std::string m_dir = m_folder.path();
    const std::string m_tmp = m_dir + "/tmp";
};

bool contains(const std::string& text, const std::string& part);
// The document, or an empty one and a failed expectation.
pugi::xml_document parseXml(const std::string& bytes);

// One member of an archive, as unzip gives it.
std::string archiveMember(const std::string& archive, const std::string& member);
// The names of an archive's members, in archive order.
std::vector<std::string> archiveMembers(const std::string& archive);
// The contents of a book's fb.ncx as "label>target" lines, nesting shown by two spaces; check
// sees every navPoint on the way, in document order.
std::vector<std::string> ncxEntries(const std::string& archive,
                                    const std::function<void(pugi::xml_node)>& check = {});

// Runs epubcheck on a book and expects neither errors nor warnings, and the book checked by
// the rules of its EPUB version.
void expectValidBook(const std::string& epub, int epubVersion = 2);

}  // namespace qb::test
