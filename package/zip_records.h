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
