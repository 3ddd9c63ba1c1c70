#include "platform/blank.h"

#include <gtest/gtest.h>

#include <string>

namespace qb {
namespace {

// One table for every place that asks whether text is blank or trims it: lines, paragraphs,
// headings, contents labels and titles all rest on these answers.
TEST(Blank, TrimsEveryUnicodeBlankAndNothingElse) {
    struct Case {
        std::string text;
        std::string trimmed;
    };
    const std::string ideographic = "\xE3\x80\x80";
    const Case cases[] = {
        {"", ""},
        {" \t\r\n\v\f", ""},
        {" \t" + ideographic + "Chapter 1" + ideographic + "\t ", "Chapter 1"},
        {ideographic + ideographic, ""},
        // No-break, en, thin, narrow no-break, zero-width spaces, NEL, line separator, BOM.
        {"\xC2\xA0\xE2\x80\x82\xE2\x80\x89\xE2\x80\xAF\xE2\x80\x8B\xC2\x85\xE2\x80\xA8\xEF\xBB\xBF",
         ""},
        {"\xC2\xA0x\xC2\xA0", "x"},
        {"a b", "a b"},
        // Not blank: a lone byte of the ideographic space, stray continuation bytes, a
        // zero-width joiner, and the characters next to the blanks.
        {"\xE3\x80", "\xE3\x80"},
        {"\x80\x80\x80\x80 ", "\x80\x80\x80\x80"},
        {" \xE2\x80\x8D", "\xE2\x80\x8D"},
        {"\xE2\x80\x8C\xE3\x80\x81", "\xE2\x80\x8C\xE3\x80\x81"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trimBlanks(c.text), c.trimmed) << c.text;
        EXPECT_EQ(isBlank(c.text), c.trimmed.empty()) << c.text;
    }
}

}  // namespace
}  // namespace qb
