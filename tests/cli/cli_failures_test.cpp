// quirebind-cli when the book cannot or must not be made: what it says, its exit status, and
// what it leaves on disk.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "tests/cli/cli_fixture.h"
#include "tests/support/ordinary_user.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

// The process, program or one of its children, that has a file open in folder: the one
// writing the archive, whose file has no name to look for. 0 when there is none.
pid_t processWritingInto(pid_t program, const std::string& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc", ignored)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        char state = 0;
        pid_t parent = 0;
        if (pid != program && (!processState(pid, state, parent) || parent != program)) continue;
        for (const auto& fd : fs::directory_iterator(entry.path() / "fd", ignored)) {
            const std::string target = fs::read_symlink(fd.path(), ignored).string();
            if (target.rfind(folder + "/", 0) == 0) return pid;
        }
    }
    return 0;
}

// Waits until program, or its child, writes into folder; 0 when it never did.
pid_t waitForPacking(pid_t program, const std::string& folder) {
    for (int i = 0; i < 20000; ++i) {
        if (const pid_t pid = processWritingInto(program, folder)) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

class CliFailureTest : public CliTest {
  protected:
    std::vector<std::string> entries(const std::string& out) {
        return {"-t", "Book", "-a", "A. Writer", "-o", out};
    }
    std::vector<std::string> with(std::vector<std::string> args,
                                  const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // Eight texts of 4 MiB of random letters: packing them takes long enough to be caught.
    std::vector<std::string> bigTexts(unsigned seed) {
        std::string noise;
        for (int i = 0; i < (4 << 20); ++i) {
            seed = seed * 1103515245u + 12345u;
            noise += (i % 70 == 69) ? '\n' : char('a' + (seed >> 16) % 26);
        }
        std::vector<std::string> texts;
        for (int k = 0; k < 8; ++k)
            texts.push_back(file("big" + std::to_string(k) + ".txt", noise));
        return texts;
    }
};

TEST_F(CliFailureTest, WrongUsageExitsWithTwoAndMakesNothing) {
    const std::string text = file("a.txt", "x\n");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},                                          // no FILE
             {"-t", "T", "-a", "A", "-o", path("out")},   // still no FILE
             {"--frobnicate", text},                      // unknown option
             {"-t"},                                      // option without its value
             {"--encoding", "NO-SUCH-CHARSET-42", text},  // unknown charset
             {"--jobs", "0", text},                       // no threads at all
             {"--jobs", "many", text}}) {                 // not a number
        const ProgramResult r = cli(args);
        EXPECT_EQ(r.exitStatus, 2) << r.err;
        EXPECT_EQ(r.err.rfind("quirebind-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(path("out")));

    ProgramResult r = cli({"--help"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("--encoding"), std::string::npos) << r.out;
    r = cli({"--version"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("quirebind-cli ", 0), 0u) << r.out;
}

TEST_F(CliFailureTest, MistakesInWhatWasTypedAreNamed) {
    const std::string text = file("a.txt", "x\n");
    const std::string dashed = file("-notes.txt", "x\n");
    fs::create_directories(path("out/T.epub"));
    fs::create_symlink(path("nowhere"), path("dangling"));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string help = "Run with --help for more information.\n";
    const Case cases[] = {
        // Without the check the next word, the file, would be the value.
        {{"--max-page-kb=", text}, 2, "--max-page-kb: no value after \"=\"\n"},
        {{"-t", "T", "-a", "A", "-o", path("out"), "-notes.txt"},
         2,
         "\"-notes.txt\" is no option; a file whose name begins with \"-\" is given as "
         "./-notes.txt or after --\n" +
             help},
        {{"-t", "T", "-a", "A", "-o", path("dangling"), text},
         1,
         "-o: \"" + path("dangling") + "\" is a symbolic link to \"" + path("nowhere") +
             "\", which does not exist\n"},
        {{"-t", "T", "-a", "A", "-o", path("out"), "-y", text},
         1,
         "\"" + path("out/T.epub") +
             "\" is a folder, which no book can replace; rename it, or choose another title or "
             "output folder\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = cli(c.args);
        EXPECT_EQ(r.exitStatus, c.status) << r.err;
        EXPECT_EQ(r.err, "quirebind-cli: " + c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(fs::exists(path("nowhere")));

    // The template beside the program: a book saved there would travel into every later one.
    const std::string templateFolder = fs::path(QB_CLI_PATH).parent_path() / "epubfiles";
    const ProgramResult inside =
        cli({"-t", "T", "-a", "A", "-o", templateFolder + "/META-INF", text});
    EXPECT_EQ(inside.exitStatus, 1);
    EXPECT_EQ(inside.err, "quirebind-cli: -o: \"" + templateFolder +
                              "/META-INF\" lies inside the book template \"" + templateFolder +
                              "\"; please choose another folder\n");
    EXPECT_FALSE(fs::exists(templateFolder + "/META-INF/T.epub"));
    // Named as the message says, the file is read.
    EXPECT_EQ(cli({"-t", "T", "-a", "A", "-o", path("out2"), "--", "-notes.txt"}).exitStatus, 1);
    const ProgramResult r = cli({"-q", "-t", "T", "-a", "A", "-o", path("out2"), "--", dashed});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
}

TEST_F(CliFailureTest, MissingEntriesAreNotedOneAtATime) {
    const std::string text = file("a.txt", "x\n");
    struct Case {
        std::vector<std::string> args;
        std::string note;
    };
    const Case cases[] = {
        {{"-o", "", text}, "Please set the saving path!"},
        {{"-o", "", "-t", "T", "-a", "A", text}, "Please set the saving path!"},
        {{"-o", path("out"), "-t", " ", "-a", "A", text}, "Please set the book title!"},
        {{"-o", path("out"), "-t", "T", "-a", "", text}, "Please set the author name!"},
    };
    for (const Case& c : cases) {
        const ProgramResult r = cli(c.args);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err, "quirebind-cli: " + c.note + "\n");
        EXPECT_EQ(r.out, "");
    }
    // Entries are checked before the output folder is made.
    EXPECT_FALSE(fs::exists(path("out")));
}

TEST_F(CliFailureTest, MissingOrUnreadableInputsEndTheRunWithTheirMessage) {
    const std::string good = file("a.txt", "x\n");
    const std::string missing = path("nowhere.txt");
    ProgramResult r = cli(with(entries(path("out")), {good, missing}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err,
              "quirebind-cli: Cannot open file \"" + missing + "\". No such file or directory.\n");
    EXPECT_EQ(r.out, "");
    // The output folder is made before the pages are written; no book went into it.
    EXPECT_TRUE(fs::is_empty(path("out")));

    // A folder given as a text file must not turn into an empty page.
    fs::create_directory(path("folder.txt"));
    r = cli(with(entries(path("out")), {path("folder.txt")}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find(path("folder.txt")), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(path("out")));

    // A cover that is not there ends the run once the entries are checked.
    const std::string cover = path("missing.jpg");
    r = cli({"-o", "", "-c", cover, good});
    EXPECT_EQ(r.err, "quirebind-cli: Please set the saving path!\n");
    r = cli(with(entries(path("out")), {"-c", cover, good}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err,
              "quirebind-cli: Cannot open file \"" + cover + "\". No such file or directory.\n");
}

TEST_F(CliFailureTest, InputsThatAreNoTextOrHaveNoEndAreRefusedWithTheirPath) {
    const std::string program = file("notes.txt", std::string("\x7F"
                                                              "ELF\x02\x01\x01\0",
                                                              8) +
                                                      std::string(200, '\0'));
    ProgramResult r = cli(with(entries(path("out")), {program}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "quirebind-cli: Not a text file \"" + program + "\".\n");
    EXPECT_TRUE(fs::is_empty(path("out"))) << "the output folder is made first, but holds no book";

#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer cannot run under a limit on the address space";
#endif
    // Under a memory limit far below what /dev/zero would take: a message, not a crash.
    std::vector<std::string> limited = {"/bin/sh", "-c", "ulimit -v 393216 && exec \"$@\"", "sh"};
    for (const std::string& arg : cliArgs(with(entries(path("out")), {"/dev/zero"})))
        limited.push_back(arg);
    r = runProgram(limited, cliOptions());
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "quirebind-cli: Cannot open file \"/dev/zero\". Cannot allocate memory.\n");
    EXPECT_TRUE(fs::is_empty(path("out")));
}

TEST_F(CliFailureTest, ExistingArchiveIsKeptUnlessReplacingIsAllowed) {
    const std::string text = file("a.txt", "first\n");
    ProgramResult r = cli(with(entries(path("out")), {text}));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::string archive = path("out/Book.epub");
    const std::string before = readFile(archive);

    // Standard input is /dev/null here: nobody can answer, so nothing is replaced.
    file("a.txt", "second\n");
    r = cli(with(entries(path("out")), {text}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("The file is existing. Overwrite?"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-y"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(archive), before);

    r = cli(with(entries(path("out")), {"-y", text}));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, archive + "\n");
    EXPECT_NE(archiveMember(archive, "OEBPS/page1.html").find("second"), std::string::npos);
    EXPECT_EQ(folderNames(path("out")), std::vector<std::string>{"Book.epub"});
}

TEST_F(CliFailureTest, OutputThatCannotBeWrittenFailsAndKeepsTheOldArchive) {
    const std::string text = file("a.txt", "x\n");

    // An output "folder" below a regular file can never be made.
    file("plain-file", "not a folder");
    ProgramResult r = cli(with(entries(path("plain-file/books")), {text}));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.rfind("quirebind-cli: Cannot create folder \"" + path("plain-file/books") +
                              "\". Not a directory",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.out, "");

    // A write that fails half-way through the archive (here: past the file size limit, which
    // holds for root too) must leave the old archive as it was and no partial file beside it.
    std::string noise;
    unsigned seed = 12345;
    for (int i = 0; i < 6000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += (i % 70 == 69) ? '\n' : char('a' + (seed >> 16) % 26);
    }
    std::vector<std::string> pages;
    for (int k = 0; k < 12; ++k) pages.push_back(file("noise" + std::to_string(k) + ".txt", noise));
    const std::string old = file("out/Book.epub", "the old book");
    ProgramOptions limited = cliOptions();
    limited.fileSizeLimit = 32 * 1024;
    r = cli(with(entries(path("out")), with({"-y"}, pages)), limited);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.rfind("quirebind-cli: Failed to build: " + old + "\n", 0), 0u) << r.err;
    EXPECT_EQ(readFile(old), "the old book");
    EXPECT_EQ(folderNames(path("out")), std::vector<std::string>{"Book.epub"});
}

// A folder without write permission must not lose its archive either. Permissions bind only
// an ordinary user, so as root the program runs as one.
TEST_F(CliFailureTest, AFolderWithoutWritePermissionKeepsItsArchive) {
    const std::string text = file("a.txt", "x\n");
    const std::string old = file("out/Book.epub", "the old book");
    fs::permissions(path("out"), fs::perms::owner_read | fs::perms::owner_exec);
    // The ordinary user may not reach the build (a clone below a 0700 folder): a copy of the
    // program runs instead, from the test's own folder.
    std::vector<std::string> args = cliArgs(with(entries(path("out")), {"-y", text}));
    args[0] = copyProgramInto(m_dir, args[0]);
    const std::optional<bool> kept = asOrdinaryUser(m_dir, [&] {
        const ProgramResult r = runProgram(args, cliOptions());
        const bool keptIt = r.exitStatus == 1 && r.out.empty() && readFile(old) == "the old book" &&
                            folderNames(path("out")) == std::vector<std::string>{"Book.epub"};
        if (!keptIt) std::cerr << "exit status " << r.exitStatus << "\n" << r.err;
        return keptIt;
    });
    fs::permissions(path("out"), fs::perms::owner_all);
    if (!kept) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*kept);
    EXPECT_TRUE(leftWorkFolders().empty()) << "the work folder was left behind";
}

// The work folder goes with the program even when it is stopped in the middle of a page.
TEST_F(CliFailureTest, InterruptedRunRemovesItsWorkFolder) {
    for (int sig : {SIGTERM, SIGINT}) {
        // Opening a FIFO blocks until a writer comes: the run stops there, mid-way.
        const std::string fifo = path("fifo" + std::to_string(sig));
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        StartedProgram program(cliArgs(with(entries(path("out")), {fifo})), cliOptions());

        bool started = false;
        for (int i = 0; i < 500 && !started; ++i) {
            for (const std::string& name : leftWorkFolders())
                started = started || fs::exists(m_tmp + "/" + name + "/OEBPS");
            if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(started) << "the run never reached its first page";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(program.pid(), sig);
        const ProgramResult r = program.wait();
        EXPECT_EQ(r.signal, sig) << "exit " << r.exitStatus << ": " << r.err;
        EXPECT_TRUE(leftWorkFolders().empty());
        EXPECT_TRUE(!fs::exists(path("out")) || fs::is_empty(path("out")));
    }
}

// Stopped while packing, the program removes its unfinished archive and keeps the old one.
TEST_F(CliFailureTest, InterruptedPackingKeepsTheOldArchive) {
    const std::vector<std::string> pages = bigTexts(777u);
    const std::string old = file("out/Book.epub", "the old book");

    StartedProgram program(cliArgs(with(entries(path("out")), with({"-y"}, pages))), cliOptions());
    ASSERT_NE(waitForPacking(program.pid(), path("out")), 0)
        << "never saw the archive being written";
    kill(program.pid(), SIGTERM);
    const ProgramResult r = program.wait();
    EXPECT_EQ(r.signal, SIGTERM) << "exit " << r.exitStatus << ": " << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile(old), "the old book");
    EXPECT_EQ(folderNames(path("out")), std::vector<std::string>{"Book.epub"});
    EXPECT_TRUE(leftWorkFolders().empty());
}

// With -y, another book under the same file name is replaced, and the terminal says which.
TEST_F(CliFailureTest, ReplacingAnotherBookNamesIt) {
    const std::string text = file("a.txt", "x\n");
    const std::vector<std::string> rest = {"-a", "A", "-o", path("out"), "-y", text};
    ASSERT_EQ(cli(with({"-t", "Volume 1: Start"}, rest)).exitStatus, 0);
    const ProgramResult r = cli(with({"-t", "Volume 1? Start"}, rest));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "quirebind-cli: " + path("out/Volume 1_ Start.epub") +
                         ": replaced another book, \"Volume 1: Start\"\n");
}

// A stop signal meets one decision: until the finished archive takes the book's place it
// cancels (the old book kept, the signal's exit status); once that has begun the run completes
// and reports the book (exit 0, its path), because the old book is gone by then. A preloaded
// shim raises the signal at the exact point, while the archive is made durable or named.
TEST_F(CliFailureTest, AStopSignalIsSettledWhereTheBookTakesItsPlace) {
    const std::string text = file("a.txt", "Chapter 1\nText.\n");
    const char* asan = std::getenv("ASAN_OPTIONS");
    struct Case {
        const char* at;
        int signal;
        bool published;
    };
    for (const Case c : {Case{"fsync", SIGTERM, false}, Case{"fsync", SIGINT, false},
                         Case{"name", SIGTERM, true}, Case{"name", SIGHUP, true}}) {
        SCOPED_TRACE(std::string(c.at) + " " + strsignal(c.signal));
        const std::string old = file("out/Book.epub", "the old book");
        ProgramOptions options = cliOptions();
        options.environment.push_back({"LD_PRELOAD", QB_SIGNAL_SHIM});
        options.environment.push_back({"QB_SHIM_AT", c.at});
        options.environment.push_back({"QB_SHIM_SIGNAL", std::to_string(c.signal)});
        // A sanitizer build wants its runtime first; the shim goes before it.
        options.environment.push_back(
            {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"});
        const ProgramResult r = cli(with(entries(path("out")), {"-y", text}), options);
        EXPECT_EQ(folderNames(path("out")), std::vector<std::string>{"Book.epub"});
        if (c.published) {
            EXPECT_EQ(r.signal, 0) << r.err;
            EXPECT_EQ(r.exitStatus, 0) << r.err;
            EXPECT_EQ(r.out, old + "\n");
            EXPECT_NE(readFile(old), "the old book");
        } else {
            EXPECT_EQ(r.signal, c.signal) << "exit " << r.exitStatus << ": " << r.err;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(readFile(old), "the old book");
        }
    }
}

// Killed outright while it packs, the conversion cannot clean up after itself: its unfinished
// archive must have had no name to leave behind.
TEST_F(CliFailureTest, KilledWhilePackingLeavesNothingBeside) {
    const std::vector<std::string> pages = bigTexts(4242u);
    const std::string old = file("out/Book.epub", "the old book");

    StartedProgram program(cliArgs(with(entries(path("out")), with({"-y"}, pages))), cliOptions());
    const pid_t packer = waitForPacking(program.pid(), path("out"));
    ASSERT_NE(packer, 0) << "never saw the archive being written";
    kill(packer, SIGKILL);
    const ProgramResult r = program.wait();
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_EQ(readFile(old), "the old book");
    EXPECT_EQ(folderNames(path("out")), std::vector<std::string>{"Book.epub"});
    EXPECT_TRUE(leftWorkFolders().empty());
}

TEST_F(CliFailureTest, SeveralCanRunAtOnce) {
    const std::string text = file("a.txt", "together\n");
    std::vector<std::unique_ptr<StartedProgram>> programs;
    for (int i = 0; i < 4; ++i) {
        programs.push_back(std::make_unique<StartedProgram>(
            cliArgs(with(entries(path("out" + std::to_string(i))), {"-q", text})), cliOptions()));
    }
    for (int i = 0; i < 4; ++i) {
        const ProgramResult r = programs[std::size_t(i)]->wait();
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        const std::string archive = path("out" + std::to_string(i) + "/Book.epub");
        EXPECT_EQ(r.out, archive + "\n");
        EXPECT_EQ(runProgram({"unzip", "-tq", archive}).exitStatus, 0);
    }
    EXPECT_TRUE(leftWorkFolders().empty());
}

}  // namespace
}  // namespace qb::test
