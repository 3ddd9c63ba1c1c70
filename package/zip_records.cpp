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

}  // namespace

std::string localFileHeader(const TZipHeaderInfo& header) {
    const std::string name = header.storedName();
    std::string record(kLocalHeaderSize + name.size(), '\0');
    put32(record, zip_local::kSignature, zip_local::kSignatureValue);
    put16(record, zip_local::kVersionNeeded, header.versionNeeded);
    put16(record, zip_local::kFlags, header.flags);
    put16(record, zip_local::kMethod, header.method);
    put32(record, zip_local::kTime, header.dosDateTime);
    put32(record, zip_local::kCrc, header.crc32);
    put32(record, zip_local::kCompressedSize, header.compressedSize);
    put32(record, zip_local::kUncompressedSize, header.uncompressedSize);
    put16(record, zip_local::kNameLength, static_cast<std::uint16_t>(name.size()));
    put16(record, zip_local::kExtraLength, 0);
    record.replace(zip_local::kName, name.size(), name);
    return record;
}

std::string centralDirectoryHeader(const TZipHeaderInfo& header) {
    const std::string name = header.storedName();
    std::string record(kCentralHeaderSize + name.size(), '\0');
    put32(record, zip_central::kSignature, zip_central::kSignatureValue);
    put16(record, zip_central::kVersionMadeBy, header.versionMadeBy);
    put16(record, zip_central::kVersionNeeded, header.versionNeeded);
    put16(record, zip_central::kFlags, header.flags);
    put16(record, zip_central::kMethod, header.method);
    put32(record, zip_central::kTime, header.dosDateTime);
    put32(record, zip_central::kCrc, header.crc32);
    put32(record, zip_central::kCompressedSize, header.compressedSize);
    put32(record, zip_central::kUncompressedSize, header.uncompressedSize);
    put16(record, zip_central::kNameLength, static_cast<std::uint16_t>(name.size()));
    put16(record, zip_central::kExtraLength, 0);
    put16(record, zip_central::kCommentLength, 0);
    put16(record, zip_central::kDiskNumberStart, header.diskNumberStart);
    put16(record, zip_central::kInternalAttributes, header.internalAttributes);
    put32(record, zip_central::kExternalAttributes, header.externalAttributes);
    put32(record, zip_central::kLocalHeaderOffset, header.localHeaderOffset);
    record.replace(zip_central::kName, name.size(), name);
    return record;
}

std::string endOfCentralDirectory(const TEndCentral& endRecord) {
    std::string record(kEndCentralSize, '\0');
    put32(record, zip_end::kSignature, zip_end::kSignatureValue);
    put16(record, zip_end::kThisDisk, endRecord.thisDisk);
    put16(record, zip_end::kCentralDisk, endRecord.centralDisk);
    put16(record, zip_end::kEntriesThisDisk, endRecord.entriesThisDisk);
    put16(record, zip_end::kTotalEntries, endRecord.totalEntries);
    put32(record, zip_end::kCentralSize, endRecord.centralSize);
    put32(record, zip_end::kCentralOffset, endRecord.centralOffset);
    put16(record, zip_end::kCommentLength, 0);
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
