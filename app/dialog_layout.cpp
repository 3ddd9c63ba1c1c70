#include "app/dialog_layout.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace qb {

void layOutFormDialog(QDialog* dialog, QFormLayout* form, QLabel* problem,
                      QDialogButtonBox* buttons) {
    QPalette warning = problem->palette();
    const bool darkDesktop = warning.color(QPalette::Window).lightness() < 128;
    warning.setColor(QPalette::WindowText,
                     darkDesktop ? QColor(0xFF, 0x7A, 0x7A) : QColor(0xC0, 0x10, 0x10));
    problem->setPalette(warning);
    problem->setWordWrap(true);

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(problem);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

}  // namespace qb
