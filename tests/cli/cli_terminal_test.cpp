// quirebind-cli on a terminal: the overwrite question is asked and answered there, and the
// progress lines appear there and only there.

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "tests/cli/cli_fixture.h"

namespace qb::test {
namespace {

class Terminal {
  public:
    Terminal() {
        termios settings{};
        cfmakeraw(&settings);
        settings.c_lflag |= ICANON;  // line by line, as a shell would leave it
        EXPECT_EQ(openpty(&m_master, &m_slave, m_name, &settings, nullptr), 0);
        fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    ~Terminal() {
        close(m_master);
        close(m_slave);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    std::string name() const { return m_name; }
    void type(const std::string& text) {
        EXPECT_EQ(write(m_master, text.data(), text.size()), ssize_t(text.size()));
    }
    // Everything written to the terminal so far.
    std::string screen() {
        std::string text;
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(m_master, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
        return text;
    }

  private:
    int m_master = -1;
    int m_slave = -1;
    char m_name[256] = {};
};

TEST_F(CliTest, OverwriteQuestionIsAnsweredOnTheTerminal) {
    const std::string text = file("a.txt", "x\n");
    const std::vector<std::string> args{"-t", "Book", "-a", "A", "-o", path("out"), text};
    ASSERT_EQ(cli(args).exitStatus, 0);
    const std::string archive = path("out/Book.epub");
    const std::string before = readFile(archive);

    for (const std::string answer : {"n\n", "\n", "yes please\n"}) {
        Terminal terminal;
        terminal.type(answer);
        ProgramOptions options = cliOptions();
        options.standardInput = terminal.name();
        const ProgramResult r = cli(args, options);
        EXPECT_EQ(r.exitStatus, 1) << "answer " << answer;
        EXPECT_NE(r.err.find(archive + ": The file is existing. Overwrite? [y/N] "),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(readFile(archive), before);
    }

    Terminal terminal;
    terminal.type(" Y \n");
    ProgramOptions options = cliOptions();
    options.standardInput = terminal.name();
    const ProgramResult r = cli(args, options);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, archive + "\n");
    EXPECT_NE(readFile(archive), before);
}

TEST_F(CliTest, ProgressIsShownOnATerminalUnlessQuiet) {
    const std::string one = file("a.txt", "x\n");
    const std::string two = file("b.txt", "y\n");
    for (const bool quiet : {false, true}) {
        Terminal terminal;
        ProgramOptions options = cliOptions();
        options.standardError = terminal.name();
        std::vector<std::string> args{"-t", "Book", "-a", "A", "-o", path("out"), "-y", one, two};
        if (quiet) args.insert(args.begin(), "-q");
        const ProgramResult r = cli(args, options);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, path("out/Book.epub") + "\n");
        const std::string screen = terminal.screen();
        if (quiet) {
            EXPECT_EQ(screen, "");
        } else {
            EXPECT_NE(screen.find("quirebind-cli: file 1 of 2"), std::string::npos) << screen;
            EXPECT_NE(screen.find("quirebind-cli: file 2 of 2"), std::string::npos) << screen;
            EXPECT_NE(screen.find("quirebind-cli: packing"), std::string::npos) << screen;
            // The last progress line is wiped, so the shell prompt starts on a clean line.
            EXPECT_EQ(screen.substr(screen.size() - 4), "\r\033[K") << screen;
        }
    }
}

TEST_F(CliTest, TheTerminalSaysWhereTheTitleCameFromAndHowParagraphsWereRead) {
    m_plain = false;
    const std::string text = file("notes.txt",
                                  "Title: A Tale\n*** START OF THE PROJECT GUTENBERG "
                                  "EBOOK X ***\nOne line.\nAnother line.\n");
    Terminal terminal;
    ProgramOptions options = cliOptions();
    options.standardError = terminal.name();
    const ProgramResult r = cli({"-o", path("out"), text}, options);
    EXPECT_EQ(r.exitStatus, 0);
    const std::string screen = terminal.screen();
    for (const char* line : {"quirebind-cli: Title: A Tale (from the text)\n",
                             "quirebind-cli: Author: Unknown (named nowhere)\n",
                             "quirebind-cli: file 1: paragraphs: lines (one paragraph a line)"})
        EXPECT_NE(screen.find(line), std::string::npos) << screen;
}

TEST_F(CliTest, TheCharsetOfEachFileStaysOnTheTerminal) {
    // "中文测试，这是一个用于检测字符集的文件。" in GBK, twice: enough to be detected.
    const std::string gbk =
        "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xA3\xAC\xD5\xE2\xCA\xC7\xD2\xBB\xB8\xF6\xD3\xC3"
        "\xD3\xDA\xBC\xEC\xB2\xE2\xD7\xD6\xB7\xFB\xBC\xAF\xB5\xC4\xCE\xC4\xBC\xFE\xA1\xA3";
    const std::string one = file("a.txt", "plain\n");
    const std::string two = file("b.txt", gbk + "\n" + gbk + "\n");
    const std::string three = file("c.txt", "caf\xE9\n");
    Terminal terminal;
    ProgramOptions options = cliOptions();
    options.standardError = terminal.name();
    const ProgramResult r = cli({"-t", "Book", "-a", "A", "-o", path("out"), "-y", one, two,
                                 "--encoding", "ISO-8859-1", three},
                                options);
    EXPECT_EQ(r.exitStatus, 0);
    const std::string screen = terminal.screen();
    // Named with --encoding, every file is read in that charset, and nothing is guessed.
    for (const std::string& line : {"quirebind-cli: page1.html  " + one + "  ISO-8859-1\n",
                                    "quirebind-cli: page2.html  " + two + "  ISO-8859-1\n",
                                    "quirebind-cli: page3.html  " + three + "  ISO-8859-1\n"}) {
        EXPECT_NE(screen.find(line), std::string::npos) << screen;
    }

    Terminal again;
    options.standardError = again.name();
    EXPECT_EQ(cli({"-t", "Book", "-a", "A", "-o", path("out"), "-y", one, two}, options).exitStatus,
              0);
    const std::string guessed = again.screen();
    EXPECT_NE(guessed.find("quirebind-cli: page1.html  " + one + "  UTF-8\n"), std::string::npos)
        << guessed;
    EXPECT_NE(guessed.find("quirebind-cli: page2.html  " + two + "  GB18030 (detected)\n"),
              std::string::npos)
        << guessed;
}

TEST_F(CliTest, ControlCharactersInNamesAreShownEscapedOnTheTerminal) {
    // A title-setting sequence and a screen clear in a file's name; and a name that cannot be
    // read, for the error line.
    const std::string named = file("a\033]2;owned\a\033[2J\xC2\x9B.txt", "x\n");
    const std::string missing = path("gone\033[2J.txt");
    Terminal terminal;
    ProgramOptions options = cliOptions();
    options.standardError = terminal.name();
    const ProgramResult r =
        cli({"-t", "Book", "-a", "A", "-o", path("out"), "-y", named, missing}, options);
    EXPECT_EQ(r.exitStatus, 1);
    const std::string screen = terminal.screen();
    EXPECT_NE(screen.find("a\\x1b]2;owned\\x07\\x1b[2J\\x9b.txt"), std::string::npos) << screen;
    EXPECT_NE(screen.find("gone\\x1b[2J.txt"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("\033]"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("\033[2J"), std::string::npos) << screen;
}

// What the embedded font costs the book is worth a lasting line, like the charsets.
TEST_F(CliTest, TheEmbeddedFontsSizeStaysOnTheTerminal) {
    const std::string font = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc";
    const std::string text = file("a.txt", "\xE4\xB8\xAD\xE6\x96\x87 text\n");
    Terminal terminal;
    ProgramOptions options = cliOptions();
    options.standardError = terminal.name();
    EXPECT_EQ(
        cli({"-t", "Book", "-a", "A", "-o", path("out"), "--font", font + "#2", text}, options)
            .exitStatus,
        0);
    const std::string screen = terminal.screen();
    const std::string line = "quirebind-cli: font  " + font + "#2  Noto Serif CJK SC  ";
    const std::size_t at = screen.find(line);
    ASSERT_NE(at, std::string::npos) << screen;
    // A few glyphs of a 25 MiB collection: some thousand bytes.
    const std::string size = screen.substr(at + line.size());
    const std::size_t digits = size.find_first_not_of("0123456789");
    EXPECT_TRUE(digits >= 3 && digits <= 4) << screen;
    EXPECT_EQ(size.substr(digits, 17), " bytes of 25 MiB\n") << screen;
}

}  // namespace
}  // namespace qb::test
