#pragma once
// Checks of the values a user may give about a book, shared by the command line and the run.

#include <optional>
#include <string>
#include <string_view>

#include "book/book_project.h"

namespace qb {

// An ISBN-10 or ISBN-13 as typed ("978-0-14-143951-8", "ISBN 0 14 143951 6", "080442957x")
// without its hyphens, blanks and "ISBN" prefix, when its length and check digit are right.
std::optional<std::string> normalizedIsbn(std::string_view typed);

// YYYY, YYYY-MM or YYYY-MM-DD naming a real month and day (29 February only in leap years).
bool isPublicationDate(std::string_view text);

// A place in a series: a whole number or a decimal one ("3", "2.5"), as calibre takes it.
bool isSeriesIndex(std::string_view text);

// What is wrong with the details, naming the value, or empty when nothing is.
std::string detailsProblem(const BookDetails& details);

}  // namespace qb
