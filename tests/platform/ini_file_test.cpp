#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <utility>

#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    void put(const std::string& text) { qb::test::writeFile(m_path, text); }
    std::string contents() const { return qb::test::readFile(m_path); }

    qb::test::TempFolder m_dir;
    const std::string m_path = m_dir / "config.ini";
};

TEST_F(IniFileTest, MissingFileSectionOrKeyReadsTheFallback) {
    qb::IniFile ini(m_path);
    EXPECT_EQ(ini.readString("Options", "SavePath"), "");
    put("[Other]\nSavePath=/nope\n");
    EXPECT_EQ(ini.readString("Options", "SavePath", "dflt"), "dflt");
    put("[Options]\nOther=1\n");
    EXPECT_EQ(ini.readString("Options", "SavePath", "dflt"), "dflt");
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileAndReadsBack) {
    qb::IniFile ini(m_path);
    ini.writeString("Options", "SavePath", "/home/ann/Books");
    EXPECT_EQ(contents(), "[Options]\nSavePath=/home/ann/Books\n");
    EXPECT_EQ(qb::IniFile(m_path).readString("Options", "SavePath"), "/home/ann/Books");
}

TEST_F(IniFileTest, NamesIgnoreCaseAndOtherLinesStayAsTheyWere) {
    put("; my settings\r\n[Window]\r\nLeft = 10\r\n\r\n[OPTIONS]\r\nsavepath = /old\r\n"
        "Theme=dark\r\n");
    qb::IniFile ini(m_path);
    EXPECT_EQ(ini.readString("options", "SAVEPATH"), "/old");
    ini.writeString("Options", "SavePath", "/new");
    EXPECT_EQ(contents(),
              "; my settings\r\n[Window]\r\nLeft = 10\r\n\r\n[OPTIONS]\r\nSavePath=/new\r\n"
              "Theme=dark\r\n");
    ini.writeString("Options", "Added", "x");
    EXPECT_EQ(ini.readString("Options", "Added"), "x");
    EXPECT_EQ(ini.readString("Window", "Left"), "10");
}

TEST_F(IniFileTest, EmptyAndBlankEdgedValuesReadBackUnchanged) {
    qb::IniFile ini(m_path);
    ini.writeString("Options", "SavePath", "");
    EXPECT_EQ(ini.readString("Options", "SavePath", "dflt"), "");
    ini.writeString("Options", "SavePath", " /with blanks ");
    EXPECT_EQ(ini.readString("Options", "SavePath"), " /with blanks ");
}

// The message names the cause, and what could not be saved is not held either.
TEST_F(IniFileTest, UnwritableFileRaisesUnableToWriteWithItsCause) {
    put("a file, not a folder");
    const std::pair<std::string, std::string> cases[] = {
        {m_dir / "missing-folder/config.ini", "No such file or directory"},
        {m_path + "/config.ini", "Not a directory"},
    };
    for (const auto& [path, cause] : cases) {
        qb::IniFile ini(path);
        try {
            ini.writeString("Options", "SavePath", "/x");
            ADD_FAILURE() << "expected an error for " << path;
        } catch (const qb::Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.path() + ". " + cause);
        }
        EXPECT_FALSE(ini.hasChanges());
        EXPECT_EQ(ini.readString("Options", "SavePath", "dflt"), "dflt");
    }
}

// What is not a settings file is neither read without end nor replaced: a device, a FIFO
// (which nobody would ever write to) and a file over 1 MiB give the defaults, and saving says
// why and leaves them as they are.
TEST_F(IniFileTest, WhatIsNoSettingsFileIsRefused) {
    const std::string fifo = m_dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    put("[Options]\nSavePath=" + std::string(1 << 20, 'x') + "\n");
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/full", "Cannot open file \"/dev/full\". Not a regular file"},
        {fifo, "Cannot open file \"" + fifo + "\". Not a regular file"},
        {m_path, "File too large \"" + m_path +
                     "\". It holds more than 1 MiB, the most read from one file."},
    };
    for (const auto& [path, message] : cases) {
        qb::IniFile ini(path);
        EXPECT_EQ(ini.readString("Options", "SavePath", "dflt"), "dflt") << path;
        EXPECT_EQ(ini.readProblem(), message);
        try {
            ini.writeString("Options", "SavePath", "/x");
            ADD_FAILURE() << "expected an error for " << path;
        } catch (const qb::Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    EXPECT_EQ(std::filesystem::file_size(m_path), (1u << 20) + 20);
}

// The file is read once; saving reads it again and changes only the keys this IniFile set, so
// two windows that each change their own keys keep each other's.
TEST_F(IniFileTest, SavingMergesOnlyTheKeysSetIntoTheFileAsItIsNow) {
    put("[Options]\nA=1\nB=1\n");
    qb::IniFile first(m_path);
    qb::IniFile second(m_path);
    put("[Options]\nA=0\nB=0\n");
    EXPECT_EQ(first.readString("Options", "A"), "1");  // not read again
    put("[Options]\nA=1\nB=1\n");
    first.setString("Options", "A", "first");
    EXPECT_EQ(contents(), "[Options]\nA=1\nB=1\n");  // nothing written before save
    second.setString("options", "b", "second");
    second.setString("New", "C", "3");
    first.save();
    second.save();
    EXPECT_EQ(contents(), "[Options]\nA=first\nb=second\n\n[New]\nC=3\n");
    EXPECT_FALSE(second.hasChanges());
    EXPECT_EQ(second.readString("Options", "A"), "first");  // what is on disk after saving
}

// Values are bytes: text that is not UTF-8 and paths longer than any cut once made come back
// as they went in.
TEST_F(IniFileTest, ValuesRoundTripByteForByte) {
    const std::string values[] = {
        "/home/ann/B\xfc"
        "cher/\xb9\xfe",
        "/" + std::string(4000, 'x')};
    for (const std::string& value : values) {
        qb::IniFile(m_path).writeString("Options", "SavePath", value);
        EXPECT_EQ(qb::IniFile(m_path).readString("Options", "SavePath"), value);
    }
}

// A settings file kept elsewhere and linked to stays a link: the file it names is replaced,
// and one that does not exist yet is made.
TEST_F(IniFileTest, SavingWritesThroughASymbolicLink) {
    std::filesystem::create_directory(m_dir / "real");
    for (const bool targetExists : {true, false}) {
        const std::string target = m_dir / "real/config.ini";
        std::filesystem::remove(target);
        std::filesystem::remove(m_path);
        if (targetExists) qb::test::writeFile(target, "; kept\n");
        std::filesystem::create_symlink("real/config.ini", m_path);
        qb::IniFile(m_path).writeString("Options", "SavePath", "/b");
        EXPECT_TRUE(std::filesystem::is_symlink(m_path));
        EXPECT_EQ(qb::test::readFile(target),
                  std::string(targetExists ? "; kept\n\n" : "") + "[Options]\nSavePath=/b\n");
        EXPECT_EQ(qb::test::folderNames(m_dir / "real"), std::vector<std::string>{"config.ini"});
    }
}

}  // namespace
