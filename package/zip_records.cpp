#include "package/zip_records.h"

namespace qb {

namespace {

void put16(std::string& record, std::size_t offset, std::uint16_t value) {
    record[offset] = static_cast<char>(value & 0xFF);
    record[offset + 1] = static_cast<char>(value >> 8);
}

void put32(std::string& record, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) record[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

namespace local {
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
}  // namespace local

namespace central {
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
}  // namespace central

namespace end {
constexpr std::size_t kSignature = 0;
constexpr std::size_t kThisDisk = 4;
constexpr std::size_t kCentralDisk = 6;
constexpr std::size_t kEntriesThisDisk = 8;
constexpr std::size_t kTotalEntries = 10;
constexpr std::size_t kCentralSize = 12;
constexpr std::size_t kCentralOffset = 16;
constexpr std::size_t kCommentLength = 20;
constexpr std::uint32_t kSignatureValue = 0x06054B50;
}  // namespace end

}  // namespace

std::string localFileHeader(const TZipHeaderInfo& header) {
    const std::string name = header.storedName();
    std::string record(kLocalHeaderSize + name.size(), '\0');
    put32(record, local::kSignature, local::kSignatureValue);
    put16(record, local::kVersionNeeded, header.versionNeeded);
    put16(record, local::kFlags, header.flags);
    put16(record, local::kMethod, header.method);
    put32(record, local::kTime, header.dosDateTime);
    put32(record, local::kCrc, header.crc32);
    put32(record, local::kCompressedSize, header.compressedSize);
    put32(record, local::kUncompressedSize, header.uncompressedSize);
    put16(record, local::kNameLength, static_cast<std::uint16_t>(name.size()));
    put16(record, local::kExtraLength, 0);
    record.replace(local::kName, name.size(), name);
    return record;
}

std::string centralDirectoryHeader(const TZipHeaderInfo& header) {
    const std::string name = header.storedName();
    std::string record(kCentralHeaderSize + name.size(), '\0');
    put32(record, central::kSignature, central::kSignatureValue);
    put16(record, central::kVersionMadeBy, header.versionMadeBy);
    put16(record, central::kVersionNeeded, header.versionNeeded);
    put16(record, central::kFlags, header.flags);
    put16(record, central::kMethod, header.method);
    put32(record, central::kTime, header.dosDateTime);
    put32(record, central::kCrc, header.crc32);
    put32(record, central::kCompressedSize, header.compressedSize);
    put32(record, central::kUncompressedSize, header.uncompressedSize);
    put16(record, central::kNameLength, static_cast<std::uint16_t>(name.size()));
    put16(record, central::kExtraLength, 0);
    put16(record, central::kCommentLength, 0);
    put16(record, central::kDiskNumberStart, header.diskNumberStart);
    put16(record, central::kInternalAttributes, header.internalAttributes);
    put32(record, central::kExternalAttributes, header.externalAttributes);
    put32(record, central::kLocalHeaderOffset, header.localHeaderOffset);
    record.replace(central::kName, name.size(), name);
    return record;
}

std::string endOfCentralDirectory(const TEndCentral& endRecord) {
    std::string record(kEndCentralSize, '\0');
    put32(record, end::kSignature, end::kSignatureValue);
    put16(record, end::kThisDisk, endRecord.thisDisk);
    put16(record, end::kCentralDisk, endRecord.centralDisk);
    put16(record, end::kEntriesThisDisk, endRecord.entriesThisDisk);
    put16(record, end::kTotalEntries, endRecord.totalEntries);
    put32(record, end::kCentralSize, endRecord.centralSize);
    put32(record, end::kCentralOffset, endRecord.centralOffset);
    put16(record, end::kCommentLength, 0);
    return record;
}

std::uint32_t dosDateTime(std::time_t time) {
    std::tm local{};
    if (::localtime_r(&time, &local) == nullptr || local.tm_year < 80) {
        return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    }
    if (local.tm_year > 207) {
        return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    }
    const std::uint32_t date = static_cast<std::uint32_t>(local.tm_year - 80) << 9 |
                               static_cast<std::uint32_t>(local.tm_mon + 1) << 5 |
                               static_cast<std::uint32_t>(local.tm_mday);
    const std::uint32_t timeOfDay = static_cast<std::uint32_t>(local.tm_hour) << 11 |
                                    static_cast<std::uint32_t>(local.tm_min) << 5 |
                                    static_cast<std::uint32_t>(local.tm_sec / 2);
    return date << 16 | timeOfDay;
}

}  // namespace qb
