#include "book/stylesheet.h"

#include <vector>

#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/output_file.h"
#include "platform/text_file.h"
#include "platform/utf8.h"

namespace qb {
namespace {

using Rules = std::vector<const char*>;

// The first program's stylesheet, kept byte for byte for the plain look.
const Rules kPlainRules = {
    "body { margin: 0 2%; }",
    "p { margin: 0 0 0.6em 0; text-indent: 0; }",
    "img { max-width: 100%; height: auto; }",
};

// Chinese, Japanese and Korean books indent every paragraph by two characters and leave no
// gap, with the open line spacing their printed books use; dialogue is set like any paragraph.
const Rules kCjkParagraphs = {
    "p { margin: 0; text-indent: 2em; line-height: 1.8; text-align: justify; }",
};

// As printed books: the first line indented, no gap, and no indent where a new passage
// begins (after a heading, after a scene break, at the top of a page file), since the break
// already marks it.
const Rules kIndentParagraphs = {
    "p { margin: 0; text-indent: 1.5em; }",
    "h1 + p, h2 + p, h3 + p, .scene + p, div > p:first-child { text-indent: 0; }",
};

const Rules kSpacedParagraphs = {
    "p { margin: 0 0 0.6em 0; text-indent: 0; }",
};

// Headings, scene breaks, pictures and the cover page, alike for every script. A volume
// heading has a page to itself (its page file begins a new page anyway: breaking before it
// too would leave a blank one); the cover picture fills the screen without margins. Lengths
// are in em: some readers take percentages of the page's height, others of its width.
const Rules kSharedRules = {
    "h1, h2, h3 { text-align: center; text-indent: 0; line-height: 1.3; font-weight: bold; }",
    "h1 { font-size: 2em; margin: 5em 0 0 0; page-break-after: always; }",
    "h2 { font-size: 1.3em; margin: 2.5em 0 1.5em 0; page-break-after: avoid; }",
    ".scene { text-align: center; text-indent: 0; margin: 1em 0; }",
    "img { max-width: 100%; height: auto; }",
    "body.cover, div.cover { margin: 0; padding: 0; text-align: center; }",
    "div.cover img { height: 100%; max-width: 100%; }",
};

const Rules kTitlePageRules = {
    "div.titlepage { margin: 6em 0 0 0; text-align: center; }",
    "div.titlepage p { margin: 0 0 0.5em 0; text-indent: 0; text-align: center; }",
    "div.titlepage p.title { margin: 0 0 1em 0; font-size: 2em; font-weight: bold; "
    "line-height: 1.3; }",
    "div.titlepage p.author { font-size: 1.3em; }",
    "div.titlepage p.series { margin-top: 1em; font-style: italic; }",
    "div.titlepage p.publisher { margin-top: 3em; }",
};

// Readers that know only the prefixed forms (older WebKit ones, Readium's EPUB 3 property)
// find them beside the standard one.
const Rules kVerticalRules = {
    "html { -epub-writing-mode: vertical-rl; -webkit-writing-mode: vertical-rl; "
    "writing-mode: vertical-rl; }",
};

void append(std::string& out, const Rules& rules) {
    for (const char* rule : rules) {
        out += rule;
        out += "\r\n";
    }
}

}  // namespace

std::string readUserStylesheet(const std::string& path) {
    std::string css;
    try {
        css = readFileBytes(path, kMaxUserStylesheetBytes);
    } catch (const FileTooLargeError&) {
        throw Error("The stylesheet \"" + path +
                    "\" is larger than 1 MiB; a stylesheet holds rules, not pictures or fonts");
    } catch (const EFOpenError& e) {
        throw Error("Cannot read the stylesheet. " + std::string(e.what()));
    }
    if (css.find('\0') != std::string::npos || !isValidUtf8(css))
        throw Error("The stylesheet \"" + path + "\" is not a text in UTF-8");
    return css;
}

bool isCjkLanguage(std::string_view languageTag) {
    const std::string primary = lowerAscii(languageTag.substr(0, languageTag.find('-')));
    // Cantonese, Mandarin, Classical Chinese and Wu are written in Han characters too.
    for (const char* cjk : {"zh", "ja", "ko", "yue", "cmn", "lzh", "wuu"}) {
        if (primary == cjk) return true;
    }
    return false;
}

std::string bookStylesheet(const StyleChoices& choices) {
    std::string css;
    if (choices.style == BookStyle::Plain) {
        append(css, kPlainRules);
    } else {
        css += "body { margin: 0 2%; }\r\n";
        if (isCjkLanguage(choices.languageTag)) {
            append(css, kCjkParagraphs);
        } else if (choices.style == BookStyle::Indent) {
            append(css, kIndentParagraphs);
        } else {
            append(css, kSpacedParagraphs);
        }
        append(css, kSharedRules);
    }
    if (choices.writing == WritingMode::Vertical) append(css, kVerticalRules);
    if (choices.titlePage) append(css, kTitlePageRules);
    return css;
}

void writeStylesheet(const std::string& path, const StyleChoices& choices) {
    OutputFile out(path);
    out.write(bookStylesheet(choices));
    out.close();
}

}  // namespace qb
