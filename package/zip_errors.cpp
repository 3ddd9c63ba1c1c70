#include "package/zip_errors.h"

#include <zlib.h>

#include "platform/utf8.h"

namespace qb {

namespace {

// 65534 -> "65,534"
std::string withThousands(std::size_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string archiveIntro(const std::string& archive) {
    return "Cannot write archive \"" + archive + "\": ";
}

}  // namespace

EZCompressionError::EZCompressionError(const std::string& storedName, int code, const char* message)
    : Error("error: zlib could not compress \"" + storedName +
            "\": " + (message != nullptr ? message : zError(code)) + " (return code " +
            std::to_string(code) + ")") {}

ZipLimitError memberTooLarge(const std::string& archive, const std::string& storedName) {
    return ZipLimitError(archiveIntro(archive) + "the file \"" + storedName +
                         "\" is 4 GiB or larger, more than a zip archive without ZIP64 records "
                         "can hold");
}

ZipLimitError memberGrewTooLarge(const std::string& archive, const std::string& storedName) {
    return ZipLimitError(archiveIntro(archive) + "the file \"" + storedName +
                         "\" grew to 4 GiB or more while it was packed, more than a zip archive "
                         "without ZIP64 records can hold");
}

ZipLimitError memberNameTooLong(const std::string& archive, const std::string& storedName) {
    // The name itself is too long to show; its start, cut between characters, says which one
    // it is.
    const std::size_t cut = utf8CutBefore(storedName, 60);
    return ZipLimitError(archiveIntro(archive) + "the name of the file \"" +
                         storedName.substr(0, cut) + "...\" is longer than 65,535 bytes");
}

ZipLimitError tooManyMembers(const std::string& archive, std::size_t files) {
    return ZipLimitError(archiveIntro(archive) + "the book has " + withThousands(files) +
                         " files, more than the 65,534 a zip archive without ZIP64 records holds");
}

namespace {

std::string missingText(const std::vector<std::string>& missing) {
    std::string text = "The book's file \"" + missing.front() + "\" is missing from the archive";
    if (missing.size() > 1) text += " (and " + std::to_string(missing.size() - 1) + " more)";
    return text;
}

}  // namespace

IncompleteArchive::IncompleteArchive(const std::vector<std::string>& missing)
    : Error(missingText(missing)) {}

}  // namespace qb
