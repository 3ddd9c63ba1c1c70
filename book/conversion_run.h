#pragma once
// The conversion run: turns a book project into one .epub in the output folder.
//
// It rebuilds the content folder below the work folder, writes the pages of each text file, the
// cover, the stylesheet, fb.opf, fb.ncx and (for EPUB 3) nav.xhtml, checks the user's entries,
// settles the target archive and hands the work folder to the packager. Everything it shows or
// asks goes through RunUi, which the window, the command line and the tests implement.

#include <cstdint>
#include <string>
#include <string_view>

#include "book/book_project.h"

namespace qb {

class RunUi {
  public:
    virtual ~RunUi() = default;

    // A problem with the user's entries: a box captioned "Note!", OK button, no icon.
    virtual void showNote(const std::string& text) = 0;
    // "The file is existing. Overwrite?": information icon, caption "Information",
    // Yes (default) and No (also Esc). True only for Yes.
    virtual bool askOverwrite(const std::string& text) = 0;
    // An error that ended the run; the text is already in its final form (see errorBoxText).
    virtual void showError(const std::string& text) = 0;
    // Caption "Congratulation", OK button: "Successed to build: " + archive path.
    virtual void showSuccess(const std::string& text) = 0;
    // Shows the output folder in the desktop's file browser.
    virtual void openFolder(const std::string& folder) = 0;

    // Lets the window handle pending events while the archive is packed.
    virtual void processEvents() {}
    // Something the user should know that does not stop the run: a packed file yielded fewer
    // bytes than its size when it was opened, a NUL byte cut a text short.
    virtual void showWarning(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
    }
    // Something about the book made that the user should know: the EPUB version chosen for
    // it and why, markup left unapplied.
    virtual void bookNote(const std::string& text) { (void)text; }
    // Progress: page k of n written; then packing starts.
    virtual void pageWritten(int k, int n) {
        (void)k;
        (void)n;
    }
    // Text file k has been read: its first page file, the file as given, the charset it is read
    // in and whether that charset was guessed from the bytes.
    virtual void textRead(int k, const std::string& pageFile, const std::string& source,
                          const std::string& charset, bool detected) {
        (void)k;
        (void)pageFile;
        (void)source;
        (void)charset;
        (void)detected;
    }
    // The body font is in the book: "FILE  FAMILY  <embedded size> of <file size>".
    virtual void fontEmbedded(const std::string& text) { (void)text; }
    // How the paragraphs of text file k were judged ("paragraphs: blocks (...)"), when they were.
    virtual void textShaped(int k, const std::string& shape) {
        (void)k;
        (void)shape;
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
    Skipped,    // nothing to do: an empty list, or another run is under way
    Stopped,    // ended by a note or a refused overwrite; no archive made
    Failed,     // an error ended the run; it was shown through RunUi::showError
    Built,      // the archive is in the output folder
    Cancelled,  // the user stopped the run; no archive made, an old one kept
};

class ConversionRun {
  public:
    // workFolder holds the template (mimetype, META-INF/) and receives OEBPS/.
    explicit ConversionRun(std::string workFolder);

    RunResult run(const BookProject& project, RunUi& ui);

    bool running() const { return m_running; }
    const std::string& workFolder() const { return m_workFolder; }
    const std::string& contentFolder() const { return m_contentFolder; }
    // The archive the last run built or meant to build; empty before validation passed.
    const std::string& targetArchive() const { return m_targetArchive; }

  private:
    std::string m_workFolder;
    std::string m_contentFolder;
    std::string m_targetArchive;
    bool m_running = false;
};

// The text of the standard error box for an error message: "." is added when the message's
// last character sorts after "." (so "...!", "..." and "... " get nothing).
std::string errorBoxText(const std::string& message);

// The archive's file name for a title: characters that e-reader file systems cannot hold
// (/ \ : * ? " < > | and controls) become "_"; "." and ".." become "_"; ".epub" is added. A
// name that would pass 255 bytes is shortened at a character boundary.
std::string archiveFileName(const std::string& title);

// The largest cover picture a book takes. Readers scale covers down to a screen; 64 MiB holds
// any photograph a camera makes, and a pipe or device given as the cover cannot exhaust memory.
inline constexpr std::uint64_t kMaxCoverBytes = std::uint64_t{64} << 20;

// The media type of a picture from its first bytes: "image/jpeg", "image/png", "image/gif";
// empty for anything else, which readers could not show as a cover.
std::string pictureMediaType(std::string_view bytes);

}  // namespace qb
