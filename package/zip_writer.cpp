#include "package/zip_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>

#include "package/dir_search.h"
#include "package/search_data.h"
#include "package/sorted_zip.h"
#include "package/unique_fd.h"
#include "package/zip_errors.h"
#include "package/zip_records.h"

namespace qb {

namespace {

// What the walk lists: read-only and ordinary files and folders; hidden and system entries
// (fifos, sockets, devices) are never packed.
constexpr std::uint32_t kWalkMask = 0x3F & ~kAttrHidden & ~kAttrSysFile;

std::string causeOf(int error) {
    return std::strerror(error);
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

bool hasWildcard(const std::string& entry) {
    return entry.find_first_of("*?<>|") != std::string::npos;
}

bool startsWithIgnoringAsciiCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           compareNamesIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()), prefix) ==
               0;
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Well-formed UTF-8 (no overlongs, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = code << 6 | (next & 0x3F);
        }
        if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (length == 4 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        i += length;
    }
    return true;
}

// The permissions a file created the ordinary way would get. Read from /proc so the process
// umask is never changed, not even for a moment.
mode_t newFileMode() {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    }
    return 0644 & ~mask;
}

// The new archive while it is written: a hidden file beside the target, so the rename that
// publishes it stays on one file system and the folder walk never picks it up. Removed
// unless it was committed.
class TempArchive {
  public:
    explicit TempArchive(const std::string& target) {
        const std::size_t slash = target.rfind('/');
        m_folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
        m_path = m_folder + (m_folder.back() == '/' ? "" : "/") + ".quirebind-XXXXXX";
        m_fd = UniqueFd(::mkostemp(m_path.data(), O_CLOEXEC));
        if (!m_fd) throw EFCreateError(target, causeOf(errno));
    }
    ~TempArchive() {
        if (!m_committed) {
            m_fd.reset();
            ::unlink(m_path.c_str());
        }
    }
    TempArchive(const TempArchive&) = delete;
    TempArchive& operator=(const TempArchive&) = delete;

    int fd() const { return m_fd.get(); }

    // Makes the data durable, then puts the file in the target's place in one step.
    void commit(const std::string& target) {
        if (::fchmod(m_fd.get(), newFileMode()) != 0 || ::fsync(m_fd.get()) != 0 ||
            m_fd.close() != 0) {
            if (errno == ENOSPC || errno == EDQUOT) throw ENotEnoughRoom();
            throw Error("Cannot write file \"" + target + "\". " + causeOf(errno));
        }
        if (::rename(m_path.c_str(), target.c_str()) != 0) {
            throw EFCreateError(target, causeOf(errno));
        }
        m_committed = true;
        // So that the new name, not only the data, survives a crash.
        UniqueFd folder(::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder) ::fsync(folder.get());
    }

  private:
    std::string m_folder;
    std::string m_path;
    UniqueFd m_fd;
    bool m_committed = false;
};

// One raw deflate stream, reset between members rather than set up anew for each.
class DeflateStream {
  public:
    explicit DeflateStream(int level) {
        if (deflateInit2(&m_stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw EZCompressionError();
        }
    }
    ~DeflateStream() { deflateEnd(&m_stream); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    z_stream& get() { return m_stream; }
    void reset() {
        if (deflateReset(&m_stream) != Z_OK) throw EZCompressionError();
    }

  private:
    z_stream m_stream{};
};

}  // namespace

struct TVCLZip::Build {
    Build(int fd, const std::string& zipName, const TLFNFileStream::WriteFunction& write, int level)
        : out(fd, zipName, write), deflater(level) {}

