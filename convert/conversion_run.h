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

#include "book/book_pages.h"
#include "book/book_project.h"
#include "book/reading_report.h"
#include "platform/paths.h"
#include "typeset/body_font.h"

namespace qb {

class DeflateAhead;

class RunUi : public ReadingReport {
  public:
    // A problem with the user's entries: a box captioned "Note!", OK button, no icon.
    virtual void showNote(const std::string& text) = 0;
    // "The file is existing. Overwrite?" about the book at archive: information icon, caption
    // "Information", Yes (default) and No (also Esc). True only for Yes. When the book there
    // has another title, a second line names it: "It holds another book: "<title>"."
    virtual bool askOverwrite(const std::string& text, const std::string& archive) = 0;
    // An error that ended the run; the text is already in its final form (see errorBoxText).
    virtual void showError(const std::string& text) = 0;
    // Caption "Congratulation", OK button: "Successed to build: " + archive path.
    virtual void showSuccess(const std::string& text) = 0;
    // Shows the output folder in the desktop's file browser.
    virtual void openFolder(const std::string& folder) = 0;
    // The book just built at archive took the place of another book, of that title: worth
    // saying where nobody was asked (-y).
    virtual void replacedBook(const std::string& archive, const std::string& title) {
        (void)archive;
        (void)title;
    }

    // Lets the window handle pending events while the archive is packed.
    virtual void processEvents() {}
    // Progress: a page file is complete (many for one large text); then packing starts.
    virtual void pageWritten(const PageDone& page) { (void)page; }
    virtual void packingStarted() {}
    // Packing progress: bytes of the book's files packed so far, of total.
    virtual void packingProgress(std::uint64_t done, std::uint64_t total) {
        (void)done;
        (void)total;
    }
    // Asked between two pages (also of one text) and while packing; true ends the run as Cancelled,
    // an existing book kept and no unfinished archive left.
    virtual bool cancelRequested() { return false; }
    // Asked once, when the new archive is complete and on the disk, just before it takes its
    // name and the old book's place: the one point where the run's end is decided. False
    // cancels as cancelRequested does; after true the book is published and the run reports
    // it, so a stop request that comes later must be let go, not acted on.
    virtual bool publishing() { return !cancelRequested(); }
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

    // The archive's file name for the runs that follow, instead of the one the title gives
    // (archiveFileName); empty gives the title's back. A library numbers the books that would
    // share a name this way, while each keeps its title.
    void setArchiveName(std::string name) { m_archiveName = std::move(name); }

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
    bool writeBook(const BookProject& project, Given given, DeflateAhead* ahead, RunUi& ui);
    // False when the user cancelled while the archive was packed.
    bool packAndVerify(const BookProject& project, bool replace, DeflateAhead* ahead, RunUi& ui);
    void report(const BookProject& project, RunUi& ui) const;
    // Removes the pages of a run that began writing and made no book: hundreds of MB for a big
    // text, which would otherwise stay until the program ends. A built book's pages stay until
    // the next run writes; what resists removal now is reported by that run, which must clear
    // it before it writes.
    void discardPages() const;

    std::string m_workFolder;
    std::string m_templateFolder;
    std::string m_doing;  // "writing the pages of ...", after "Out of memory while "
    std::string m_contentFolder;
    std::string m_targetArchive;
    std::string m_replacedTitle;  // of another book at the target, when it has one
    std::string m_archiveName;
};

// The text of the standard error box for an error message: "." is added when the message's
// last character sorts after "." (so "...!", "..." and "... " get nothing).
std::string errorBoxText(const std::string& message);

}  // namespace qb
