// The folders around a run misbehaving: a content folder that cannot be removed, a settings
// file that cannot be written, a link loop below the work folder, and file names made of
// every byte a file system allows.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "package/dir_search.h"
#include "package/packager.h"
#include "package/search_data.h"
#include "package/zip_records.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "tests/robustness/fault_fixture.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

class FolderFaultTest : public ::testing::Test {
  protected:
    test::TempFolder m_tmp;
    test::RunFixture m_run{m_tmp.path()};
};

// A file of an earlier book that resists removal would otherwise be packed into the new one,
// beside its own pages: the run has to stop and say which folder it could not clear.
TEST_F(FolderFaultTest, ContentFolderThatCannotBeRemovedStopsTheRun) {
    const std::string content = m_run.work() + "/OEBPS";
    fs::create_directories(content);
    writeFile(content + "/page7.html", "a page of the last book");
    test::Immutable stuck(content + "/page7.html");
    if (!stuck.set()) GTEST_SKIP() << "cannot make a file immutable here";

    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    EXPECT_EQ(run.run(m_run.project({m_run.text("a.txt", "text\n")}), ui), RunResult::Failed);
    ASSERT_EQ(ui.errors().size(), 1u);
    EXPECT_EQ(ui.errors()[0].rfind("Cannot remove folder \"" + content + "\". ", 0), 0u)
        << ui.errors()[0];
    EXPECT_TRUE(ui.successes().empty());
    EXPECT_FALSE(fs::exists(m_run.archive()));
}

TEST_F(FolderFaultTest, ContentFolderWithAMountInsideStopsTheRun) {
    const std::string content = m_run.work() + "/OEBPS";
    test::SmallFileSystem mounted(content + "/images", "64k");
    if (!mounted.mounted()) GTEST_SKIP() << "cannot mount a small file system here";

    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    EXPECT_EQ(run.run(m_run.project({m_run.text("a.txt", "text\n")}), ui), RunResult::Failed);
    ASSERT_EQ(ui.errors().size(), 1u);
    EXPECT_EQ(ui.errors()[0].rfind("Cannot remove folder \"" + content + "\". ", 0), 0u)
        << ui.errors()[0];
    EXPECT_FALSE(fs::exists(m_run.archive()));
}

// What resists removal is reported with its cause; once it gives way, the folder goes.
TEST_F(FolderFaultTest, RemovalSaysWhyAFolderCannotGo) {
    const std::string folder = m_tmp / "content";
    fs::create_directories(folder + "/deep");
    writeFile(folder + "/deep/stuck.html", "stuck");
    writeFile(folder + "/loose.html", "loose");
    {
        test::Immutable stuck(folder + "/deep/stuck.html");
        if (!stuck.set()) GTEST_SKIP() << "cannot make a file immutable here";
        std::string cause;
        EXPECT_FALSE(removeFolder(folder, &cause));
        EXPECT_EQ(cause, "Operation not permitted");
    }
    EXPECT_TRUE(removeFolder(folder));
    EXPECT_FALSE(fs::exists(folder));
}

class SettingsFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(folder());
        writeFile(path(), kSettings);
    }
    std::string folder() const { return m_tmp / "program"; }
    std::string path() const { return folder() + "/config.ini"; }

    // The write must fail with the settings message and change nothing on disk.
    void expectRefused(const std::string& cause) const {
        IniFile ini(path());
        try {
            ini.writeString("Options", "SavePath", "/new/place");
            ADD_FAILURE() << "the write went through";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + path() + ". " + cause);
        }
        EXPECT_EQ(readFile(path()), kSettings);
        EXPECT_EQ(folderNames(folder()), std::vector<std::string>{"config.ini"});
        EXPECT_EQ(ini.readString("Options", "SavePath"), "/old/place");
    }

    static constexpr const char* kSettings = "; mine\r\n[Options]\r\nSavePath=/old/place\r\n";
    test::TempFolder m_tmp;
};

