#include "app/form_run_ui.h"

#include <QFile>
#include <QUrl>

#include <algorithm>

#include "app/app_places.h"
#include "app/tform1.h"
#include "app/window_ui.h"

namespace qb {

WindowUi& FormRunUi::ui() {
    return *m_form.m_ui;
}

void FormRunUi::showNote(const std::string& text) {
    m_form.hideProgress();
    const QString note = QString::fromStdString(text);
    ui().showNote(note);
    m_form.focusFieldOfNote(note);
}

bool FormRunUi::askOverwrite(const std::string& text, const std::string& archive) {
    (void)archive;
    return ui().askOverwrite(QString::fromStdString(text));
}

void FormRunUi::showError(const std::string& text) {
    m_form.hideProgress();
    // A text that went while it was listed is the usual cause; the list shows which.
    m_form.markMissingRows();
    ui().showError(applicationTitle(), QString::fromStdString(text));
}

void FormRunUi::showSuccess(const std::string& text) {
    m_form.hideProgress();
    m_pendingSuccess = QString::fromStdString(text);
}

void FormRunUi::openFolder(const std::string& folder) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
    QString text = m_pendingSuccess;
    m_pendingSuccess.clear();
    if (!ui().openUrl(QUrl::fromLocalFile(path)))
        text += QStringLiteral("\n\nNo file browser could be started to show the folder \"%1\".")
                    .arg(path);
    ui().showSuccess(text);
}

void FormRunUi::showWarning(const std::string& caption, const std::string& text) {
    ui().showWarning(QString::fromStdString(caption), QString::fromStdString(text));
}

// The share of the texts' bytes made into pages: a single large text moves the bar too.
void FormRunUi::pageWritten(const PageDone& page) {
    const std::uint64_t total = std::max<std::uint64_t>(page.textTotal, 1);
    const auto permille = static_cast<int>(std::min(page.textDone, total) * 1000 / total);
    m_form.showProgress(permille, 1000,
                        QStringLiteral("File %1 of %2 (%p%)").arg(page.file).arg(page.files));
}

void FormRunUi::packingStarted() {
    m_form.showProgress(0, 0, QStringLiteral("Packing the book"));
}

void FormRunUi::packingProgress(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return;
    const auto permille = static_cast<int>(std::min(done, total) * 1000 / total);
    m_form.showProgress(permille, 1000, QStringLiteral("Packing the book (%p%)"));
}

void FormRunUi::flush() {
    if (m_pendingSuccess.isEmpty()) return;
    ui().showSuccess(m_pendingSuccess);
    m_pendingSuccess.clear();
}

}  // namespace qb
