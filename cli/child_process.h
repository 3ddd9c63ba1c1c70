#pragma once
// Runs the conversion in a child process so that the parent can always clean up after it.
//
// The work folder must go whatever ends the conversion: an error, Ctrl-C, kill, or a crash.
// A signal handler cannot safely delete a folder tree, and the conversion cannot be stopped
// half-way from one; a parent that merely waits can do both once the child is gone.

#include <functional>

namespace qb {

struct ChildEnd {
    int exitStatus = 0;  // the child's exit status when it exited
    int signal = 0;      // the signal that ended the child, 0 when it exited
};

// Forks, runs body in the child and exits the child with its result. SIGINT, SIGTERM, SIGHUP and
// SIGQUIT sent to the parent meanwhile are passed on to the child; a parent that dies takes the
// child with it. Returns once the child has ended. Throws std::system_error when no child can be
// started.
ChildEnd runInChild(const std::function<int()>& body);

// Ends this process by the given signal, as it would have ended without a handler, so the
// caller (a shell, say) sees the interruption. Falls back to exit status 128 + signal. No core
// is dumped: SIGQUIT is handled like SIGTERM, and what it stopped is cleaned up, not a crash.
[[noreturn]] void endBySignal(int signal);

// Lets the process end by SIGQUIT without writing a core file. Async-signal-safe in practice
// (one system call), so a signal handler may call it.
void suppressCoreDump();

}  // namespace qb
