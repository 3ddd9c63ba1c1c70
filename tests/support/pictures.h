#pragma once
// Tiny whole pictures for covers: each decodes without a fault.

#include <string>

namespace qb::test {

// An 8 x 8 grey ramp.
std::string jpegPicture();
std::string pngPicture();
// One white pixel.
std::string gifPicture();

}  // namespace qb::test
