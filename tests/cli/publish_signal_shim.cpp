// Loaded into quirebind-cli with LD_PRELOAD, it raises a signal at one exact point of
// publishing the archive, so that what a stop signal does there is tested without timing.
// QB_SHIM_SIGNAL names the signal's number; QB_SHIM_AT the point: "fsync" (the finished
// archive's data being made durable, before it has a name) or "name" (the call that gives it
// the book's name). The signal is raised once, just before the real call.

#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

void raiseAt(std::string_view point) {
    static bool raised = false;
    const char* at = std::getenv("QB_SHIM_AT");
    const char* number = std::getenv("QB_SHIM_SIGNAL");
    if (raised || at == nullptr || number == nullptr || point != at) return;
    raised = true;
    raise(std::atoi(number));
}

bool namesTheBook(const char* name) {
    const std::string_view n(name == nullptr ? "" : name);
    return n.size() > 5 && n.substr(n.size() - 5) == ".epub";
}

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int fsync(int fd) {
    raiseAt("fsync");
    return real<int (*)(int)>("fsync")(fd);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    if (namesTheBook(to)) raiseAt("name");
    return real<int (*)(int, const char*, int, const char*)>("renameat")(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    if (namesTheBook(to)) raiseAt("name");
    return real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(
        fromDir, from, toDir, to, flags);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (namesTheBook(to)) raiseAt("name");
    return real<int (*)(int, const char*, int, const char*, int)>("linkat")(fromDir, from, toDir,
                                                                            to, flags);
}
}
