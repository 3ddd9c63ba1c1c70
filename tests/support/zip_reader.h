#pragma once
// A small, strict zip reader for the tests: it checks every record against the others and
// inflates each member through zlib, so a test sees exactly what an unpacker would.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace qb::test {

struct ZipMember {
    std::string name;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localOffset = 0;
    std::string raw;   // the member's bytes as stored
    std::string data;  // unpacked
};

struct ZipContents {
    std::vector<ZipMember> members;
    std::uint32_t centralOffset = 0;
    std::uint32_t centralSize = 0;

    std::vector<std::string> names() const;
};

// Throws std::runtime_error naming the first inconsistency found.
ZipContents readZip(const std::string& bytes);

// True when `unzip -t` passes the archive, or when unzip is not installed.
bool unzipAccepts(const std::string& path);

}  // namespace qb::test
