// quirebind-cli as one process among others: killed outright, quit from the keyboard, started
// while another run is under way or after one died, and writing into a pipe nobody reads.

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

class CliProcessTest : public CliTest {
  protected:
    std::vector<std::string> entries(const std::string& text) {
        return {"-t", "Book", "-a", "A. Writer", "-o", path("out"), "-q", text};
    }

    // Waits until the run has begun its first page: the work folder holds OEBPS/. Returns the
    // work folder's name.
    std::string waitForFirstPage() {
        for (int i = 0; i < 500; ++i) {
            for (const std::string& name : leftWorkFolders()) {
                if (fs::exists(m_tmp + "/" + name + "/OEBPS")) return name;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ADD_FAILURE() << "the run never reached its first page";
        return {};
    }

    // A fifo as a text file: the run stops there until someone writes.
    std::string fifo(const std::string& name) {
        const std::string p = path(name);
        EXPECT_EQ(mkfifo(p.c_str(), 0600), 0);
        return p;
    }
};

// Nobody reads the fifo any more once the conversion is gone; a writer then gets ENXIO.
bool fifoHasAReader(const std::string& fifo) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return errno != ENXIO;
    close(fd);
    return true;
}

TEST_F(CliProcessTest, KilledProgramTakesItsConversionAlongAndTheNextRunClearsUp) {
    const std::string text = fifo("text");
    StartedProgram program(cliArgs(entries(text)), cliOptions());
    const std::string work = waitForFirstPage();
    const std::vector<pid_t> children = childrenOf(program.pid());
    ASSERT_EQ(children.size(), 1u);

    kill(program.pid(), SIGKILL);
    EXPECT_EQ(program.wait().signal, SIGKILL);
    const bool gone = waitUntilGone(children[0], 5000);
    EXPECT_TRUE(gone) << "the conversion outlived the program";
    if (!gone) {
        // Let it finish, to show what an orphan does: it makes the book nobody waits for.
        writeFile(text, "late\n");
        waitUntilGone(children[0], 10000);
        EXPECT_FALSE(fs::exists(path("out/Book.epub"))) << "a book appeared after the end";
        kill(children[0], SIGKILL);
    }
    EXPECT_FALSE(fifoHasAReader(text));
    EXPECT_FALSE(fs::exists(path("out/Book.epub")));

    // The dead run could not remove its work folder; the next run does.
    EXPECT_EQ(leftWorkFolders(), std::vector<std::string>{work});
    const ProgramResult r = cli(entries(file("a.txt", "x\n")));
    EXPECT_EQ(r.exitStatus, 0) << r.err;
}

// SIGQUIT (Ctrl-\) ends the run as SIGTERM does: conversion stopped, work folder removed.
TEST_F(CliProcessTest, QuitEndsTheRunLikeTerminate) {
    const std::string text = fifo("text");
    StartedProgram program(cliArgs(entries(text)), cliOptions());
    waitForFirstPage();
    const std::vector<pid_t> children = childrenOf(program.pid());
    ASSERT_EQ(children.size(), 1u);
    kill(program.pid(), SIGQUIT);
    const ProgramResult r = program.wait();
    EXPECT_EQ(r.signal, SIGQUIT) << "exit " << r.exitStatus << ": " << r.err;
    EXPECT_TRUE(waitUntilGone(children[0], 5000));
    if (!waitUntilGone(children[0], 0)) kill(children[0], SIGKILL);
    EXPECT_TRUE(leftWorkFolders().empty());
    EXPECT_TRUE(fs::is_empty(path("out")));
}

// A run at start removes the folders of dead runs, and only those: a live run's folder stays.
// (Which folders count as dead is the work folder's own test.)
TEST_F(CliProcessTest, OnlyFoldersOfDeadRunsAreRemoved) {
    // A live run, stopped at its first page, holding its lock.
    const std::string text = fifo("text");
    StartedProgram live(cliArgs({"-t", "Live", "-a", "A", "-o", path("live"), "-q", text}),
                        cliOptions());
    const std::string liveWork = waitForFirstPage();

    const std::string dead = m_tmp + "/quirebind-work-Dead01";
    fs::create_directories(dead + "/OEBPS/sub");
    writeFile(dead + "/OEBPS/sub/page1.html", "left by a dead run");
    writeFile(dead + "/.quirebind.lock", "");

    const ProgramResult r = runProgram(cliArgs(entries(file("a.txt", "x\n"))), cliOptions());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(m_tmp + "/" + liveWork + "/OEBPS"));

    // The live run goes on to make its book.
    writeFile(text, "alive\n");
    const ProgramResult l = live.wait();
    EXPECT_EQ(l.exitStatus, 0) << l.err;
    EXPECT_TRUE(fs::exists(path("live/Live.epub")));
    EXPECT_FALSE(fs::exists(m_tmp + "/" + liveWork));
}

// `quirebind-cli ... | true`: the reader is gone before the path is written; the book is made
// all the same and the exit status says so.
TEST_F(CliProcessTest, PathIntoAPipeNobodyReadsStillMeansBuilt) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    ProgramOptions options = cliOptions();
    options.standardOutputFd = pipeEnds[1];
    const ProgramResult r = cli(entries(file("a.txt", "x\n")), options);
    close(pipeEnds[1]);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(runProgram({"unzip", "-tq", path("out/Book.epub")}).exitStatus, 0);
}

}  // namespace
}  // namespace qb::test
