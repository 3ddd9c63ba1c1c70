#include "platform/paths.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace qb {

std::string programFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return ".";
        if (static_cast<std::size_t>(n) < buf.size()) {
            std::string exe(buf.data(), static_cast<std::size_t>(n));
            std::size_t slash = exe.rfind('/');
            if (slash == std::string::npos) return ".";
            // The root folder: joining "/name" to it gives the right path.
            if (slash == 0) return "";
            return exe.substr(0, slash);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string fileNamePart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace qb
