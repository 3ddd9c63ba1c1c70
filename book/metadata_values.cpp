#include "book/metadata_values.h"

#include "platform/ascii.h"

namespace qb {
namespace {

bool allDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

int number(std::string_view digits) {
    int n = 0;
    for (const char c : digits) n = n * 10 + (c - '0');
    return n;
}

}  // namespace

std::optional<std::string> normalizedIsbn(std::string_view typed) {
    std::string_view rest = typed;
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (lowerAscii(rest.substr(0, 4)) == "isbn") {
        rest.remove_prefix(4);
        if (rest.substr(0, 3) == "-10" || rest.substr(0, 3) == "-13") rest.remove_prefix(3);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == ':')) rest.remove_prefix(1);
    }
    std::string isbn;
    for (const char c : rest) {
        if (c == '-' || c == ' ') continue;
        isbn += c == 'x' ? 'X' : c;
    }
    if (isbn.size() == 13 && allDigits(isbn)) {
        // Weights 1, 3, 1, 3, ... make the sum of all thirteen a multiple of ten.
        int sum = 0;
        for (std::size_t i = 0; i < 13; ++i) sum += (isbn[i] - '0') * (i % 2 == 0 ? 1 : 3);
        if (sum % 10 != 0) return std::nullopt;
        if (isbn.compare(0, 3, "978") != 0 && isbn.compare(0, 3, "979") != 0) return std::nullopt;
        return isbn;
    }
    if (isbn.size() == 10 && allDigits(std::string_view(isbn).substr(0, 9)) &&
        (isbn[9] == 'X' || (isbn[9] >= '0' && isbn[9] <= '9'))) {
        // Weights 10 down to 1 make the sum a multiple of eleven; "X" stands for ten.
        int sum = 0;
        for (std::size_t i = 0; i < 10; ++i) {
            const int digit = isbn[i] == 'X' ? 10 : isbn[i] - '0';
            sum += digit * static_cast<int>(10 - i);
        }
        if (sum % 11 != 0) return std::nullopt;
        return isbn;
    }
    return std::nullopt;
}

bool isPublicationDate(std::string_view text) {
    if (text.size() != 4 && text.size() != 7 && text.size() != 10) return false;
    if (!allDigits(text.substr(0, 4))) return false;
    if (text.size() == 4) return true;
    if (text[4] != '-' || !allDigits(text.substr(5, 2))) return false;
    const int month = number(text.substr(5, 2));
    if (month < 1 || month > 12) return false;
    if (text.size() == 7) return true;
    if (text[7] != '-' || !allDigits(text.substr(8, 2))) return false;
    const int year = number(text.substr(0, 4));
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int day = number(text.substr(8, 2));
    return day >= 1 && day <= days[month - 1];
}

bool isSeriesIndex(std::string_view text) {
    const std::size_t dot = text.find('.');
    if (text.size() > 12) return false;
    if (dot == std::string_view::npos) return allDigits(text);
    return allDigits(text.substr(0, dot)) && allDigits(text.substr(dot + 1));
}

std::string detailsProblem(const BookDetails& details) {
    if (!details.date.empty() && !isPublicationDate(details.date))
        return "The date \"" + details.date +
               "\" is not a date such as 1897, 1897-05 or 1897-05-26.";
    if (!details.isbn.empty() && normalizedIsbn(details.isbn) != details.isbn)
        return "The ISBN \"" + details.isbn +
               "\" is not an ISBN-10 or ISBN-13 with its check digit.";
    if (!details.seriesIndex.empty() && !isSeriesIndex(details.seriesIndex))
        return "The place in the series \"" + details.seriesIndex +
               "\" is not a number such as 3 or 2.5.";
    return {};
}

}  // namespace qb
