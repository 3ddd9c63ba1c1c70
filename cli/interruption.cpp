#include "cli/interruption.h"

#include <signal.h>

#include <csignal>

#include "cli/child_process.h"

namespace qb {

namespace {

volatile std::sig_atomic_t g_deferred = 0;
volatile std::sig_atomic_t g_pending = 0;

void onSignal(int signal) {
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
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
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

}  // namespace qb
