#pragma once
// The conventions plain-text books are written in, as markers in their lines: where a Project
// Gutenberg header ends and its footer begins, scene breaks, _emphasis_, a contents list's
// heading.

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace qb {

enum class GutenbergMark { None, Start, End };

// "*** START OF THE PROJECT GUTENBERG EBOOK …" (or "THIS"), "*** END OF …", for a trimmed line.
GutenbergMark gutenbergMark(std::string_view trimmedLine);

// A line of only three or more of the same mark, spaces allowed between ("* * *", "***",
// "~ ~ ~", "———", "＊＊＊", "※※※", "◇◇◇"), or a lone "#": a break between scenes.
bool isSceneBreak(std::string_view trimmedLine);

// "CONTENTS", "Contents", "Table of Contents", "目录", "目次": a contents list follows.
bool isContentsHeading(std::string_view trimmedLine);

// The pairs of underscores in a paragraph that mark emphasis: an opening one after a word's
// boundary and before a non-blank, a closing one after a non-blank and before a boundary, each
// opening paired with the nearest closing after it. Byte offsets of the two underscores.
std::vector<std::pair<std::size_t, std::size_t>> emphasisPairs(std::string_view text);

}  // namespace qb
