#pragma once
#include <string>

namespace qb {

// The language tag of the process locale: "ll-CC", "ll" without a country, "en-US" for an
// empty, C or POSIX locale. Read afresh at every call.
std::string languageTag();

// The charset of the process locale as iconv names it; "UTF-8" for C, POSIX or an empty locale.
std::string localeCharset();

}  // namespace qb
