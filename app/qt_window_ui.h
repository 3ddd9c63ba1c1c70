#pragma once
// The window's dialogs and boxes as the desktop shows them.

#include "app/window_ui.h"

namespace qb {

class QtWindowUi : public WindowUi {
  public:
    // The window the boxes open over; without one they open in the middle of the screen.
    void setOwner(QWidget* owner) { m_owner = owner; }

    QStringList openTextFiles(QWidget* owner) override;
    QString openCoverPicture(QWidget* owner) override;
    QString chooseFolder(QWidget* owner, const QString& initialFolder) override;
    bool editBookOptions(QWidget* owner, BookOptions& options) override;
    bool editBookDetails(QWidget* owner, BookDetails& details) override;
    void showNote(const QString& text) override;
    bool askOverwrite(const QString& text) override;
    void showError(const QString& caption, const QString& text) override;
    void showSuccess(const QString& text) override;
    void showWarning(const QString& caption, const QString& text) override;
    bool askStopRun() override;
    void showAbout(QWidget* owner, const QString& caption, const QString& text) override;
    bool openUrl(const QUrl& url) override;

  private:
    QWidget* m_owner = nullptr;
};

}  // namespace qb