    TLFNFileStream out;
    std::deque<TZipHeaderInfo> records;  // stable addresses for the two lists
    TSortedZip names{TSortedZip::Order::Name};
    TSortedZip positions{TSortedZip::Order::Position};
    TEndCentral end;
    DeflateStream deflater;
    std::vector<unsigned char> input = std::vector<unsigned char>(kDeflateBufferSize);
    std::vector<unsigned char> output = std::vector<unsigned char>(kDeflateBufferSize);
};

void TVCLZip::setRootDir(std::string rootDir) {
    if (!rootDir.empty() && rootDir.back() != '/') rootDir += '/';
    m_rootDir = std::move(rootDir);
}

void TVCLZip::processMessages() const {
    if (m_processMessages) m_processMessages();
}

void TVCLZip::expandFilesList() {
    std::vector<std::string> wildcards;
    std::vector<std::string> kept;
    for (std::string& entry : m_filesList) {
        if (!entry.empty() && entry.back() == '/') {
            kept.push_back(std::move(entry));
        } else if (hasWildcard(entry)) {
            wildcards.push_back(std::move(entry));
        } else {
            kept.push_back(std::move(entry));
        }
    }
    m_filesList = std::move(kept);

    // The archive must never pack itself, nor an older archive standing at its path, even
    // when the two paths are spelt differently.
    struct stat zipStat {};
    const bool zipExists = ::stat(m_zipName.c_str(), &zipStat) == 0;

    for (const std::string& entry : wildcards) {
        const std::size_t slash = entry.rfind('/');
        std::string folder = slash == std::string::npos ? std::string() : entry.substr(0, slash);
        if (folder.empty()) folder = m_rootDir;
        std::string pattern = slash == std::string::npos ? entry : entry.substr(slash + 1);
        if (pattern == "*.*") pattern = "*";

        // A folder that cannot be listed yields nothing, as a missing one does.
        TDirSearch search(folder, kWalkMask, m_relativePaths, pattern);
        for (std::string path = search.nextPath(); !path.empty(); path = search.nextPath()) {
            if (path.back() == '/') continue;  // folders never become members
            processMessages();
            if (compareNamesIgnoringAsciiCase(path, m_zipName) == 0) continue;
            if (zipExists) {
                struct stat st {};
                if (::stat(path.c_str(), &st) == 0 && st.st_dev == zipStat.st_dev &&
                    st.st_ino == zipStat.st_ino) {
                    continue;
                }
            }
            m_filesList.push_back(std::move(path));
        }
    }
}

void TVCLZip::splitStoredName(const std::string& path, std::string& folderPart,
                              std::string& fileName) const {
    const std::size_t slash = path.rfind('/');
    fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    folderPart = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    while (folderPart.size() >= 2 && folderPart.ends_with("//")) folderPart.pop_back();
    if (!m_relativePaths) {
        folderPart.clear();
        return;
    }
    if (!m_rootDir.empty() && startsWithIgnoringAsciiCase(folderPart, m_rootDir)) {
        folderPart.erase(0, m_rootDir.size());
    }
    // Stored names are relative: an unpacker must never be sent to the root folder.
    const std::size_t first = folderPart.find_first_not_of('/');
    folderPart.erase(0, first == std::string::npos ? folderPart.size() : first);
}

int TVCLZip::zip() {
    if (isBlank(m_zipName)) return 0;
    try {
        expandFilesList();

        // An existing folder at the target would only make the final rename fail after all
        // the work; say so at once.
        struct stat target {};
        if (::stat(m_zipName.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
            throw EFCreateError(m_zipName, causeOf(EISDIR));
        }

        bool storeFirst = false;
        if (!m_storeFirst.empty()) {
            auto first = std::find_if(m_filesList.begin(), m_filesList.end(),
                                      [this](const std::string& path) {
                                          std::string folder, name;
                                          splitStoredName(path, folder, name);
                                          return folder + name == m_storeFirst;
                                      });
            if (first != m_filesList.end()) {
                std::rotate(m_filesList.begin(), first, first + 1);
                storeFirst = true;
            }
        }

        TempArchive temp(m_zipName);
        Build build(temp.fd(), m_zipName, m_write, m_packLevel);
        int count = 0;
        for (std::size_t i = 0; i < m_filesList.size(); ++i) {
            if (zipOneFile(m_filesList[i], storeFirst && i == 0, build)) {
                build.names.insert(&build.records.back());
                build.positions.insert(&build.records.back());
                ++build.end.totalEntries;
                ++count;
            }
        }

        const std::uint64_t centralOffset = build.out.position();
        for (const TZipHeaderInfo* record : build.positions) {
            build.out.write(centralDirectoryHeader(*record));
            ++build.end.entriesThisDisk;
        }
        build.end.centralOffset = static_cast<std::uint32_t>(centralOffset);
        build.end.centralSize = static_cast<std::uint32_t>(build.out.position() - centralOffset);
        build.out.write(endOfCentralDirectory(build.end));
        build.out.flush();
        temp.commit(m_zipName);

        m_filesList.clear();
        return count;
    } catch (...) {
        m_filesList.clear();
        throw;
    }
}

bool TVCLZip::zipOneFile(const std::string& path, bool stored, Build& build) {
    // Non-blocking, so that a name swapped for a fifo since the walk cannot stall the build;
    // anything but a regular file is then left out like a file that vanished.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) return false;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size >= 0xFFFFFFFF) {
        throw EZipLimit("Cannot pack file \"" + path +
                        "\": it is 4 GiB or larger, more than a zip archive without ZIP64 "
                        "records can hold");
    }

    TZipHeaderInfo header;
    splitStoredName(path, header.folderPart, header.fileName);
    const std::string storedName = header.storedName();
    if (storedName.size() > 0xFFFF) {
        throw EZipLimit("Cannot pack file \"" + path + "\": its name is longer than 65,535 bytes");
    }
    if (build.names.findName(storedName) != nullptr) return false;  // the earlier file wins
    if (build.records.size() >= kMaxMembers) {
        throw EZipLimit("Cannot pack file \"" + path +
                        "\": a zip archive without ZIP64 records holds at most 65,534 files");
    }

    header.externalAttributes = attributeWord(st, header.fileName);
    header.dosDateTime = dosDateTime(st.st_mtime);
    header.uncompressedSize = static_cast<std::uint32_t>(size);
    if (!isAscii(storedName) && isValidUtf8(storedName)) header.flags |= kFlagUtf8Name;
    if (stored) {
        header.method = kMethodStored;
    } else if (m_packLevel <= 2) {
        header.flags |= 0x0004;
    } else if (m_packLevel >= 8) {
        header.flags |= 0x0002;
    }
    header.localHeaderOffset = static_cast<std::uint32_t>(build.out.position());
    header.internalAttributes = 0;
    header.diskNumberStart = 0;

    build.out.write(localFileHeader(header));
    const std::uint64_t dataStart = build.out.position();
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    const std::uint64_t read = stored ? storeFile(file.get(), path, build, crc)
                                      : deflateFile(file.get(), path, build, crc);
    if (read < size && m_shortRead) m_shortRead(path, size, read);

    header.crc32 = crc;
    header.uncompressedSize = static_cast<std::uint32_t>(read);
    header.compressedSize = static_cast<std::uint32_t>(build.out.position() - dataStart);
    build.out.writeAt(header.localHeaderOffset, localFileHeader(header));
    build.records.push_back(std::move(header));
    return true;
}

std::size_t TVCLZip::readSome(int fd, const std::string& path, unsigned char* buffer) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, kDeflateBufferSize);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throw Error("Cannot read file \"" + path + "\". " + causeOf(errno));
    }
}

