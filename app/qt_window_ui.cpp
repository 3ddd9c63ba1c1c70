#include "app/qt_window_ui.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "app/app_places.h"

#include "app/book_details_dialog.h"
#include "app/book_options_dialog.h"
#include "app/desktop_open.h"

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
    // Qt's own dialog, since a desktop's may not take a button of ours: "Add Folder" hands
    // back the folder shown, whose text files the window then adds.
    QFileDialog dialog(owner, QStringLiteral("Add text files"), QString(),
                       QStringLiteral("TXT file (*.txt)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    QStringList chosen;
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* addFolder = new QPushButton(QStringLiteral("Add &Folder"), &dialog);
        addFolder->setToolTip(
            QStringLiteral("Add the .txt files of the folder shown, in file-name order"));
        addFolder->setAutoDefault(false);
        QObject::connect(addFolder, &QPushButton::clicked, &dialog, [&] {
            chosen = {dialog.directory().absolutePath()};
            dialog.reject();  // closes without asking the file view for a selection
        });
        grid->addWidget(addFolder, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft);
    }
    if (dialog.exec() == QDialog::Accepted) return dialog.selectedFiles();
    return chosen;
}

QString QtWindowUi::openCoverPicture(QWidget* owner) {
    // One filter for every kind the book takes, so that no picture hides behind another one.
    return QFileDialog::getOpenFileName(owner, QString(), QString(),
                                        QStringLiteral("Pictures (*.jpg *.jpeg *.png *.gif)"));
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

bool QtWindowUi::editBookDetails(QWidget* owner, BookDetails& details) {
    BookDetailsDialog dialog(details, owner);
    if (dialog.exec() != QDialog::Accepted) return false;
    details = dialog.details();
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

void QtWindowUi::showAbout(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::about(owner, caption, text);
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
    return openOnDesktop(url.isLocalFile() ? url.toLocalFile() : url.toString());
}

}  // namespace qb