TEST_F(SettingsFaultTest, ImmutableSettingsFile) {
    test::Immutable locked(path());
    if (!locked.set()) GTEST_SKIP() << "cannot make a file immutable here";
    expectRefused("Operation not permitted");
}

TEST_F(SettingsFaultTest, SettingsFileOnAReadOnlyMount) {
    test::ReadOnlyBind readOnly(path());
    if (!readOnly.readOnly()) GTEST_SKIP() << "cannot make a read-only bind mount here";
    expectRefused("Read-only file system");
}

TEST_F(SettingsFaultTest, SettingsFolderOnAReadOnlyMount) {
    test::ReadOnlyBind readOnly(folder());
    if (!readOnly.readOnly()) GTEST_SKIP() << "cannot make a read-only bind mount here";
    expectRefused("Read-only file system");
}

// A settings file its owner made read-only must stay as it is: writing next to it and renaming
// over it would replace it all the same. Permissions bind only an ordinary user, so as root the
// check runs in a child that has become one.
TEST_F(SettingsFaultTest, ReadOnlySettingsFileIsNotReplaced) {
    ASSERT_EQ(::chmod(path().c_str(), 0444), 0);
    const std::optional<bool> refused = test::asOrdinaryUser(m_tmp.path(), [this] {
        try {
            IniFile(path()).writeString("Options", "SavePath", "/new/place");
            std::fprintf(stderr, "the write went through\n");
            return false;
        } catch (const Error& error) {
            return std::string(error.what()) ==
                   "Unable to write to " + path() + ". Permission denied";
        }
    });
    if (!refused) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*refused);
    EXPECT_EQ(readFile(path()), kSettings);
    EXPECT_EQ(fs::status(path()).permissions() & fs::perms::all, fs::perms(0444));
    EXPECT_EQ(folderNames(folder()), std::vector<std::string>{"config.ini"});
}

// Settings may hold private paths: a file its owner keeps private stays private when a value
// is written.
TEST_F(SettingsFaultTest, WritingKeepsTheFilePermissions) {
    ASSERT_EQ(::chmod(path().c_str(), 0600), 0);
    IniFile ini(path());
    ini.writeString("Options", "SavePath", "/new/place");
    EXPECT_EQ(ini.readString("Options", "SavePath"), "/new/place");
    EXPECT_EQ(fs::status(path()).permissions() & fs::perms::all, fs::perms(0600));
}

// The byte-order mark a file starts with stays: dropping it would turn a second mark into the
// start of the first line, and a line that looked like nothing into a section of its own.
TEST_F(SettingsFaultTest, AByteOrderMarkStaysWhereItWas) {
    const std::string bom = "\xEF\xBB\xBF";
    writeFile(path(), bom + bom + "[options]\nx=1\n[Other]\ny=2\n");
    IniFile ini(path());
    ini.writeString("OPTIONS", "SavePath", "/new/place");
    EXPECT_EQ(ini.readString("OPTIONS", "SavePath"), "/new/place");
    EXPECT_EQ(ini.readString("Other", "y"), "2");
    EXPECT_EQ(readFile(path()).substr(0, 6), bom + bom);
}

