#pragma once
// What the user is told when an error ends a piece of work.

#include <exception>
#include <new>
#include <string>

namespace qb {

// The message for an error that ended the work named by doing ("writing the pages of ..."):
// running out of memory says so and what was being done, since the library's own text
// ("std::bad_alloc") tells the user nothing; any other error says itself.
inline std::string failureMessage(const std::exception& error, const std::string& doing) {
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return "Out of memory while " + doing;
    return error.what();
}

}  // namespace qb
