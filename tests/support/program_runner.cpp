#include "tests/support/program_runner.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "tests/support/files.h"

namespace qb::test {

namespace {

// A file without a name in the temporary folder ($TMPDIR, else /tmp) for one output.
int anonymousFile() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::string name = (ec ? "/tmp" : base.string()) + "/qb-output-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("mkstemp " + name + ": " + std::strerror(errno));
    unlink(name.c_str());
    return fd;
}

std::string readAll(int fd) {
    std::string text;
    lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, std::size_t(got));
    return text;
}

}  // namespace

StartedProgram::StartedProgram(const std::vector<std::string>& argv,
                               const ProgramOptions& options) {
    m_out = anonymousFile();
    m_err = anonymousFile();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    m_pid = fork();
    if (m_pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (m_pid == 0) {
        const int in = open(options.standardInput.c_str(), O_RDONLY);
        const int err = options.standardError.empty()
                            ? m_err
                            : open(options.standardError.c_str(), O_WRONLY | O_NOCTTY);
        const int out = options.standardOutputFd >= 0 ? options.standardOutputFd : m_out;
        if (in < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        for (const auto& [name, value] : options.environment)
            setenv(name.c_str(), value.c_str(), 1);
        if (options.fileSizeLimit >= 0) {
            // A write past the limit then fails with EFBIG instead of killing the program.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
}

StartedProgram::~StartedProgram() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) close(m_out);
    if (m_err >= 0) close(m_err);
}

ProgramResult StartedProgram::wait() {
    ProgramResult result;
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    result.out = readAll(m_out);
    result.err = readAll(m_err);
    return result;
}

bool processState(pid_t pid, char& state, pid_t& parent) {
    std::string stat;
    try {
        stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    } catch (const std::runtime_error&) {
        return false;
    }
    // "pid (name) S ppid ...": the name may hold blanks and parentheses, so look after the last.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 >= stat.size()) return false;
    std::istringstream rest(stat.substr(close + 2));
    long ppid = 0;
    rest >> state >> ppid;
    parent = pid_t(ppid);
    return bool(rest);
}

std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        char state = 0;
        pid_t parent = 0;
        if (processState(pid_t(std::stol(name)), state, parent) && parent == pid)
            children.push_back(pid_t(std::stol(name)));
    }
    return children;
}

bool waitUntilGone(pid_t pid, int milliseconds) {
    for (int waited = 0;; waited += 10) {
        char state = 0;
        pid_t parent = 0;
        if (!processState(pid, state, parent) || state == 'Z' || state == 'X') return true;
        if (waited >= milliseconds) return false;
        usleep(10 * 1000);
    }
}

ProgramResult runProgram(const std::vector<std::string>& argv, const ProgramOptions& options) {
    StartedProgram program(argv, options);
    return program.wait();
}

std::string encodeText(const std::string& utf8, const std::string& charset) {
    iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open " + charset);
    std::string in = utf8;
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == std::size_t(-1)) throw std::runtime_error("cannot encode text in " + charset);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace qb::test
