#pragma once
// Book choices given as words that neither program takes, with what both say about them: the
// command line after the option's name, the window after the choice's label.

#include <string>
#include <vector>

namespace qb::test {

struct ChoiceCase {
    std::string option;  // the command line's option
    std::string typed;
    std::string message;
};

inline const std::vector<ChoiceCase>& wrongChoiceCases() {
    static const std::vector<ChoiceCase> cases = {
        {"--paragraphs", "words", "\"words\" is not one of lines, blocks, auto"},
        {"--conventions", "some", "\"some\" is neither auto nor none"},
        {"--toc-labels", "chapter", "\"chapter\" is not one of page, file, first-line"},
        {"--chapters", "(Chapter",
         "invalid pattern \"(Chapter\": missing closing parenthesis at offset 8"},
        // Compiled as the reader compiles it: UTF-8 with Unicode classes, so a stray byte fails.
        {"--chapters", "Kapitel \xFF",
         "invalid pattern \"Kapitel \xFF\": UTF-8 error: illegal byte (0xfe or 0xff) at offset 8"},
        {"--chapters", "", "an empty pattern matches no heading"},
        {"--max-page-kb", "-1", "\"-1\" is not a whole number of KiB (0 for no limit)"},
        {"--max-page-kb", "12k", "\"12k\" is not a whole number of KiB (0 for no limit)"},
        {"--max-page-kb", "99999999999999999999",
         "\"99999999999999999999\" is not a whole number of KiB (0 for no limit)"},
        {"--language", "", "\"\" is not a language tag such as de, zh-CN or pt-BR, nor auto"},
        {"--language", "not a tag!",
         "\"not a tag!\" is not a language tag such as de, zh-CN or pt-BR, nor auto"},
        {"--encoding", "NO-SUCH-CHARSET-42", "unknown charset \"NO-SUCH-CHARSET-42\""},
        // Names iconv would read as the locale's charset, or as a charset with error handlers.
        {"--encoding", "", "unknown charset \"\""},
        {"--encoding", " ", "unknown charset \" \""},
        {"--encoding", "*", "unknown charset \"*\""},
        {"--encoding", "UTF-8//IGNORE", "unknown charset \"UTF-8//IGNORE\""},
        {"--writing-mode", "sideways", "\"sideways\" is not one of horizontal, vertical, auto"},
        {"--epub-version", "4", "\"4\" is neither 2 nor 3"},
        {"--paragraph-style", "plain", "\"plain\" is neither indent nor spaced"},
    };
    return cases;
}

}  // namespace qb::test
