#include "book/page_writer.h"

#include "book/xhtml_page.h"
#include "book/xml_text.h"
#include "platform/line_splitter.h"
#include "platform/locale.h"
#include "platform/output_file.h"
#include "platform/text_decoding.h"
#include "platform/text_file.h"

namespace qb {
namespace {

// Writes each source line as a paragraph as it is decoded, so that a huge file is never held
// twice over: only its bytes stay in memory, the page goes out through the file's buffer.
class ParagraphWriter : public LineHandler {
  public:
    explicit ParagraphWriter(OutputFile& page) : m_page(page) { m_scratch.reserve(256 * 1024); }

    void lineText(std::string_view text) override {
        if (!m_inLine) {
            m_page.write("<p>");
            m_inLine = true;
        }
        m_scratch.clear();
        appendParagraphChars(m_scratch, text);
        m_page.write(m_scratch);
    }

    void lineEnd() override {
        m_page.write(m_inLine ? " </p> \r\n" : "<p> </p> \r\n");
        m_inLine = false;
    }

  private:
    OutputFile& m_page;
    std::string m_scratch;
    bool m_inLine = false;
};

void writeLine(OutputFile& file, const std::string& line) {
    file.write(line);
    file.write("\r\n");
}

}  // namespace

void writePage(const std::string& sourcePath, const std::string& pagePath,
               const std::string& pageTitle, const std::string& charset) {
    std::string bytes = readFileBytes(sourcePath);
    TextPlan plan = planDecoding(bytes, charset, sourcePath);

    std::string title;
    appendEscapedText(title, xmlChars(pageTitle));

    OutputFile page(pagePath);
    writeLine(page, kPageDeclaration);
    writeLine(page, pageRootStartTag(languageTag()));
    writeLine(page, "<head>");
    writeLine(page, "<title> " + title + " </title> ");
    writeLine(page, kStylesheetLink);
    writeLine(page, "</head>");
    writeLine(page, "<body>");
    writeLine(page, "<div>");

    ParagraphWriter paragraphs(page);
    LineSplitter splitter(paragraphs);
    decodeText(plan, [&](std::string_view piece) { splitter.feed(piece); });
    splitter.finish();

    writeLine(page, "</div>");
    writeLine(page, "</body>");
    writeLine(page, "</html>");
    page.close();
}

}  // namespace qb
