#pragma once
// What the window tests share: dialogs that answer from a script and record what was shown,
// and a private work folder and settings file per window.

#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/tform1.h"
#include "app/window_ui.h"

namespace qbtest {

class ScriptedUi : public qb::WindowUi {
  public:
    // Answers, taken in order; an empty queue answers "cancel" (or No).
    std::deque<QStringList> textFiles;
    std::deque<QString> coverPictures;
    std::deque<QString> folders;
    std::deque<bool> overwriteAnswers;
    // Closing during a run: true stops the run and quits; none left keeps working.
    std::deque<bool> stopRunAnswers;
    // Book-options dialogs: each answer replaces the options shown; none left means Cancel.
    std::deque<qb::BookOptions> bookOptions;
    // Book-details dialogs, the same way.
    std::deque<qb::BookDetails> bookDetails;
    // Runs while the overwrite question is open, i.e. while a run waits on the window.
    std::function<void()> whileAsking;
    // What opening a folder or a page answers: false as when no browser can be started.
    bool openUrlWorks = true;

    // What was shown.
    QStringList notes;
    QStringList overwriteQuestions;
    QStringList errors;  // "caption|text"
    QStringList successes;
    QStringList warnings;
    int stopRunQuestions = 0;
    QStringList abouts;  // "caption|text"
    QList<QUrl> openedUrls;
    QStringList folderInitials;
    QList<qb::BookOptions> bookOptionsShown;

    QStringList openTextFiles(QWidget* owner) override;
    QString openCoverPicture(QWidget* owner) override;
    QString chooseFolder(QWidget* owner, const QString& initialFolder) override;
    bool editBookOptions(QWidget* owner, qb::BookOptions& options) override;
    bool editBookDetails(QWidget* owner, qb::BookDetails& details) override;
    void showNote(const QString& text) override { notes << text; }
    bool askOverwrite(const QString& text) override;
    void showError(const QString& caption, const QString& text) override {
        errors << caption + u'|' + text;
    }
    void showSuccess(const QString& text) override { successes << text; }
    void showWarning(const QString& caption, const QString& text) override {
        warnings << caption + u'|' + text;
    }
    bool askStopRun() override;
    void showAbout(QWidget*, const QString& caption, const QString& text) override {
        abouts << caption + u'|' + text;
    }
    bool openUrl(const QUrl& url) override {
        openedUrls << url;
        return openUrlWorks;
    }

    // Every box shown, of any kind.
    int boxCount() const {
        return int(notes.size() + overwriteQuestions.size() + errors.size() + successes.size() +
                   warnings.size()) +
               stopRunQuestions;
    }
};

// A temporary folder holding a copy of the work-folder template ("epubfiles") and the place of
// config.ini; windows made by it live there.
class WindowPlace {
  public:
    WindowPlace();

    QString root() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    qb::AppPlaces places() const;
    std::unique_ptr<qb::TForm1> makeForm();

    std::shared_ptr<ScriptedUi> ui = std::make_shared<ScriptedUi>();

  private:
    QTemporaryDir m_dir;
};

// Clicks "Convert" and waits until the run it started has ended (at most a minute).
void convertAndWait(qb::TForm1& form);
// Waits until the window's current run has ended.
bool waitForRun(qb::TForm1& form);

// Writes a text file and answers its path.
QString writeText(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);
// Copies a folder tree.
void copyTree(const QString& from, const QString& to);

// The rows of the list: "caption:path" each.
QStringList rows(const qb::TForm1& form);

}  // namespace qbtest
