#pragma once
// What the About box says: the program, its version, what it does and whose work it stands on.

#include <QString>

namespace qb {

// The box's caption.
QString aboutCaption();
// The box's text, as rich text: name and version, one line on what the program does, and the
// libraries it uses with their licences.
QString aboutText();

}  // namespace qb
