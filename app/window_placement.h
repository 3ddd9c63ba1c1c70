#pragma once
// Where the window opens: where it was last, kept inside the screen, and a step aside from the
// windows of this program already open.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <string>

#include "platform/unique_fd.h"

namespace qb {

// Where a window of the given size goes when it is wanted at `wanted` on a screen whose free
// area is `available`: there when the whole window fits, else moved just far enough to lie
// inside; on an axis where it is larger than the area, at the area's start, so that its title
// and buttons stay reachable. The window `aside` steps after the first (0 for the first) goes
// that many steps right and down from the first's place, or left and up on an axis where that
// leaves no room: on a small screen the first window is already pushed to the far edge.
QPoint placeWindow(QPoint wanted, QSize size, const QRect& available, int aside = 0);

// One step between windows opened one after the other.
inline constexpr int kWindowStep = 32;

// Which of the windows open at once this one is: 0 for the first, 1 for the second, and so on.
// Each window holds a lock on a file of its number in folder for as long as it lives; the next
// window takes the lowest number not held. The system lets go of a lock when its program ends,
// however it ends, so a window that crashed leaves no number taken.
class WindowSlot {
  public:
    explicit WindowSlot(const std::string& folder);
    ~WindowSlot();
    WindowSlot(const WindowSlot&) = delete;
    WindowSlot& operator=(const WindowSlot&) = delete;

    // 0 also when no lock file can be made there.
    int number() const { return m_number; }

    static constexpr int kMaxSlots = 16;

  private:
    int m_number = 0;
    std::string m_path;
    UniqueFd m_lock;
};

}  // namespace qb
