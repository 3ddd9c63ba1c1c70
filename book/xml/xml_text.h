#pragma once
// Text on its way into a book file.
//
// Every variable text that goes into a page, the cover page, fb.opf or fb.ncx passes through
// appendXmlChars/xmlChars, so that no book file holds a character an XML 1.0 reader rejects.

#include <string>
#include <string_view>

namespace qb {

// Appends text to out without the characters XML 1.0 cannot hold: controls other than tab, CR
// and LF, U+FFFE, U+FFFF and surrogates. A byte that is not part of well-formed UTF-8 becomes
// U+FFFD.
void appendXmlChars(std::string& out, std::string_view text);
std::string xmlChars(std::string_view text);
// The same for the text of a page's paragraph or heading, in which "&", "<" and ">" are also
// escaped as "&amp;", "&lt;" and "&gt;": paragraphs are plain text, never markup. The text must
// be well-formed UTF-8, as the decoders of platform/text_decoding.h deliver it.
void appendParagraphChars(std::string& out, std::string_view text);

// Escapes text for element content: "&", "<", ">"; a CR as "&#13;" so that readers keep it.
void appendEscapedText(std::string& out, std::string_view text);
// Escapes text for an attribute value in double quotes: also '"', and tab, CR and LF as
// character references so that attribute normalisation leaves them alone.
void appendEscapedAttribute(std::string& out, std::string_view text);
std::string escapedAttribute(std::string_view text);

}  // namespace qb
