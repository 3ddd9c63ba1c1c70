#pragma once
// Everything the window shows or asks in a dialog or a box, and what it hands to the desktop.
// The program uses QtWindowUi; the tests put in their own so that no test waits on a dialog.

#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/book_options.h"

class QWidget;

namespace qb {

class WindowUi {
  public:
    virtual ~WindowUi() = default;

    // "Add text files": "TXT file" (*.txt), several files at once, or one folder whose text
    // files are meant. Empty when cancelled.
    virtual QStringList openTextFiles(QWidget* owner) = 0;
    // The cover picture dialog: one JPEG, PNG or GIF picture. Empty when cancelled.
    virtual QString openCoverPicture(QWidget* owner) = 0;
    // "Please Choose a Folder", folders only, starting at initialFolder when it is not empty.
    // Empty when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& initialFolder) = 0;
    // The book-options dialog over options; true (and options changed) when confirmed.
    virtual bool editBookOptions(QWidget* owner, BookOptions& options) = 0;
    // The book-details dialog over details; true (and details changed) when confirmed.
    virtual bool editBookDetails(QWidget* owner, BookDetails& details) = 0;

    // "Note!", OK, no icon.
    virtual void showNote(const QString& text) = 0;
    // "Information", information icon, Yes (default) and No (also Esc). True only for Yes.
    virtual bool askOverwrite(const QString& text) = 0;
    // The standard error box: error icon, OK, the application's title as caption.
    virtual void showError(const QString& caption, const QString& text) = 0;
    // "Congratulation", OK, no icon.
    virtual void showSuccess(const QString& text) = 0;
    // Something the user should know that did not stop the work: warning icon, OK.
    virtual void showWarning(const QString& caption, const QString& text) = 0;
    // The window is closed while a book is made: true to stop the run and quit, false (the
    // default, also Esc) to keep working.
    virtual bool askStopRun() = 0;
    // The About box: the program's icon, rich text, OK.
    virtual void showAbout(QWidget* owner, const QString& caption, const QString& text) = 0;

    // A folder in the desktop's file browser, a page in the default browser. False when no
    // program could be started for it, or the one started said it failed.
    virtual bool openUrl(const QUrl& url) = 0;
};

}  // namespace qb
