#include "tests/support/zip_reader.h"

#include <zlib.h>

#include "tests/support/program_runner.h"

namespace qb::test {

namespace {

std::uint16_t get16(const std::string& b, std::size_t at) {
    if (at + 2 > b.size()) throw std::runtime_error("record runs past the end of the archive");
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t get32(const std::string& b, std::size_t at) {
    return get16(b, at) | static_cast<std::uint32_t>(get16(b, at + 2)) << 16;
}

void expect(bool condition, const std::string& what) {
    if (!condition) throw std::runtime_error(what);
}

std::string inflateRaw(const std::string& raw, std::size_t expectedSize) {
    z_stream stream{};
    expect(inflateInit2(&stream, -15) == Z_OK, "inflateInit2 failed");
    std::string out(expectedSize + 1, '\0');  // one spare byte catches overlong data
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    stream.avail_in = static_cast<uInt>(raw.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const std::size_t produced = out.size() - stream.avail_out;
    const uInt left = stream.avail_in;
    inflateEnd(&stream);
    expect(result == Z_STREAM_END, "deflate stream does not end where the member ends");
    expect(left == 0, "bytes left after the deflate stream");
    out.resize(produced);
    return out;
}

}  // namespace

std::vector<std::string> ZipContents::names() const {
    std::vector<std::string> result;
    for (const ZipMember& m : members) result.push_back(m.name);
    return result;
}

ZipContents readZip(const std::string& b) {
    expect(b.size() >= 22, "shorter than an end record");
    const std::size_t endAt = b.size() - 22;
    expect(get32(b, endAt) == 0x06054B50, "no end record in the last 22 bytes");
    expect(get16(b, endAt + 4) == 0 && get16(b, endAt + 6) == 0, "disk numbers not 0");
    const std::uint16_t entries = get16(b, endAt + 8);
    expect(get16(b, endAt + 10) == entries, "entry counts differ");
    ZipContents zip;
    zip.centralSize = get32(b, endAt + 12);
    zip.centralOffset = get32(b, endAt + 16);
    expect(get16(b, endAt + 20) == 0, "archive comment present");
    expect(std::size_t{zip.centralOffset} + zip.centralSize == endAt,
           "central directory does not end at the end record");

    std::size_t at = zip.centralOffset;
    std::size_t nextLocal = 0;  // members must stand back to back from offset 0
    for (int i = 0; i < entries; ++i) {
        expect(get32(b, at) == 0x02014B50, "bad central header signature");
        ZipMember m;
        m.versionMadeBy = get16(b, at + 4);
        m.versionNeeded = get16(b, at + 6);
        m.flags = get16(b, at + 8);
        m.method = get16(b, at + 10);
        m.dosDateTime = get32(b, at + 12);
        m.crc = get32(b, at + 16);
        m.compressedSize = get32(b, at + 20);
        m.uncompressedSize = get32(b, at + 24);
        const std::uint16_t nameLength = get16(b, at + 28);
        expect(get16(b, at + 30) == 0 && get16(b, at + 32) == 0, "central extra or comment");
        expect(get16(b, at + 34) == 0, "disk number start not 0");
        m.internalAttributes = get16(b, at + 36);
        m.externalAttributes = get32(b, at + 38);
        m.localOffset = get32(b, at + 42);
        m.name = b.substr(at + 46, nameLength);
        at += 46 + nameLength;

        const std::size_t l = m.localOffset;
        expect(l == nextLocal, "member " + m.name + " not where the previous one ends");
        expect(get32(b, l) == 0x04034B50, "bad local header signature for " + m.name);
        expect(get16(b, l + 4) == m.versionNeeded && get16(b, l + 6) == m.flags &&
                   get16(b, l + 8) == m.method && get32(b, l + 10) == m.dosDateTime &&
                   get32(b, l + 14) == m.crc && get32(b, l + 18) == m.compressedSize &&
                   get32(b, l + 22) == m.uncompressedSize,
               "local header of " + m.name + " disagrees with the central directory");
        expect(get16(b, l + 26) == nameLength && b.compare(l + 30, nameLength, m.name) == 0,
               "local name of " + m.name + " differs");
        expect(get16(b, l + 28) == 0, "local extra field in " + m.name);
        m.raw = b.substr(l + 30 + nameLength, m.compressedSize);
        expect(m.raw.size() == m.compressedSize, "data of " + m.name + " cut short");
        nextLocal = l + 30 + nameLength + m.compressedSize;

        if (m.method == 0) {
            m.data = m.raw;
        } else {
            expect(m.method == 8, "unknown method in " + m.name);
            m.data = inflateRaw(m.raw, m.uncompressedSize);
        }
        expect(m.data.size() == m.uncompressedSize, "size of " + m.name + " is wrong");
        const auto crc = static_cast<std::uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())));
        expect(crc == m.crc, "CRC of " + m.name + " is wrong");
        zip.members.push_back(std::move(m));
    }
    expect(at == endAt, "central directory size is wrong");
    expect(nextLocal == zip.centralOffset, "gap before the central directory");
    return zip;
}

bool unzipAccepts(const std::string& path) {
#ifdef QB_UNZIP
    // No shell between: a path may hold any character.
    return runProgram({QB_UNZIP, "-tqq", path}).exitStatus == 0;
#else
    (void)path;
    return true;
#endif
}

}  // namespace qb::test
