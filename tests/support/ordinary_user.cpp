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
        // Below a folder only root may enter (a temporary folder under /root, say) the check
        // would fail for that alone, not for what it tests.
        if (::access(folder.c_str(), X_OK) != 0) ::_exit(3);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return false;
    if (WEXITSTATUS(status) == 3) return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

std::string copyProgramInto(const std::string& folder, const std::string& program) {
    const fs::path from(program);
    const fs::path to = fs::path(folder) / "program";
    fs::create_directories(to);
    fs::copy_file(from, to / from.filename(), fs::copy_options::overwrite_existing);
    const fs::path templateFolder = from.parent_path() / "epubfiles";
    if (fs::exists(templateFolder))
        fs::copy(templateFolder, to / "epubfiles", fs::copy_options::recursive);
    fs::permissions(to / from.filename(), fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
    return (to / from.filename()).string();
}

}  // namespace qb::test
