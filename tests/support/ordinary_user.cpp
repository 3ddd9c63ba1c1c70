#include "tests/support/ordinary_user.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace qb::test {

std::optional<bool> asOrdinaryUser(const std::string& folder, const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    constexpr uid_t kNobody = 65534;
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) return std::nullopt;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(3);
        }
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
    if (WEXITSTATUS(status) == 3) return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

}  // namespace qb::test
