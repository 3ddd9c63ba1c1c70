#pragma once
// Fonts that scripts/install-deps.sh installs, and fonts made from them for the tests.

#include <string>

namespace qb::test {

// A TrueType font (glyf outlines) with Latin, Greek and Cyrillic.
inline const char* const kLatinFont =
    "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
// An OpenType collection (CFF outlines) of Noto Serif CJK: #0 JP, #1 KR, #2 SC, #3 TC, #4 HK.
inline const char* const kCjkCollection = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc";

// The font bytes with the OS/2 table's embedding bits (fsType) set to bits.
std::string withEmbeddingBits(std::string font, unsigned bits);

}  // namespace qb::test
