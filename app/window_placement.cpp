#include "app/window_placement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace qb {

namespace {

int placeOnAxis(int wanted, int length, int start, int available, int aside) {
    const int end = start + available;
    if (length >= available) return start;
    const int first = std::clamp(wanted, start, end - length);
    const int forward = first + aside * kWindowStep;
    if (forward + length <= end) return forward;
    return std::max(start, first - aside * kWindowStep);
}

}  // namespace

QPoint placeWindow(QPoint wanted, QSize size, const QRect& available, int aside) {
    return {placeOnAxis(wanted.x(), size.width(), available.x(), available.width(), aside),
            placeOnAxis(wanted.y(), size.height(), available.y(), available.height(), aside)};
}

WindowSlot::WindowSlot(const std::string& folder) {
    for (int number = 0; number < kMaxSlots; ++number) {
        const std::string path = folder + "/.quirebind-window-" + std::to_string(number) + ".lock";
        // A window that closes removes its file while holding the lock; a lock taken on a file
        // removed meanwhile is on a file nobody else will find, so it is taken again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
            if (!fd) return;  // no place for the files: every window counts as the first
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) break;
            struct stat held {};
            struct stat named {};
            if (::fstat(fd.get(), &held) != 0) return;
            if (::stat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino ||
                named.st_dev != held.st_dev)
                continue;
            m_number = number;
            m_path = path;
            m_lock = std::move(fd);
            return;
        }
    }
}

WindowSlot::~WindowSlot() {
    if (!m_lock) return;
    ::unlink(m_path.c_str());
}

}  // namespace qb
