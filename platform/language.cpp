#include "platform/language.h"

namespace qb {

// Placeholder until the detector is wired in.
bool isLanguageTag(std::string_view tag) {
    return !tag.empty();
}

std::string detectLanguage(std::string_view) {
    return {};
}

}  // namespace qb
