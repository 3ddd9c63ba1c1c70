#pragma once
// Owns one POSIX file descriptor and closes it when it goes out of scope.

#include <unistd.h>

#include <utility>

namespace qb {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

    // Closes now and reports the result, for callers that must know whether the last
    // buffered data reached the file.
    int close() {
        int result = 0;
        if (m_fd >= 0) result = ::close(std::exchange(m_fd, -1));
        return result;
    }
    void reset() {
        if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
    }

  private:
    int m_fd = -1;
};

}  // namespace qb
