#pragma once
// Handing a folder, a file or a web page to the desktop, and the documentation "Home" shows.

#include <QString>

namespace qb {

// The program that opens things: $QB_DESKTOP_OPENER when set (how the tests stand in for the
// desktop), else xdg-open.
QString desktopOpener();

// Runs the opener on target and waits up to waitMs for its answer. True when it exited with 0,
// or is still running when the wait ends (some openers run the browser itself and stay until
// it is closed). False when it could not be started, crashed or exited with another status:
// xdg-open starts even on a machine with no desktop and then fails, so having started it
// proves nothing. The window waits without drawing, so the wait is short: an opener that fails
// does so at once.
bool openOnDesktop(const QString& target, int waitMs = 1500);

// The README as a page, installed below share/doc/quirebind beside the program's bin/, or put
// beside the program itself in the build tree: the first of these that is a file, else empty.
QString findDocumentation(const QString& programFolder);
// Where the installed documentation should be, for the note that says it is not there.
QString installedDocumentation(const QString& programFolder);

}  // namespace qb