namespace {

void checkGrowth(std::uint64_t total, const std::string& path) {
    // The file grew while it was packed; its size no longer fits the member's fields.
    if (total >= 0xFFFFFFFF) {
        throw EZipLimit("Cannot pack file \"" + path +
                        "\": it grew to 4 GiB or more while it was packed, more than a zip "
                        "archive without ZIP64 records can hold");
    }
}

}  // namespace

std::uint64_t TVCLZip::storeFile(int fd, const std::string& path, Build& build,
                                 std::uint32_t& crc) {
    std::uint64_t total = 0;
    while (const std::size_t got = readSome(fd, path, build.input.data())) {
        total += got;
        checkGrowth(total, path);
        crc = static_cast<std::uint32_t>(crc32(crc, build.input.data(), static_cast<uInt>(got)));
        build.out.write(build.input.data(), got);
        processMessages();
    }
    return total;
}

std::uint64_t TVCLZip::deflateFile(int fd, const std::string& path, Build& build,
                                   std::uint32_t& crc) {
    build.deflater.reset();
    z_stream& stream = build.deflater.get();
    stream.next_out = build.output.data();
    stream.avail_out = kDeflateBufferSize;
    stream.avail_in = 0;
    int flush = Z_NO_FLUSH;
    std::uint64_t total = 0;
    for (;;) {
        if (stream.avail_in == 0 && flush != Z_FINISH) {
            const std::size_t got = readSome(fd, path, build.input.data());
            if (got == 0) {
                flush = Z_FINISH;
            } else {
                total += got;
                checkGrowth(total, path);
                crc = static_cast<std::uint32_t>(
                    crc32(crc, build.input.data(), static_cast<uInt>(got)));
            }
            stream.next_in = build.input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        const int result = deflate(&stream, flush);
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            throw EZCompressionError();
        }
        if (stream.avail_out == 0 || flush == Z_FINISH) {
            const std::size_t produced = kDeflateBufferSize - stream.avail_out;
            if (produced > 0) {
                build.out.write(build.output.data(), produced);
                processMessages();
            }
            stream.next_out = build.output.data();
            stream.avail_out = kDeflateBufferSize;
        }
        if (result == Z_STREAM_END) return total;
    }
}

}  // namespace qb
