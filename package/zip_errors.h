#pragma once
// The errors the zip writer raises; their messages are shown to the user as they stand.

#include <string>
#include <vector>

#include "platform/errors.h"

namespace qb {

// A write to the archive stored fewer bytes than it was given: the disk is full.
class ENotEnoughRoom : public Error {
  public:
    ENotEnoughRoom() : Error("Not enough room to write archive") {}
};

// zlib refused to compress: the member, and zlib's reason and return code. message is zlib's
// own (z_stream::msg) and may be null.
class EZCompressionError : public Error {
  public:
    EZCompressionError(const std::string& storedName, int code, const char* message);
};

// The archive would need ZIP64 records, which this writer does not produce; the message names
// the archive and the limit that would have been crossed.
class ZipLimitError : public Error {
  public:
    using Error::Error;
};

// The limits, in the user's terms: the archive they asked for, the member's name in the book.
ZipLimitError memberTooLarge(const std::string& archive, const std::string& storedName);
ZipLimitError memberGrewTooLarge(const std::string& archive, const std::string& storedName);
ZipLimitError memberNameTooLong(const std::string& archive, const std::string& storedName);
ZipLimitError tooManyMembers(const std::string& archive, std::size_t files);

// A file appeared at the target while the book was packed, and nobody agreed to replace it.
class ArchiveAppearedError : public Error {
  public:
    explicit ArchiveAppearedError(const std::string& archive)
        : Error("\"" + archive + "\" appeared while the book was packed; it was not replaced") {}
};

// The build was stopped because its owner asked to (see TVCLZip::setCancelled). Not an Error:
// nothing went wrong, and no handler of errors must take it for one.
struct ZipCancelled {};

// The finished archive lacks members it was required to hold (a file that vanished while it was
// packed, two names taken for one): "The book's file "<first>" is missing from the archive"
// and how many more.
class IncompleteArchive : public Error {
  public:
    explicit IncompleteArchive(const std::vector<std::string>& missing);
};

}  // namespace qb
