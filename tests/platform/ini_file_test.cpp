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

TEST_F(IniFileTest, UnwritableFileRaisesUnableToWrite) {
    qb::IniFile ini(m_dir / "missing-folder/config.ini");
    try {
        ini.writeString("Options", "SavePath", "/x");
        FAIL() << "expected an error";
    } catch (const qb::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.path());
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
        try {
            ini.writeString("Options", "SavePath", "/x");
            ADD_FAILURE() << "expected an error for " << path;
        } catch (const qb::Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    EXPECT_EQ(std::filesystem::file_size(m_path), (1u << 20) + 20);
}

}  // namespace
