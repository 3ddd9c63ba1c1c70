#include "app/qt_window_ui.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

namespace qb {

namespace {

// The boxes belong to the application, not to the window: they have no parent, are modal for
// the whole program and come up in the middle of the screen rather than over the window.
int showBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
            QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) {
    QMessageBox box(icon, caption, text, buttons);
    box.setWindowModality(Qt::ApplicationModal);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    if (escapeButton != QMessageBox::NoButton) box.setEscapeButton(escapeButton);
    // A dialog without a parent that has not been moved is centred on the screen when shown.
    return box.exec();
}

}  // namespace

QStringList QtWindowUi::openTextFiles(QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString(), QString(),
                                         QStringLiteral("TXT file (*.txt)"));
}

QString QtWindowUi::openCoverPicture(QWidget* owner) {
    // JPEG first, as the cover is meant to be; PNG is offered too since readers show both.
    return QFileDialog::getOpenFileName(
        owner, QString(), QString(),
        QStringLiteral("JPG, JPEG Files (*.jpg *.jpeg);;PNG Files (*.png)"));
}

QString QtWindowUi::chooseFolder(QWidget* owner, const QString& initialFolder) {
    return QFileDialog::getExistingDirectory(owner, QStringLiteral("Please Choose a Folder"),
                                             initialFolder, QFileDialog::ShowDirsOnly);
}

void QtWindowUi::showNote(const QString& text) {
    showBox(QMessageBox::NoIcon, QStringLiteral("Note!"), text);
}

bool QtWindowUi::askOverwrite(const QString& text) {
    return showBox(QMessageBox::Information, QStringLiteral("Information"), text,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                   QMessageBox::No) == QMessageBox::Yes;
}

void QtWindowUi::showError(const QString& caption, const QString& text) {
    showBox(QMessageBox::Critical, caption, text);
}

void QtWindowUi::showSuccess(const QString& text) {
    showBox(QMessageBox::NoIcon, QStringLiteral("Congratulation"), text);
}

void QtWindowUi::showWarning(const QString& caption, const QString& text) {
    showBox(QMessageBox::Warning, caption, text);
}

void QtWindowUi::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void QtWindowUi::processEvents() {
    QCoreApplication::processEvents();
}

}  // namespace qb
