#include "convert/book_choices.h"

namespace qb {

void readChapterWord(const std::string& word, BookProject& project) {
    project.chapterPattern.clear();
    if (word == "off") {
        project.chapterMode = ChapterMode::Off;
    } else if (word == "auto") {
        project.chapterMode = ChapterMode::Auto;
    } else {
        project.chapterMode = ChapterMode::Pattern;
        project.chapterPattern = word;
    }
}

}  // namespace qb
