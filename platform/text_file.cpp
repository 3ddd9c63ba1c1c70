#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "platform/errors.h"
#include "platform/output_file.h"
#include "platform/unique_fd.h"

namespace qb {
namespace {

// Gives bytes room for size bytes, keeping the first used. std::string rounds a growing
// capacity up to twice the old one, so the last step before the limit would reserve nearly
// twice the limit; a string made new gets exactly the size asked for.
void growTo(std::string& bytes, std::size_t used, std::size_t size) {
    std::string bigger(size, '\0');
    std::memcpy(bigger.data(), bytes.data(), used);
    bytes.swap(bigger);
}

}  // namespace

std::string readFileBytes(const std::string& path, std::uint64_t limit, FileKinds kinds) {
    const bool regularOnly = kinds == FileKinds::RegularOnly;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0)));
    if (!fd) throw EFOpenError(path, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw EFOpenError(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw EFOpenError(path, std::strerror(EISDIR));
    if (regularOnly && !S_ISREG(st.st_mode)) throw EFOpenError(path, "Not a regular file");
    // No memory can hold more than the address space, whatever limit the caller asks for.
    limit = std::min<std::uint64_t>(limit, std::numeric_limits<std::size_t>::max() / 2);
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > limit) {
        throw FileTooLargeError(path, limit);
    }

    // Read in one go when the size is known. A pipe, a device or a file that grows while it is
    // read goes on to its end, but never past the limit: /dev/zero or "yes >> file" would
    // otherwise take all memory. A stream that ends right at the limit is still whole, so the
    // limit counts as passed only once one byte more has come.
    std::string bytes;
    std::size_t used = 0;
    try {
        const auto expected = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
        const std::size_t cap = static_cast<std::size_t>(limit) + 1;
        growTo(bytes, 0, std::min(expected > 0 ? expected + 1 : std::size_t{64} * 1024, cap));
        for (;;) {
            if (used == bytes.size()) {
                if (used == cap) throw FileTooLargeError(path, limit);
                growTo(bytes, used, std::min(bytes.size() * 2, cap));
            }
            ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw EFOpenError(path, std::strerror(errno));
            }
            if (n == 0) break;
            used += static_cast<std::size_t>(n);
        }
    } catch (const std::bad_alloc&) {
        // Under a memory limit (ulimit -v) the reading stops here rather than the program.
        throw EFOpenError(path, std::strerror(ENOMEM));
    }
    bytes.resize(used);
    return bytes;
}

void writeTextLines(const std::string& path, const std::vector<std::string>& lines) {
    OutputFile file(path);
    for (const std::string& line : lines) {
        file.write(line);
        file.write("\r\n");
    }
    file.close();
}

}  // namespace qb
