// Where the programs find their book template: beside themselves in the build tree, in the
// share/ folder of whatever prefix they were installed into, and only then in the prefix the
// build was configured with.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/build_info.h"
#include "platform/paths.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace qb {
namespace {

class TemplateLookupTest : public ::testing::Test {
  protected:
    // A folder that looks like a template: it holds a mimetype file.
    std::string makeTemplate(const std::string& relative) const {
        const std::string folder = m_dir / relative;
        fs::create_directories(folder + "/META-INF");
        test::writeFile(folder + "/mimetype", "application/epub+zip");
        return folder;
    }
    std::string bin() const { return m_dir / "prefix/bin"; }
    std::string configured() const { return m_dir / "configured/share/quirebind/epubfiles"; }

    test::TempFolder m_dir;
};

TEST(TemplateCandidates, BesideTheProgramThenItsPrefixThenTheConfiguredFolder) {
    EXPECT_EQ(
        templateFolderCandidates("/opt/qb/bin", "/usr/local/share/quirebind/epubfiles"),
        (std::vector<std::string>{"/opt/qb/bin/epubfiles", "/opt/qb/share/quirebind/epubfiles",
                                  "/usr/local/share/quirebind/epubfiles"}));
    // A program in the root folder, a relative program folder, and no configured folder.
    EXPECT_EQ(templateFolderCandidates("", ""),
              (std::vector<std::string>{"/epubfiles", "/share/quirebind/epubfiles"}));
    EXPECT_EQ(templateFolderCandidates(".", ""),
              (std::vector<std::string>{"./epubfiles", "./../share/quirebind/epubfiles"}));
}

TEST(TemplateCandidates, TheConfiguredFolderIsTheInstallPrefixOfThisBuild) {
    const std::string configured = kConfiguredTemplateFolder;
    ASSERT_FALSE(configured.empty());
    EXPECT_EQ(configured.front(), '/');
    EXPECT_TRUE(configured.ends_with("/share/quirebind/epubfiles")) << configured;
}

TEST_F(TemplateLookupTest, TheFirstFolderHoldingAMimetypeWins) {
    EXPECT_EQ(findTemplateFolder(bin(), configured()), "");

    makeTemplate("configured/share/quirebind/epubfiles");
    EXPECT_EQ(findTemplateFolder(bin(), configured()), configured());

    // The prefix the program was really installed into beats the configured one.
    const std::string installed = makeTemplate("prefix/share/quirebind/epubfiles");
    EXPECT_EQ(findTemplateFolder(bin(), configured()), installed);

    // And the build tree's copy beside the program beats both.
    const std::string beside = makeTemplate("prefix/bin/epubfiles");
    EXPECT_EQ(findTemplateFolder(bin(), configured()), beside);
}

TEST_F(TemplateLookupTest, AFolderWithoutAMimetypeFileIsPassedOver) {
    const std::string installed = makeTemplate("prefix/share/quirebind/epubfiles");
    // Beside the program: a left-over work folder with only the content folder in it, and
    // a mimetype that is a folder. Neither is a template.
    fs::create_directories(bin() + "/epubfiles/OEBPS");
    EXPECT_EQ(findTemplateFolder(bin(), ""), installed);
    fs::create_directories(bin() + "/epubfiles/mimetype");
    EXPECT_EQ(findTemplateFolder(bin(), ""), installed);

    fs::remove(installed + "/mimetype");
    EXPECT_EQ(findTemplateFolder(bin(), configured()), "");
}

TEST(TemplateLookup, TheTestProgramFindsTheBuildTreeCopy) {
    // The build copies the template beside the programs; tests run from that folder too.
    EXPECT_EQ(findTemplateFolder(), programFolder() + "/epubfiles");
}

}  // namespace
}  // namespace qb
