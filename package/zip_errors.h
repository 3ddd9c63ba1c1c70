#pragma once
// The errors the zip writer raises; their messages are shown to the user as they stand.

#include <string>

#include "platform/errors.h"

namespace qb {

// A write to the archive stored fewer bytes than it was given: the disk is full.
class ENotEnoughRoom : public Error {
  public:
    ENotEnoughRoom() : Error("Not enough room to write archive") {}
};

// zlib refused to compress.
class EZCompressionError : public Error {
  public:
    EZCompressionError() : Error("error") {}
};

// The archive would need ZIP64 records, which this writer does not produce; the message names
// the limit that would have been crossed.
class EZipLimit : public Error {
  public:
    using Error::Error;
};

}  // namespace qb
