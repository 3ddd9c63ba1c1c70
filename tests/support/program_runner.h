#pragma once
// Starts programs for the tests the way a shell script would: arguments, a few environment
// variables, standard input from a file, and both outputs captured.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace qb::test {

struct ProgramOptions {
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of ours
    std::string standardInput = "/dev/null";
    std::string standardError;  // a file (a terminal, say) for stderr; empty: captured
    int standardOutputFd = -1;  // an open descriptor (a pipe, say) for stdout; -1: captured
    long fileSizeLimit = -1;    // RLIMIT_FSIZE in bytes for the program; -1 leaves it alone
};

struct ProgramResult {
    int exitStatus = -1;  // when it exited
    int signal = 0;       // the signal that ended it, else 0
    std::string out;
    std::string err;
};

// A program running in the background.
class StartedProgram {
  public:
    StartedProgram(const std::vector<std::string>& argv, const ProgramOptions& options);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    pid_t pid() const { return m_pid; }
    // Waits for the end and collects the outputs.
    ProgramResult wait();

  private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// The state letter and the parent of a process, from /proc/<pid>/stat; false when it is gone.
bool processState(pid_t pid, char& state, pid_t& parent);
// The processes whose parent is pid, from /proc.
std::vector<pid_t> childrenOf(pid_t pid);
// Waits up to the given time for the process to end (gone, or a zombie nobody reaps); true when
// it did.
bool waitUntilGone(pid_t pid, int milliseconds);

ProgramResult runProgram(const std::vector<std::string>& argv, const ProgramOptions& options = {});

// Converts UTF-8 text to the named charset with iconv; fails the test when it cannot.
std::string encodeText(const std::string& utf8, const std::string& charset);

}  // namespace qb::test
