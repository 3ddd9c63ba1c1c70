#pragma once
// The window's dialogs and boxes as the desktop shows them.

#include "app/window_ui.h"

namespace qb {

class QtWindowUi : public WindowUi {
  public:
    QStringList openTextFiles(QWidget* owner) override;
    QString openCoverPicture(QWidget* owner) override;
    QString chooseFolder(QWidget* owner, const QString& initialFolder) override;
    void showNote(const QString& text) override;
    bool askOverwrite(const QString& text) override;
    void showError(const QString& caption, const QString& text) override;
    void showSuccess(const QString& text) override;
    void showWarning(const QString& caption, const QString& text) override;
    void openUrl(const QUrl& url) override;
    void processEvents() override;
};

}  // namespace qb
