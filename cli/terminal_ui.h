#pragma once
// The conversion run's questions and messages on a terminal: everything goes to stderr with the
// program's name in front, so stdout carries only the archive path.

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/conversion_run.h"

namespace qb {

// Control characters in a file name would act on a terminal (set its title, clear the screen,
// move the cursor); written as "\x1b" they show what the name holds. Line breaks and tabs stay,
// and C1 controls (U+0080 to U+009F) count too.
std::string escapedControls(std::string_view text);

class TerminalUi : public RunUi {
  public:
    // assumeYes answers the overwrite question; showProgress writes "file k of N" lines and
    // the charset each text file is read in; showNotes writes what the book became where the
    // program chose for the user (its EPUB version, markup it could not apply), on a terminal
    // or not, so that a log keeps it too.
    TerminalUi(bool assumeYes, bool showProgress, bool showNotes = false);
    ~TerminalUi() override;
    TerminalUi(const TerminalUi&) = delete;
    TerminalUi& operator=(const TerminalUi&) = delete;

    void showNote(const std::string& text) override;
    bool askOverwrite(const std::string& text, const std::string& archive) override;
    void showError(const std::string& text) override;
    void showSuccess(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    // "ARCHIVE: replaced another book, "TITLE"", even with -y and -q: a book is gone.
    void replacedBook(const std::string& archive, const std::string& title) override;
    void showWarning(const std::string& caption, const std::string& text) override;
    // One lasting line per text file: "page3.html  a.txt  GBK (detected)".
    void textRead(int k, const std::string& pageFile, const std::string& source,
                  const std::string& charset, bool detected) override;
    // "font  FILE  FAMILY  312 KiB of 19 MiB", a lasting line like the text files'.
    void fontEmbedded(const std::string& text) override;
    void bookNote(const std::string& text) override;
    void textShaped(int k, const std::string& shape) override;
    void pageWritten(const PageDone& page) override;
    void packingStarted() override;
    void packingProgress(std::uint64_t done, std::uint64_t total) override;
    // True once Ctrl-C or kill has come while packing (see cli/interruption.h): the run then
    // stops as cancelled and the packer removes its unfinished archive.
    bool cancelRequested() override;
    // Settles the run's end against Ctrl-C and kill: cancelled when one came before, completed
    // (and reported, exit status 0) whatever comes after.
    bool publishing() override;

    // Clears the progress line, so that what follows starts on a clean line.
    void endProgress();

  private:
    void printLine(const std::string& text);
    void showProgress(const std::string& text);
    // text as it may go to stderr: with its control characters escaped on a terminal.
    std::string shown(const std::string& text) const;

    bool m_assumeYes;
    bool m_showProgress;
    bool m_showNotes;
    bool m_progressShown = false;
    int m_packedPercent = -1;
    std::string m_pagesShown;  // the progress line last written for the pages
    bool m_escapeControls;
};

}  // namespace qb
