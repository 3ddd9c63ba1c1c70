#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/line_splitter.h"
#include "platform/output_file.h"
#include "platform/text_decoding.h"

namespace qb {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

  private:
    int m_fd;
};

class LineCollector : public LineHandler {
  public:
    std::vector<std::string> lines;
    void lineText(std::string_view text) override { m_current.append(text); }
    void lineEnd() override {
        lines.push_back(std::move(m_current));
        m_current.clear();
    }

  private:
    std::string m_current;
};

}  // namespace

std::string readFileBytes(const std::string& path, std::uint64_t limit) {
    (void)limit;  // not enforced yet
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) throw EFOpenError(path, std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) throw EFOpenError(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw EFOpenError(path, std::strerror(EISDIR));

    std::string bytes;
    // Read in one go when the size is known; a pipe or a growing file reads on to its end.
    std::size_t expected = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    bytes.resize(expected > 0 ? expected + 1 : 64 * 1024);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(bytes.size() * 2);
        ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EFOpenError(path, std::strerror(errno));
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

std::vector<std::string> readTextLines(const std::string& path, const std::string& charset) {
    std::string bytes = readFileBytes(path);
    TextPlan plan = planDecoding(bytes, charset);
    LineCollector collector;
    LineSplitter splitter(collector);
    decodeText(plan, [&](std::string_view piece) { splitter.feed(piece); });
    splitter.finish();
    return std::move(collector.lines);
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
