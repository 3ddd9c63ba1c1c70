#include "cli/interruption.h"

#include <signal.h>

#include <csignal>

#include "cli/child_process.h"

namespace qb {

namespace {

volatile std::sig_atomic_t g_deferred = 0;
volatile std::sig_atomic_t g_pending = 0;
volatile std::sig_atomic_t g_completing = 0;

constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void onSignal(int signal) {
    // The book is taking, or has taken, the old one's place: ending now would only hide that.
    if (g_completing != 0) return;
    if (g_deferred != 0) {
        g_pending = signal;
        return;
    }
    // The default action: the process ends by this signal, as if there were no handler.
    suppressCoreDump();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void installInterruptionHandlers() {
    struct sigaction handler {};
    handler.sa_handler = onSignal;
    sigemptyset(&handler.sa_mask);
    for (int s : kHandled) {
        struct sigaction old {};
        sigaction(s, nullptr, &old);
        // A signal ignored on purpose (nohup, a background job) stays ignored.
        if (old.sa_handler != SIG_IGN) sigaction(s, &handler, nullptr);
    }
}

void deferInterruptions() {
    g_deferred = 1;
}

int pendingInterruption() {
    return g_pending;
}

bool settleCompletion() {
    sigset_t handled, previous;
    sigemptyset(&handled);
    for (int s : kHandled) sigaddset(&handled, s);
    sigprocmask(SIG_BLOCK, &handled, &previous);
    const bool go = g_pending == 0;
    if (go) g_completing = 1;
    // A signal that came while blocked is delivered here, on the side just settled.
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    return go;
}

}  // namespace qb
