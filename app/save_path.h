#pragma once
// The folder the book is saved to, as typed into "Save Epub To": the shell's shorthands are
// not there to expand "~", so the window does it, and a relative path is taken from the home
// folder rather than from whatever folder the program happened to be started in.

#include <QString>

#include <functional>

namespace qb {

// The home folder of a named user; empty when there is no such user.
using UserHomeLookup = std::function<QString(const QString& user)>;

struct SavePath {
    QString path;     // absolute and clean; empty when nothing was typed or on a problem
    QString problem;  // why the text names no folder, for a note; empty when it does
};

// "~" and "~/x" are below home, "~user/x" below that user's home, "x" below home too; an
// absolute path stays where it is. Every result is cleaned of "." and ".." parts and of a
// trailing "/".
SavePath resolveSavePath(const QString& typed, const QString& home, const UserHomeLookup& userHome);
// The same for the running user, with the system's user database.
SavePath resolveSavePath(const QString& typed);

}  // namespace qb
