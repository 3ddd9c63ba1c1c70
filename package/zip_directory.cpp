#include "package/zip_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <zlib.h>

#include "package/zip_records.h"
#include "platform/errors.h"
#include "platform/unique_fd.h"

namespace qb {

namespace {

constexpr std::size_t kLongestComment = 0xFFFF;

std::uint16_t get16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t get32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(get16(b, at)) | static_cast<std::uint32_t>(get16(b, at + 2))
                                                          << 16;
}

// What the central directory says of one member.
struct Entry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t localHeaderOffset = 0;
};

class DirectoryReader {
  public:
    explicit DirectoryReader(const std::string& path) : m_path(path) {}
    DirectoryReader(int fd, const std::string& path) : m_path(path), m_fd(fd) {}

    std::vector<std::string> read() {
        std::vector<std::string> names;
        for (Entry& entry : entries()) names.push_back(std::move(entry.name));
        return names;
    }

    std::string member(const std::string& name, std::size_t maxBytes) {
        for (const Entry& entry : entries()) {
            if (entry.name != name) continue;
            if (entry.uncompressedSize > maxBytes || entry.compressedSize > maxBytes)
                fail("its member " + name + " is larger than " + std::to_string(maxBytes) +
                     " bytes");
            const std::string local = bytesAt(entry.localHeaderOffset, kLocalHeaderSize);
            if (get32(local, zip_local::kSignature) != zip_local::kSignatureValue)
                fail("its member " + name + " has no local header");
            const std::uint64_t dataStart =
                std::uint64_t{entry.localHeaderOffset} + kLocalHeaderSize +
                get16(local, zip_local::kNameLength) + get16(local, zip_local::kExtraLength);
            const std::string data = bytesAt(dataStart, entry.compressedSize);
            if (entry.method == kMethodStored) return data;
            if (entry.method != kMethodDeflated)
                fail("its member " + name + " is packed by method " + std::to_string(entry.method));
            return inflated(data, entry.uncompressedSize, name);
        }
        fail("it has no member " + name);
    }

  private:
    std::vector<Entry> entries() {
        if (m_fd < 0) {
            // Non-blocking: a FIFO at the path must not hang the run; a file reads the same.
            m_owned =
                UniqueFd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
            if (!m_owned) fail(std::strerror(errno));
            m_fd = m_owned.get();
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) fail(std::strerror(errno));
        if (!S_ISREG(st.st_mode)) fail("it is not a regular file");
        const auto size = static_cast<std::uint64_t>(st.st_size);
        if (size < kEndCentralSize) fail("it is too short to be a zip archive");

        // The end record sits in the last 22 bytes plus a comment of at most 64 KiB.
        const std::uint64_t tailStart =
            size > kEndCentralSize + kLongestComment ? size - kEndCentralSize - kLongestComment : 0;
        const std::string tail = bytesAt(tailStart, size - tailStart);
        std::size_t end = std::string::npos;
        for (std::size_t at = tail.size() - kEndCentralSize + 1; at-- > 0;) {
            if (get32(tail, at) == zip_end::kSignatureValue &&
                at + kEndCentralSize + get16(tail, at + zip_end::kCommentLength) == tail.size()) {
                end = at;
                break;
            }
        }
        if (end == std::string::npos) fail("it has no end of central directory record");

        const std::uint16_t entries = get16(tail, end + zip_end::kTotalEntries);
        const std::uint32_t centralSize = get32(tail, end + zip_end::kCentralSize);
        const std::uint32_t centralOffset = get32(tail, end + zip_end::kCentralOffset);
        if (entries == 0xFFFF || centralSize == 0xFFFFFFFF || centralOffset == 0xFFFFFFFF)
            fail("it uses ZIP64 records, which this check does not read");
        if (get16(tail, end + zip_end::kEntriesThisDisk) != entries) fail("it spans several disks");
        const std::uint64_t endOffset = tailStart + end;
        if (std::uint64_t{centralOffset} + centralSize > endOffset)
            fail("its central directory lies outside the file");

        const std::string central = bytesAt(centralOffset, centralSize);
        std::vector<Entry> names;
        names.reserve(entries);
        std::size_t at = 0;
        while (at < central.size()) {
            if (central.size() - at < kCentralHeaderSize ||
                get32(central, at) != zip_central::kSignatureValue)
                fail("its central directory is damaged at entry " +
                     std::to_string(names.size() + 1));
            const std::size_t nameLength = get16(central, at + zip_central::kNameLength);
            const std::size_t recordSize = kCentralHeaderSize + nameLength +
                                           get16(central, at + zip_central::kExtraLength) +
                                           get16(central, at + zip_central::kCommentLength);
            if (central.size() - at < recordSize)
                fail("its central directory is damaged at entry " +
                     std::to_string(names.size() + 1));
            Entry entry;
            entry.name = central.substr(at + kCentralHeaderSize, nameLength);
            entry.method = get16(central, at + zip_central::kMethod);
            entry.compressedSize = get32(central, at + zip_central::kCompressedSize);
            entry.uncompressedSize = get32(central, at + zip_central::kUncompressedSize);
            entry.localHeaderOffset = get32(central, at + zip_central::kLocalHeaderOffset);
            names.push_back(std::move(entry));
            at += recordSize;
        }
        if (names.size() != entries) {
            fail("its central directory holds " + std::to_string(names.size()) +
                 " entries where its end record counts " + std::to_string(entries));
        }
        return names;
    }

    // Exactly size bytes from the raw deflate data, or the member counts as damaged.
    std::string inflated(const std::string& raw, std::uint32_t size, const std::string& name) {
        std::string out(size, '\0');
        z_stream stream{};
        if (inflateInit2(&stream, -15) != Z_OK) fail("zlib could not start");
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
        stream.avail_in = static_cast<uInt>(raw.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&stream, Z_FINISH);
        const bool whole = result == Z_STREAM_END && stream.total_out == size;
        inflateEnd(&stream);
        if (!whole) fail("its member " + name + " is damaged");
        return out;
    }

    [[noreturn]] void fail(const std::string& why) const {
        throw Error("Cannot read the archive \"" + m_path + "\": " + why);
    }

    std::string bytesAt(std::uint64_t offset, std::uint64_t count) const {
        std::string bytes(static_cast<std::size_t>(count), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::pread(m_fd, bytes.data() + done, bytes.size() - done,
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) fail(std::strerror(errno));
            if (got == 0) fail("it ended while it was read");
            done += static_cast<std::size_t>(got);
        }
        return bytes;
    }

    std::string m_path;
    int m_fd = -1;
    UniqueFd m_owned;  // when the reader opened the archive itself
};

}  // namespace

std::vector<std::string> readZipDirectory(const std::string& archivePath) {
    return DirectoryReader(archivePath).read();
}

std::vector<std::string> readZipDirectory(int fd, const std::string& archivePath) {
    return DirectoryReader(fd, archivePath).read();
}

std::string readZipMember(const std::string& archivePath, const std::string& name,
                          std::size_t maxBytes) {
    return DirectoryReader(archivePath).member(name, maxBytes);
}

}  // namespace qb
