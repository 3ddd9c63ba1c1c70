#include "cli/child_process.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <system_error>

#include "platform/failure_message.h"

namespace qb {

namespace {

constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t g_child = 0;

void passOn(int signal) {
    const int saved = errno;
    if (g_child > 0) kill(static_cast<pid_t>(g_child), signal);
    errno = saved;
}

void flushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
}

}  // namespace

void suppressCoreDump() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

ChildEnd runInChild(const std::function<int()>& body) {
    // Blocked from before the fork until the handlers are in place, so that no signal can end
    // the parent in between and leave the work folder behind.
    sigset_t passed, previous;
    sigemptyset(&passed);
    for (int s : kPassedOn) sigaddset(&passed, s);
    sigprocmask(SIG_BLOCK, &passed, &previous);

    flushAll();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        throw std::system_error(error, std::generic_category(), "fork");
    }
    if (child == 0) {
        // A parent killed outright (SIGKILL, the OOM killer) can neither pass a signal on nor
        // wait; a child left running would go on and replace the book long after the caller
        // saw the program end. So the child dies with its parent, and if the parent is already
        // gone (it died before the request was made), at once.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        int status = 1;
        try {
            status = body();
        } catch (const std::exception& e) {
            std::cerr << "quirebind-cli: " << failureMessage(e, "making the book") << "\n";
        }
        flushAll();
        // _exit: the parent's objects copied into this process (the work folder among them)
        // belong to the parent and must not be destroyed twice.
        _exit(status);
    }

    g_child = child;
    struct sigaction handler {};
    handler.sa_handler = passOn;
    sigemptyset(&handler.sa_mask);
    struct sigaction old[std::size(kPassedOn)] = {};
    for (std::size_t i = 0; i < std::size(kPassedOn); ++i) {
        sigaction(kPassedOn[i], nullptr, &old[i]);
        // A signal ignored on purpose (nohup, a background job) stays ignored.
        if (old[i].sa_handler != SIG_IGN) sigaction(kPassedOn[i], &handler, nullptr);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    g_child = 0;
    for (std::size_t i = 0; i < std::size(kPassedOn); ++i)
        sigaction(kPassedOn[i], &old[i], nullptr);

    ChildEnd end;
    if (WIFSIGNALED(status)) {
        end.signal = WTERMSIG(status);
        end.exitStatus = 128 + end.signal;
    } else {
        end.exitStatus = WEXITSTATUS(status);
    }
    return end;
}

void endBySignal(int signal) {
    flushAll();
    suppressCoreDump();
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);
}

}  // namespace qb