// Links that lead back up, round in a circle, or to themselves: the walk must end, pack each
// real file once under its own path and leave links that lead nowhere out.
TEST_F(FolderFaultTest, LinkLoopsBelowTheWorkFolderDoNotStopTheRun) {
    const std::string work = m_run.work();
    fs::create_directories(work + "/META-INF/x");
    fs::create_directories(work + "/META-INF/y");
    fs::create_directory_symlink("..", work + "/META-INF/up");
    fs::create_directory_symlink(work, work + "/META-INF/x/top");
    fs::create_directory_symlink("../y", work + "/META-INF/x/toY");
    fs::create_directory_symlink("../x", work + "/META-INF/y/toX");
    fs::create_symlink("self", work + "/self");
    fs::create_symlink("b", work + "/a");
    fs::create_symlink("a", work + "/b");

    ConversionRun run(m_run.work());
    test::RecordingUi ui;
    ASSERT_EQ(run.run(m_run.project({m_run.text("a.txt", "text\n")}), ui), RunResult::Built)
        << (ui.errors().empty() ? "" : ui.errors()[0]);
    std::vector<std::string> names = readZip(readFile(m_run.archive())).names();
    EXPECT_EQ(names.front(), "mimetype");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"META-INF/container.xml", "OEBPS/fb.ncx", "OEBPS/fb.opf",
                                        "OEBPS/page1.html", "OEBPS/stylesheet.css", "mimetype"}));
}

// Every byte but "/" and NUL can stand in a file name. Each one, alone in a name and all of
// them together, must come through the walk and into the archive unchanged: names that are
// not UTF-8 are stored as they are, without the UTF-8 flag.
TEST(FileNameBytesTest, EveryByteAFileSystemAllowsSurvivesTheWalkAndTheArchive) {
    test::TempFolder tmp;
    // The names stand in a book's content folder, the one folder whose files the packer takes.
    const std::string book = tmp / "tree";
    const std::string root = book + "/OEBPS";
    fs::create_directories(root + "/one");
    fs::create_directories(root + "/sub");
    std::map<std::string, std::string> files;  // stored name -> content
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b == '/') continue;
        const char c = static_cast<char>(b);
        all += c;
        // Alone (a wildcard character as a whole name, say) and after another character.
        if (c != '.') files["one/" + std::string(1, c)] = "1:" + std::to_string(b);
        files["sub/n" + std::string(1, c)] = "2:" + std::to_string(b);
    }
    ASSERT_EQ(all.size(), 254u);
    files[all] = "all of them";
    const std::string utf8Name = "sub/caf\xC3\xA9 \xE2\x82\xAC";
    files[utf8Name] = "UTF-8";
    for (const auto& [name, content] : files) writeFile(root + "/" + name, content);

    std::vector<std::string> walked;
    TDirSearch search(root, 0x3F & ~kAttrHidden & ~kAttrSysFile, true, "*");
    for (std::string path = search.nextPath(); !path.empty(); path = search.nextPath()) {
        if (path.back() != '/') walked.push_back(path.substr(root.size() + 1));
    }
    std::sort(walked.begin(), walked.end());
    std::vector<std::string> expected;
    for (const auto& entry : files) expected.push_back(entry.first);
    EXPECT_EQ(walked, expected);

    const std::string archive = tmp / "names.zip";
    writeFile(book + "/mimetype", "application/epub+zip");
    fs::create_directory(book + "/META-INF");
    writeFile(book + "/META-INF/container.xml", "<container/>");
    const PackResult packed = packageFolder(archive, book);
    ASSERT_TRUE(packed.built) << packed.cause;
    EXPECT_TRUE(test::unzipAccepts(archive));
    const test::ZipContents zip = readZip(readFile(archive));
    // Names that differ in ASCII case only would overwrite each other when unpacked on a
    // case-blind file system: the archive keeps the first of each such pair.
    EXPECT_EQ(zip.members.size(), 2 + files.size() - 2 * 26);
    for (const test::ZipMember& member : zip.members) {
        if (member.name == "mimetype" || member.name == "META-INF/container.xml") continue;
        ASSERT_EQ(member.name.rfind("OEBPS/", 0), 0u) << member.name;
        const auto file = files.find(member.name.substr(6));
        ASSERT_NE(file, files.end()) << "stored name changed: " << member.name;
        EXPECT_EQ(member.data, file->second) << member.name;
        EXPECT_EQ((member.flags & kFlagUtf8Name) != 0, file->first == utf8Name) << member.name;
    }
}

}  // namespace
}  // namespace qb
