#pragma once
// The conversion run: turns a book project into one .epub in the output folder.
//
// It rebuilds the content folder below the work folder, writes the pages of each text file, the
// cover, the stylesheet, fb.opf, fb.ncx and (for EPUB 3) nav.xhtml, checks the user's entries,
// settles the target archive and hands the work folder to the packager. Everything it shows or
// asks goes through RunUi, which the window, the command line and the tests implement.

#include <cstdint>
#include <optional>
#include <string>

#include "book/book_project.h"
#include "book/reading_report.h"
#include "platform/paths.h"
#include "typeset/body_font.h"

namespace qb {

class RunUi : public ReadingReport {
  public:
    // A problem with the user's entries: a box captioned "Note!", OK button, no icon.
    virtual void showNote(const std::string& text) = 0;
    // "The file is existing. Overwrite?" about the book at archive: information icon, caption
    // "Information", Yes (default) and No (also Esc). True only for Yes.
    virtual bool askOverwrite(const std::string& text, const std::string& archive) = 0;
    // An error that ended the run; the text is already in its final form (see errorBoxText).
    virtual void showError(const std::string& text) = 0;
    // Caption "Congratulation", OK button: "Successed to build: " + archive path.
    virtual void showSuccess(const std::string& text) = 0;
    // Shows the output folder in the desktop's file browser.
    virtual void openFolder(const std::string& folder) = 0;

    // Lets the window handle pending events while the archive is packed.
    virtual void processEvents() {}
    // Progress: page k of n written; then packing starts.
    virtual void pageWritten(int k, int n) {
        (void)k;
        (void)n;
    }
    virtual void packingStarted() {}
    // Packing progress: bytes of the book's files packed so far, of total.
    virtual void packingProgress(std::uint64_t done, std::uint64_t total) {
        (void)done;
        (void)total;
    }
    // Asked between pages and while packing; true ends the run as Cancelled, an existing book
    // kept and no unfinished archive left.
    virtual bool cancelRequested() { return false; }
};

enum class RunResult {
    Skipped,    // nothing to do: an empty list
    Stopped,    // ended by a note or a refused overwrite; no archive made
    Failed,     // an error ended the run; it was shown through RunUi::showError
    Built,      // the archive is in the output folder
    Cancelled,  // the user stopped the run; no archive made, an old one kept
};

class ConversionRun {
  public:
    // workFolder holds the template (mimetype, META-INF/) and receives OEBPS/. templateFolder
    // is the template it was made from, where no book may be saved; empty: none to guard.
    explicit ConversionRun(std::string workFolder,
                           std::string templateFolder = findTemplateFolder());

    RunResult run(const BookProject& project, RunUi& ui);

    const std::string& contentFolder() const { return m_contentFolder; }
    // The archive the last run built or meant to build; empty before validation passed.
    const std::string& targetArchive() const { return m_targetArchive; }

  private:
    // What the user gave besides the texts, read and checked before any page is written: a
    // pipe yields its bytes only once, and a bad file costs no work.
    struct Given {
        std::string coverBytes;
        std::string coverMediaType;
        std::string userStylesheet;
        std::optional<BodyFont> font;
    };

    // The steps of a run, in order. Each raises Error when it cannot go on, and keeps m_doing
    // saying what it is doing, for a failure that cannot say it itself (out of memory).
    void settleTarget(const BookProject& project);
    Given readGiven(const BookProject& project);
    // False when the user cancelled between pages.
    bool writeBook(const BookProject& project, Given given, RunUi& ui);
    // False when the user cancelled while the archive was packed.
    bool packAndVerify(const BookProject& project, bool replace, RunUi& ui);
    void report(const BookProject& project, RunUi& ui) const;

    std::string m_workFolder;
    std::string m_templateFolder;
    std::string m_doing;  // "writing the pages of ...", after "Out of memory while "
    std::string m_contentFolder;
    std::string m_targetArchive;
};

// The text of the standard error box for an error message: "." is added when the message's
// last character sorts after "." (so "...!", "..." and "... " get nothing).
std::string errorBoxText(const std::string& message);

}  // namespace qb
