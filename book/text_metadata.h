#pragma once
// The title and author a text names itself, and those its file name gives.
//
// A Project Gutenberg header names them in "Title:" and "Author:" lines (continued on indented
// lines) before its "*** START OF" line, with a "Language:" line beside them. An Aozora Bunko
// file opens with its title, an optional subtitle and its author, above the dashed legend block
// that explains its markup. Chinese texts open with "《书名》作者",
// "《书名》（校对版全本）作者：某某" or "书名 作者：某某", and are often named that way too
// ("《希灵帝国》作者：远瞳.txt").

#include <cstddef>
#include <string>
#include <string_view>

namespace qb {

struct TextMetadata {
    std::string title;     // empty: not named
    std::string author;    // empty: not named
    std::string language;  // a BCP 47 tag from a Gutenberg "Language:" line; empty: none
};

// How much of a text's start the metadata is looked for in.
inline constexpr std::size_t kMetadataHeadBytes = 64 * 1024;

// What the start of a text (UTF-8, cut anywhere) names.
TextMetadata readTextMetadata(std::string_view head);

// True for a text that opens as an Aozora Bunko file: a few short lines, then the dashed line
// that opens the legend block ("【テキスト中に現れる記号について】").
bool isAozoraText(std::string_view head);

// Title and author from a file name (the name without folders; its extension is dropped): the
// Chinese first-line forms, else the whole name as the title. Bytes that are not UTF-8 become
// U+FFFD, so that the title can go into the book as it is.
TextMetadata metadataFromFileName(std::string_view fileName);

}  // namespace qb
