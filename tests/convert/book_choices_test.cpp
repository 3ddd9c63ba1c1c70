// The book's choices as both programs read and check them.

#include "convert/book_choices.h"

#include <gtest/gtest.h>

#include "book/chapter_headings.h"
#include "platform/errors.h"
#include "tests/support/choice_cases.h"

namespace qb {
namespace {

BookChoice choiceOf(const std::string& option) {
    for (int i = 0; i <= static_cast<int>(BookChoice::ParagraphStyle); ++i) {
        if (choiceOption(static_cast<BookChoice>(i)) == option) return static_cast<BookChoice>(i);
    }
    ADD_FAILURE() << "no choice is given as " << option;
    return BookChoice::Chapters;
}

// The same rows the command line is run with: the same words, after the option's name.
TEST(BookChoices, WrongWordsAreNamedAsTheCommandLineNamesThem) {
    for (const test::ChoiceCase& c : test::wrongChoiceCases()) {
        BookProject project;
        const ChoiceProblem problem = readChoiceWords({{choiceOf(c.option), c.typed}}, project);
        EXPECT_EQ(std::string(choiceOption(problem.choice)) + ": " + problem.text,
                  c.option + ": " + c.message);
        // The check compiles a pattern as the reader does: what it refuses, the reader would.
        if (c.option == "--chapters" && !c.typed.empty()) {
            EXPECT_THROW(ChapterHeadings{c.typed}, Error) << c.typed;
        }
    }
}

TEST(BookChoices, WordsMeanTheSameToBothPrograms) {
    BookProject project;
    EXPECT_FALSE(readChoiceWords({{BookChoice::Chapters, "OFF"},
                                  {BookChoice::Language, "AUTO"},
                                  {BookChoice::Paragraphs, "Blocks"},
                                  {BookChoice::Encoding, "latin1"}},
                                 project));
    // A pattern is case-sensitive, so only "off" and "auto" name the other modes.
    EXPECT_EQ(project.chapterMode, ChapterMode::Pattern);
    EXPECT_EQ(project.chapterPattern, "OFF");
    EXPECT_EQ(project.language, "auto");
    EXPECT_EQ(project.paragraphs, ParagraphMode::Blocks);
    EXPECT_EQ(project.charset, "latin1");
    for (const auto& [word, mode] :
         {std::pair{"off", ChapterMode::Off}, {"auto", ChapterMode::Auto}}) {
        EXPECT_FALSE(readChoiceWords({{BookChoice::Chapters, word}}, project));
        EXPECT_EQ(project.chapterMode, mode);
        EXPECT_EQ(project.chapterPattern, "");
    }
    // Choices the window sets without words are checked all the same.
    project.chapterMode = ChapterMode::Pattern;
    project.chapterPattern = "auto";
    EXPECT_FALSE(choicesProblem(project));
    project.chapterPattern = "[a-";
    EXPECT_EQ(choicesProblem(project).choice, BookChoice::Chapters);
}

}  // namespace
}  // namespace qb
