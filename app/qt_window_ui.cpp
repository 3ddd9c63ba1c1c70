#include "app/qt_window_ui.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "app/app_places.h"

#include "app/book_options_dialog.h"

namespace qb {

namespace {

// The boxes are modal for the whole program and come up centred over the window they are
// about. The box lives on the heap under its owner: should the owner go while the box is open,
// the box goes with it instead of being freed twice.
int showBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
            QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) {
    QPointer<QMessageBox> box = new QMessageBox(icon, caption, text, buttons, owner);
    box->setWindowModality(Qt::ApplicationModal);
    if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
    if (escapeButton != QMessageBox::NoButton) box->setEscapeButton(escapeButton);
    const int answer = box->exec();
    delete box.data();
    return answer;
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

bool QtWindowUi::editBookOptions(QWidget* owner, BookOptions& options) {
    BookOptionsDialog dialog(options, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.options();
    return true;
}

void QtWindowUi::showNote(const QString& text) {
    showBox(m_owner, QMessageBox::NoIcon, QStringLiteral("Note!"), text);
}

bool QtWindowUi::askOverwrite(const QString& text) {
    return showBox(m_owner, QMessageBox::Information, QStringLiteral("Information"), text,
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                   QMessageBox::No) == QMessageBox::Yes;
}

void QtWindowUi::showError(const QString& caption, const QString& text) {
    showBox(m_owner, QMessageBox::Critical, caption, text);
}

void QtWindowUi::showSuccess(const QString& text) {
    showBox(m_owner, QMessageBox::NoIcon, QStringLiteral("Congratulation"), text);
}

void QtWindowUi::showWarning(const QString& caption, const QString& text) {
    showBox(m_owner, QMessageBox::Warning, caption, text);
}

bool QtWindowUi::askStopRun() {
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, applicationTitle(),
                        QStringLiteral("A book is being made. Stop making it and quit, or keep "
                                       "working?"),
                        QMessageBox::NoButton, m_owner);
    box->setWindowModality(Qt::ApplicationModal);
    QPushButton* stop = box->addButton(QStringLiteral("&Stop and Quit"), QMessageBox::AcceptRole);
    QPushButton* keep = box->addButton(QStringLiteral("&Keep Working"), QMessageBox::RejectRole);
    // Keeping the work is what a stray Enter or Esc should do.
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    box->exec();
    const bool stopping = box && box->clickedButton() == stop;
    delete box.data();
    return stopping;
}

bool QtWindowUi::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

}  // namespace qb
