#pragma once
// The records of a zip archive and their exact byte layout.

#include <cstdint>
#include <ctime>
#include <string>

namespace qb {

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
// General-purpose flag bit 11: the stored name is UTF-8.
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;

inline constexpr std::size_t kLocalHeaderSize = 30;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndCentralSize = 22;

// Where each field of a record lies, for the writer and the reader of the central directory
// alike; kName is where the variable-length name begins.
namespace zip_local {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kVersionNeeded = 4;
constexpr std::size_t kFlags = 6;
constexpr std::size_t kMethod = 8;
constexpr std::size_t kTime = 10;
constexpr std::size_t kCrc = 14;
constexpr std::size_t kCompressedSize = 18;
constexpr std::size_t kUncompressedSize = 22;
constexpr std::size_t kNameLength = 26;
constexpr std::size_t kExtraLength = 28;
constexpr std::size_t kName = 30;
constexpr std::uint32_t kSignatureValue = 0x04034B50;
}  // namespace zip_local

namespace zip_central {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kVersionMadeBy = 4;
constexpr std::size_t kVersionNeeded = 6;
constexpr std::size_t kFlags = 8;
constexpr std::size_t kMethod = 10;
constexpr std::size_t kTime = 12;
constexpr std::size_t kCrc = 16;
constexpr std::size_t kCompressedSize = 20;
constexpr std::size_t kUncompressedSize = 24;
constexpr std::size_t kNameLength = 28;
constexpr std::size_t kExtraLength = 30;
constexpr std::size_t kCommentLength = 32;
constexpr std::size_t kDiskNumberStart = 34;
constexpr std::size_t kInternalAttributes = 36;
constexpr std::size_t kExternalAttributes = 38;
constexpr std::size_t kLocalHeaderOffset = 42;
constexpr std::size_t kName = 46;
constexpr std::uint32_t kSignatureValue = 0x02014B50;
}  // namespace zip_central

namespace zip_end {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kThisDisk = 4;
constexpr std::size_t kCentralDisk = 6;
constexpr std::size_t kEntriesThisDisk = 8;
constexpr std::size_t kTotalEntries = 10;
constexpr std::size_t kCentralSize = 12;
constexpr std::size_t kCentralOffset = 16;
constexpr std::size_t kCommentLength = 20;
constexpr std::uint32_t kSignatureValue = 0x06054B50;
}  // namespace zip_end

// Everything the archive records about one member. The values are those of a fresh record;
// the member writer fills in the rest.
struct TZipHeaderInfo {
    std::uint16_t versionMadeBy = 45;  // host 0, format 4.5
    std::uint16_t versionNeeded = 20;
    std::uint16_t flags = 0;
    std::uint16_t method = kMethodDeflated;
    std::uint32_t dosDateTime = 0;  // DOS time in the low 16 bits, DOS date in the high 16
    std::uint32_t crc32 = 0xFFFFFFFF;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 1;
    std::uint32_t externalAttributes = 0x20;
    std::uint32_t localHeaderOffset = 0;
    std::string fileName;
    std::string folderPart;  // empty, or ending in "/"

    std::string storedName() const { return folderPart + fileName; }
};

struct TEndCentral {
    std::uint16_t thisDisk = 0;
    std::uint16_t centralDisk = 0;
    std::uint16_t entriesThisDisk = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t centralSize = 0;
    std::uint32_t centralOffset = 0;
};

// The local file header, immediately followed in the archive by the member's data.
std::string localFileHeader(const TZipHeaderInfo& header);
// One central directory header.
std::string centralDirectoryHeader(const TZipHeaderInfo& header);
// The end of central directory record, without comment.
std::string endOfCentralDirectory(const TEndCentral& end);

// A time as local DOS time and date, two-second resolution. Times before 1980 become
// 1980-01-01 00:00:00 and times after 2107 become 2107-12-31 23:59:58, the ends of the range
// the fields can hold.
std::uint32_t dosDateTime(std::time_t time);

}  // namespace qb
