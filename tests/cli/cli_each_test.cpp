// quirebind-cli --each and folders as inputs: one book per text, what each line says, what the
// summary counts, and that no failure, however it comes, stops the other books or leaves a
// partial one behind.

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/zip_reader.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

class CliEachTest : public CliTest {
  protected:
    // The lines of a run's report, times taken out ("ok   X.epub") and sorted: the books end in
    // whatever order their workers finish them.
    static std::vector<std::string> reportLines(const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(std::regex_replace(line, std::regex("  [0-9]+\\.[0-9]{2} s$"), ""));
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    // The names in the output folder; fails when anything there (but the user's own file
    // `kept`) is not a whole book.
    std::vector<std::string> wholeBooks(const std::string& folder, const std::string& kept = "") {
        std::vector<std::string> names = folderNames(folder);
        for (const std::string& name : names) {
            if (name == kept) continue;
            EXPECT_TRUE(name.size() > 5 && name.substr(name.size() - 5) == ".epub") << name;
            EXPECT_NO_THROW(readZip(readFile(folder + "/" + name))) << name;
        }
        return names;
    }
};

// Everything a folder of downloads may hold, in one run: the books that can be made are, and
// each of the others has its line.
TEST_F(CliEachTest, EveryTextIsABookAndEveryFailureHasItsLine) {
    file("lib/Moby Dick.txt", "Call me Ishmael.\n");
    file("lib/Emma.txt", "Emma Woodhouse, handsome, clever, and rich.\n");
    file("lib/emma.txt", "The same book, named alike but for case.\n");
    file("lib/Persuasion.txt", "Sir Walter Elliot.\n");
    file("lib/binary.txt", std::string("\x7f"
                                       "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                                       16) +
                               std::string(4096, '\0'));
    file("lib/sub/Inner.txt", "a subfolder is not searched\n");
    file("lib/notes.md", "not a .txt\n");
    fs::create_symlink("loop.txt", path("lib/loop.txt"));
    const std::string kept = file("out/Persuasion.epub", "the book the user had");
    const std::string lone = file("Walden.txt", "I went to the woods.\n");

    const ProgramResult r = cli({"--each", "-q", "-o", path("out"), path("lib"), lone});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    const std::string lib = path("lib");
    const std::vector<std::string> want = {
        "1 book numbered, as another text had its name",
        "4 books made, 3 failed",
        "FAIL " + lib + "/Persuasion.txt: Persuasion.epub exists; use -y to replace it",
        "FAIL " + lib + "/binary.txt: Not a text file \"" + lib + "/binary.txt\".",
        "FAIL " + lib + "/loop.txt: Cannot open file \"" + lib +
            "/loop.txt\". Too many levels of symbolic links.",
        "ok   Emma.epub",
        "ok   Moby Dick.epub",
        "ok   Walden.epub",
        "ok   emma (2).epub",
    };
    std::vector<std::string> got = reportLines(r.out);
    // The summary is one line; its two halves are checked apart from the sort.
    const auto summary = std::find_if(got.begin(), got.end(), [](const std::string& line) {
        return line.rfind("4 books made", 0) == 0;
    });
    ASSERT_NE(summary, got.end()) << r.out;
    const std::size_t semicolon = summary->find("; ");
    ASSERT_NE(semicolon, std::string::npos) << *summary;
    const std::string numbered = summary->substr(semicolon + 2);
    summary->resize(semicolon);
    got.push_back(numbered);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
              "4 books made, 3 failed; 1 book numbered, as another text had its name\n")
        << "the summary comes last";
    EXPECT_EQ(readFile(kept), "the book the user had");
    EXPECT_EQ(wholeBooks(path("out"), "Persuasion.epub"),
              (std::vector<std::string>{"Emma.epub", "Moby Dick.epub", "Persuasion.epub",
                                        "Walden.epub", "emma (2).epub"}));
    expectValidBook(path("out/emma (2).epub"));
    EXPECT_EQ(archiveMember(path("out/emma (2).epub"), "OEBPS/page1.html").find("alike") !=
                  std::string::npos,
              true)
        << "the numbered book holds the second text";

    // With -y the existing book is replaced; every book made means exit status 0.
    fs::remove(path("lib/binary.txt"));
    fs::remove(path("lib/loop.txt"));
    const ProgramResult again = cli({"--each", "-y", "-o", path("out"), path("lib")});
    EXPECT_EQ(again.exitStatus, 0) << again.out << again.err;
    EXPECT_EQ(reportLines(again.out).front(),
              "4 books made, 0 failed; 1 book numbered, as another text had its name");
    EXPECT_NE(readFile(kept), "the book the user had");
}

// A folder as input without --each: its texts, in natural order, are the pages of one book;
// --files-from may name folders too.
TEST_F(CliEachTest, AFolderIsItsTextsInNaturalOrder) {
    for (const char* name : {"10.txt", "2.txt", "1.TXT"}) file(std::string("ch/") + name, name);
    file("list", path("ch") + "\n");
    for (const std::vector<std::string>& inputs :
         {std::vector<std::string>{path("ch")}, {"--files-from", path("list")}}) {
        std::vector<std::string> args{"-t",        "Book", "-a",           "A",   "-o",
                                      path("out"), "-y",   "--toc-labels", "file"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const std::string book = makeBook(args);
        std::vector<std::string> labels;
        for (const std::string& entry : ncxEntries(book)) labels.push_back(entry.substr(0, 3));
        EXPECT_EQ(labels, (std::vector<std::string>{"1>p", "2>p", "10>"}));
    }
    fs::create_directories(path("empty/sub"));
    const ProgramResult r = cli({"-t", "B", "-a", "A", "-o", path("out"), path("empty")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "quirebind-cli: The folder \"" + path("empty") +
                         "\" holds no .txt file (folders in it are not searched).\n");
}

// Many texts at once: every one becomes a book, whatever the number of workers.
TEST_F(CliEachTest, AFolderOfManyTextsMakesAllOfThem) {
    for (int i = 1; i <= 300; ++i)
        file("many/" + std::to_string(i) + ".txt", "Text number " + std::to_string(i) + ".\n");
    const ProgramResult r =
        cli({"--each", "--jobs", "3", "--no-cover", "-o", path("out"), path("many")});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const std::vector<std::string> lines = reportLines(r.out);
    EXPECT_EQ(lines.size(), 301u);
    EXPECT_EQ(lines.front(), "300 books made, 0 failed");
    EXPECT_EQ(wholeBooks(path("out")).size(), 300u);
    EXPECT_NE(archiveMember(path("out/300.epub"), "OEBPS/page1.html").find("Text number 300."),
              std::string::npos);
}

// A text only root could read fails alone; its neighbours are made.
TEST_F(CliEachTest, AnUnreadableTextFailsAlone) {
    file("lib/a.txt", "first\n");
    file("lib/b.txt", "second\n");
    const std::string secret = file("lib/secret.txt", "nobody may read this\n");
    fs::create_directory(path("out"));
    fs::permissions(secret, fs::perms::none);
    std::vector<std::string> args = cliArgs({"--each", "-o", path("out"), path("lib")});
    args[0] = copyProgramInto(m_dir, args[0]);
    const std::optional<bool> right = asOrdinaryUser(m_dir, [&] {
        const ProgramResult r = runProgram(args, cliOptions());
        const std::vector<std::string> want = {
            "2 books made, 1 failed",
            "FAIL " + secret + ": Cannot open file \"" + secret + "\". Permission denied.",
            "ok   a.epub", "ok   b.epub"};
        const bool ok = r.exitStatus == 1 && reportLines(r.out) == want &&
                        folderNames(path("out")) == std::vector<std::string>{"a.epub", "b.epub"};
        if (!ok) std::cerr << "exit status " << r.exitStatus << "\n" << r.out << r.err;
        return ok;
    });
    if (!right) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*right);
    EXPECT_TRUE(leftWorkFolders().empty());
}

// Ctrl-C or kill at any moment: the process ends by the signal, every work folder goes, and the
// output folder holds only whole books.
TEST_F(CliEachTest, InterruptedLibraryLeavesOnlyWholeBooks) {
    std::string noise;
    unsigned seed = 99;
    for (int i = 0; i < (3 << 20); ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += (i % 70 == 69) ? '\n' : char('a' + (seed >> 16) % 26);
    }
    for (int k = 0; k < 12; ++k) file("big/" + std::to_string(k) + ".txt", noise);
    for (const int sig : {SIGINT, SIGTERM}) {
        for (const int delay : {150, 700, 1500}) {
            const std::string out = path("out" + std::to_string(sig) + "-" + std::to_string(delay));
            StartedProgram program(
                cliArgs({"--each", "--jobs", "2", "--no-cover", "-o", out, path("big")}),
                cliOptions());
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            kill(program.pid(), sig);
            const ProgramResult r = program.wait();
            if (r.exitStatus == 0) continue;  // done before the signal came
            EXPECT_EQ(r.signal, sig) << "exit " << r.exitStatus << ": " << r.err;
            EXPECT_TRUE(leftWorkFolders().empty());
            if (fs::exists(out)) wholeBooks(out);
        }
    }
}

TEST_F(CliEachTest, WhatNamesOneBookIsNoOptionOfALibrary) {
    const std::string text = file("a.txt", "x\n");
    for (const char* option : {"--title", "--isbn", "--title-sort"}) {
        const ProgramResult r = cli({"--each", option, "X", text});
        EXPECT_EQ(r.exitStatus, 2) << option;
        EXPECT_EQ(r.err, "quirebind-cli: " + std::string(option) +
                             " names one book; with --each every book takes its own from its "
                             "text or file name\n");
    }
    // A picture from a pipe would reach the first book only.
    const ProgramResult r = cli({"--each", "-c", "/dev/stdin", text});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err,
              "quirebind-cli: --cover: \"/dev/stdin\" can be read once only, and --each "
              "reads it for every book; save it to a file first\n");
}

}  // namespace
}  // namespace qb::test
