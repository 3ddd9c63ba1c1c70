#pragma once
// Language tags for the book: checking a tag the user typed, and finding the language of a text.

#include <string>
#include <string_view>

namespace qb {

// True when tag is a well-formed BCP 47 language tag ("de", "zh-CN", "zh-Hant-TW", "sr-Latn",
// "es-419", "en-GB-oxendict", "x-private"). Only the syntax is checked, case-insensitively.
bool isLanguageTag(std::string_view tag);

// The language of a sample of UTF-8 text as a BCP 47 tag ("zh-Hans", "de", ...), or empty when
// the text is too short or the detector is not confident.
std::string detectLanguage(std::string_view utf8Text);

}  // namespace qb
