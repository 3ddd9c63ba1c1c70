#pragma once
// What the pages tell while they read the book's text files. The conversion run's RunUi is
// one; the pages need no more of it than this.

#include <string>

namespace qb {

class ReadingReport {
  public:
    virtual ~ReadingReport() = default;

    // Something the user should know that does not stop the run: a packed file yielded fewer
    // bytes than its size when it was opened, a NUL byte cut a text short.
    virtual void showWarning(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
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
    // How the paragraphs of text file k were judged ("paragraphs: blocks (...)"), when they were.
    virtual void textShaped(int k, const std::string& shape) {
        (void)k;
        (void)shape;
    }
    // Something about the book made that the user should know: the EPUB version chosen for
    // it and why, markup left unapplied, characters the drawn cover has no glyph for.
    virtual void bookNote(const std::string& text) { (void)text; }
    // The body font is in the book: "FILE  FAMILY  <embedded size> of <file size>".
    virtual void fontEmbedded(const std::string& text) { (void)text; }
};

}  // namespace qb
