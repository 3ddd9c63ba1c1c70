#pragma once
// Whether a cover picture is whole: a picture cut short (an interrupted download given as
// -c <(curl ...)) has the right signature but cannot be shown, and checkers refuse the book.

#include <string>
#include <string_view>

namespace qb {

// Why the JPEG, PNG or GIF picture in bytes cannot be decoded whole, or empty when it can.
// The picture is decoded, not only its signature read: a picture that ends early, has no
// size or breaks its own structure is named, while the small flaws that readers pass over
// (extra bytes between JPEG markers, a bad checksum on an optional PNG chunk) are not.
std::string pictureFault(std::string_view bytes);

// Throws Error naming path when pictureFault finds a fault in bytes.
void checkPicture(std::string_view bytes, const std::string& path);

}  // namespace qb
