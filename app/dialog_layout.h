#pragma once
// The lower part the book dialogs share: a form, the line that says what is wrong with it,
// and the OK and Cancel buttons.

class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLabel;

namespace qb {

// Lays out form, problem and buttons one below the other in dialog, shows problem in a red that
// reads on the desktop's own background, light or dark, and makes the buttons accept and reject.
void layOutFormDialog(QDialog* dialog, QFormLayout* form, QLabel* problem,
                      QDialogButtonBox* buttons);

}  // namespace qb
