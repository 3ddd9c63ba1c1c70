#include "cli/book_defaults.h"

#include "convert/book_defaults.h"

namespace qb {

std::vector<std::string> fillBookDefaults(CliOptions& options) {
    TypedFields typed;
    typed.title = options.titleGiven;
    typed.author = options.authorGiven;
    typed.language = options.languageGiven;
    return settleBookDefaults(options.project, typed);
}

}  // namespace qb
