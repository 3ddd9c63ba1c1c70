#pragma once
// The picture-drawn buttons as a screen reader sees them: push buttons that can be pressed.
// Qt knows them only as plain widgets, which Orca would announce without a role and could not
// press.

namespace qb {

// Once per program; later calls do nothing.
void installPictureButtonAccessibility();

}  // namespace qb
