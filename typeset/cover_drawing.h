#pragma once
// A cover picture drawn from the title and the author, for a book given none, so that it is not
// a blank tile in a reader's library.

#include <string>
#include <vector>

namespace qb {

// The 1:1.6 shape the stores ask for, large enough for any reader's screen.
inline constexpr int kCoverWidth = 1600;
inline constexpr int kCoverHeight = 2560;
// Rows drawn and handed to the JPEG encoder at a time: the picture is never held whole, so a
// cover costs a band's memory with the lines of text that cross it (about 3 MiB), not 28 MiB.
inline constexpr int kCoverBandRows = 128;

struct DrawnCover {
    std::string jpeg;  // the picture, kCoverWidth x kCoverHeight
    // Characters of the title or the author that no installed font could show: they are drawn
    // as boxes, and the user should hear of it. Each once, in the order met.
    std::vector<char32_t> missingCharacters;
};

// Draws the cover: the title large, wrapped and shrunk to fit the upper part, the author below;
// a title too long even at the smallest size ends in an ellipsis. The background colour follows
// from the title, so that a shelf of books is not one colour. languageTag ("zh-CN", "ja") picks
// the regional forms of Han characters. Any UTF-8 is drawn (invalid bytes as U+FFFD). Raises
// Error when the picture cannot be made (no memory, say). Any bandRows gives the same picture.
DrawnCover drawCover(const std::string& title, const std::string& author,
                     const std::string& languageTag, int bandRows = kCoverBandRows);

// The characters as text for a message: "U+0B95 'க', U+0B9F 'ட'".
std::string describeCharacters(const std::vector<char32_t>& characters);

}  // namespace qb
