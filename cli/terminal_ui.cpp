#include "cli/terminal_ui.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string_view>

#include "cli/interruption.h"
#include "platform/ascii.h"
#include "platform/blank.h"

namespace qb {

namespace {

constexpr const char* kPrefix = "quirebind-cli: ";
// Carriage return and "erase to end of line": the progress line is rewritten in place.
constexpr const char* kClearLine = "\r\033[K";

std::string trimmedLower(const std::string& text) {
    return lowerAscii(std::string(trimBlanks(text)));
}

}  // namespace

// Control characters in a file name would act on the terminal (set its title, clear the
// screen, move the cursor); written as "\x1b" they show what the name holds. Line breaks and
// tabs of the messages themselves stay, and C1 controls (U+0080 to U+009F) count too.
std::string escapedControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F || c1) {
            if (c1) c = static_cast<unsigned char>(text[++i]);
            static const char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += text[i];
        }
    }
    return out;
}

TerminalUi::TerminalUi(bool assumeYes, bool showProgress, bool showNotes)
    : m_assumeYes(assumeYes),
      m_showProgress(showProgress),
      m_showNotes(showNotes),
      m_escapeControls(isatty(STDERR_FILENO) != 0) {}

std::string TerminalUi::shown(const std::string& text) const {
    return m_escapeControls ? escapedControls(text) : text;
}

TerminalUi::~TerminalUi() {
    endProgress();
}

void TerminalUi::endProgress() {
    if (!m_progressShown) return;
    std::cerr << kClearLine << std::flush;
    m_progressShown = false;
}

void TerminalUi::printLine(const std::string& text) {
    endProgress();
    std::cerr << kPrefix << shown(text) << std::endl;
}

void TerminalUi::showProgress(const std::string& text) {
    if (!m_showProgress) return;
    std::cerr << kClearLine << kPrefix << shown(text) << std::flush;
    m_progressShown = true;
}

void TerminalUi::showNote(const std::string& text) {
    printLine(text);
}

void TerminalUi::showError(const std::string& text) {
    // After a signal the process ends by that signal, which tells the shell more than a
    // failure message would.
    if (pendingInterruption() != 0) return;
    printLine(text);
}

void TerminalUi::showWarning(const std::string& caption, const std::string& text) {
    printLine(caption + ": " + text);
}

void TerminalUi::bookNote(const std::string& text) {
    if (m_showNotes) printLine(text);
}

bool TerminalUi::askOverwrite(const std::string& text, const std::string& archive) {
    if (m_assumeYes) return true;
    const std::string target = archive.empty() ? "" : archive + ": ";
    // Nobody can answer from a pipe or a file, and guessing "yes" would destroy a book.
    if (isatty(STDIN_FILENO) == 0) {
        printLine(target + text + " No: standard input is not a terminal; -y replaces it.");
        return false;
    }
    endProgress();
    std::cerr << kPrefix << shown(target + text) << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cerr << '\n';
        return false;
    }
    answer = trimmedLower(answer);
    return answer == "y" || answer == "yes";
}

// The archive path goes to stdout once the run has ended; a second line would only repeat it.
void TerminalUi::showSuccess(const std::string& text) {
    (void)text;
}

// A terminal has no file browser to open.
void TerminalUi::openFolder(const std::string& folder) {
    (void)folder;
}

void TerminalUi::replacedBook(const std::string& archive, const std::string& title) {
    printLine(archive + ": replaced another book, \"" + title + "\"");
}

// Which charset a file was read in is worth keeping on the screen: a wrong guess shows as
// garbled pages, and --encoding is the cure.
void TerminalUi::textRead(int k, const std::string& pageFile, const std::string& source,
                          const std::string& charset, bool detected) {
    (void)k;
    if (!m_showProgress) return;
    printLine(pageFile + "  " + source + "  " + charset + (detected ? " (detected)" : ""));
}

// The embedded size is what the font costs the book: worth a line of its own.
void TerminalUi::fontEmbedded(const std::string& text) {
    if (!m_showProgress) return;
    printLine("font  " + text);
}

void TerminalUi::textShaped(int k, const std::string& shape) {
    if (!m_showProgress) return;
    printLine("file " + std::to_string(k) + ": " + shape);
}

void TerminalUi::pageWritten(const PageDone& page) {
    // A large text makes thousands of pages: the line is rewritten only when its words change,
    // the share of the texts' bytes moving on with every percent.
    const int percent =
        page.textTotal == 0
            ? 100
            : static_cast<int>(std::min(page.textDone, page.textTotal) * 100 / page.textTotal);
    std::string line =
        "file " + std::to_string(page.file) + " of " + std::to_string(page.files) + ", ";
    line += std::to_string(percent) + "%";
    if (line == m_pagesShown) return;
    m_pagesShown = line;
    showProgress(line);
}

void TerminalUi::packingStarted() {
    deferInterruptions();
    showProgress("packing");
}

void TerminalUi::packingProgress(std::uint64_t done, std::uint64_t total) {
    // Rewritten only when the figure changes: the packer reports many times a second.
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == m_packedPercent) return;
    m_packedPercent = percent;
    showProgress("packing " + std::to_string(percent) + "%");
}

bool TerminalUi::cancelRequested() {
    return pendingInterruption() != 0;
}

bool TerminalUi::publishing() {
    return settleCompletion();
}

}  // namespace qb
