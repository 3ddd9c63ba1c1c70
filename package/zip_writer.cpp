#include "package/zip_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_set>

#include "package/archive_file.h"
#include "package/deflate_ahead.h"
#include "package/dir_search.h"
#include "package/search_data.h"
#include "package/sorted_zip.h"
#include "package/zip_directory.h"
#include "package/zip_errors.h"
#include "package/zip_records.h"
#include "platform/blank.h"
#include "platform/unique_fd.h"
#include "platform/utf8.h"

namespace qb {

namespace {

// What the walk lists: read-only and ordinary files and folders; hidden and system entries
// (fifos, sockets, devices) are never packed.
constexpr std::uint32_t kWalkMask = 0x3F & ~kAttrHidden & ~kAttrSysFile;

// The longest the writer waits for a worker before it lets the window handle its events.
constexpr std::chrono::milliseconds kPause{20};

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

}  // namespace

struct TVCLZip::Build {
    Build(int fd, const std::string& zipName, const TLFNFileStream::WriteFunction& write)
        : out(fd, zipName, write) {}

    // A member admitted to the build: opened, checked and named, waiting to be written.
    struct Member {
        TZipHeaderInfo* header = nullptr;
        std::string path;
        std::uint64_t size = 0;      // when it was opened
        std::uint64_t expected = 0;  // when the walk found it, as counted in the progress total
        UniqueFd file;               // members written on this thread
        std::shared_ptr<DeflateJob> job;      // members deflated by the pool
        std::optional<DeflatedMember> ahead;  // members deflated before the build began
        std::exception_ptr error;             // what ends the build once this member's turn comes
    };

    TLFNFileStream out;
    std::deque<TZipHeaderInfo> records;  // stable addresses for the two lists
    TSortedZip names{TSortedZip::Order::Name};
    TSortedZip positions{TSortedZip::Order::Position};
    TEndCentral end;
    std::unique_ptr<Deflater> deflater;  // for level 0, written on this thread
    std::unique_ptr<DeflatePool> pool;   // for every other level, started with the first member
    std::deque<Member> admitted;
    std::size_t nextFile = 0;  // index in the files list of the next file to admit
    bool admissionFailed = false;
    std::uint64_t doneHere = 0;            // bytes read on this thread
    std::uint64_t total = 0;               // bytes to read, as far as known
    std::vector<std::uint64_t> walkSizes;  // of each file in the list, for the progress total
    std::vector<unsigned char> input = std::vector<unsigned char>(kDeflateBufferSize);
};

void TVCLZip::setRootDir(std::string rootDir) {
    if (!rootDir.empty() && rootDir.back() != '/') rootDir += '/';
    m_rootDir = std::move(rootDir);
}

void TVCLZip::processMessages() const {
    if (m_processMessages) m_processMessages();
    stopIfCancelled();
}

void TVCLZip::stopIfCancelled() const {
    if (m_cancelled && m_cancelled()) throw ZipCancelled();
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

        // What was not deflated ahead by now is left to the pool, which now has the processors.
        if (m_ahead != nullptr) m_ahead->settle();
        ArchiveFile archive(m_zipName);
        Build build(archive.fd(), m_zipName, m_write);
        for (const std::string& path : m_filesList) {
            struct stat st {};
            const bool found = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
            build.walkSizes.push_back(found ? static_cast<std::uint64_t>(st.st_size) : 0);
            build.total += build.walkSizes.back();
        }
        const int count = packMembers(storeFirst, build);

        const std::uint64_t centralOffset = build.out.position();
        for (const TZipHeaderInfo* record : build.positions) {
            build.out.write(centralDirectoryHeader(*record));
            ++build.end.entriesThisDisk;
        }
        build.end.centralOffset = static_cast<std::uint32_t>(centralOffset);
        build.end.centralSize = static_cast<std::uint32_t>(build.out.position() - centralOffset);
        build.out.write(endOfCentralDirectory(build.end));
        build.out.flush();
        checkRequiredMembers(archive.fd());
        stopIfCancelled();
        const bool published = archive.publish(m_replace, [this] {
            if (m_publishing) return m_publishing();
            return !(m_cancelled && m_cancelled());
        });
        if (!published) throw ZipCancelled();

        m_filesList.clear();
        return count;
    } catch (...) {
        m_filesList.clear();
        throw;
    }
}

int TVCLZip::jobs() const {
    return m_jobs > 0 ? m_jobs : defaultJobs();
}

void TVCLZip::setJobs(int jobs) {
    m_jobs = jobs < 0 ? 0 : (jobs > kMaxJobs ? kMaxJobs : jobs);
}

int TVCLZip::packMembers(bool storeFirst, Build& build) {
    // Members are admitted ahead of the one being written, so that every worker has one to
    // deflate, but only a few: each holds an open file and, once deflated, its data.
    const int workers = jobs();
    const std::size_t window = 2 * static_cast<std::size_t>(workers) + 1;
    auto admit = [&] {
        while (build.admitted.size() < window && build.nextFile < m_filesList.size() &&
               !build.admissionFailed) {
            const std::size_t i = build.nextFile++;
            try {
                if (admitFile(m_filesList[i], storeFirst && i == 0, workers, build)) {
                    build.admitted.back().expected = build.walkSizes[i];
                } else {
                    build.total -= build.walkSizes[i];
                }
            } catch (...) {
                // Raised when this member's turn comes, so that the members before it, and
                // the errors they may meet, come first as they would one at a time.
                Build::Member failed;
                failed.error = std::current_exception();
                build.admitted.push_back(std::move(failed));
                build.admissionFailed = true;
            }
        }
    };

    int count = 0;
    admit();
    while (!build.admitted.empty()) {
        Build::Member& member = build.admitted.front();
        if (member.error) std::rethrow_exception(member.error);
        writeMember(build);
        build.positions.insert(member.header);
        ++build.end.totalEntries;
        ++count;
        build.admitted.pop_front();
        admit();
    }
    reportProgress(build);
    return count;
}

bool TVCLZip::admitFile(const std::string& path, bool stored, int workers, Build& build) {
    // Non-blocking, so that a name swapped for a fifo since the walk cannot stall the build;
    // anything but a regular file is then left out like a file that vanished.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        // Only a file that is really gone may be left out. Any other refusal (no descriptors
        // left, no permission) would silently cost the book a member.
        if (errno == ENOENT || errno == ENOTDIR) return false;
        throw EFOpenError(path, causeOf(errno));
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;

    TZipHeaderInfo header;
    splitStoredName(path, header.folderPart, header.fileName);
    const std::string storedName = header.storedName();
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size >= 0xFFFFFFFF) throw memberTooLarge(m_zipName, storedName);
    if (storedName.size() > 0xFFFF) throw memberNameTooLong(m_zipName, storedName);
    if (build.names.findName(storedName) != nullptr) return false;  // the earlier file wins
    if (build.records.size() >= kMaxMembers) throw tooManyMembers(m_zipName, m_filesList.size());

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
    header.internalAttributes = 0;
    header.diskNumberStart = 0;
    build.records.push_back(std::move(header));
    build.names.insert(&build.records.back());

    Build::Member member;
    member.header = &build.records.back();
    member.path = path;
    member.size = size;
    // Level 0 only copies; the pool would add nothing but the hand-over.
    if (!stored && m_packLevel > 0 && m_ahead != nullptr && m_ahead->level() == m_packLevel &&
        m_ahead->engine() == m_engine && (member.ahead = m_ahead->find(st))) {
        // Opened and checked all the same, so that a file gone or refused since it was deflated
        // fails or is left out as it would be without.
        file.reset();
    } else if (stored || m_packLevel == 0) {
        member.file = std::move(file);
    } else {
        if (!build.pool) {
            build.pool = std::make_unique<DeflatePool>(workers, m_packLevel, m_bufferBudget, m_read,
                                                       m_zipName, m_engine);
        }
        member.job = build.pool->submit(std::move(file), path, storedName);
    }
    build.admitted.push_back(std::move(member));
    return true;
}

void TVCLZip::writeMember(Build& build) {
    Build::Member& member = build.admitted.front();
    TZipHeaderInfo& header = *member.header;
    header.localHeaderOffset = static_cast<std::uint32_t>(build.out.position());
    build.out.write(localFileHeader(header));
    const std::uint64_t dataStart = build.out.position();

    std::uint32_t crc = 0;
    std::uint64_t read = 0;
    if (member.ahead) {
        crc = copyDeflated(build);
        read = member.ahead->read;
    } else if (member.job) {
        std::vector<unsigned char> piece;
        for (;;) {
            const DeflatePool::Next next = build.pool->next(*member.job, piece, kPause);
            if (next == DeflatePool::Next::Finished) break;
            if (next == DeflatePool::Next::Piece) build.out.write(piece.data(), piece.size());
            processMessages();
            reportProgress(build);
        }
        crc = member.job->crc();
        read = member.job->read();
    } else {
        const ReadFunction counted = [&](int fd, void* buffer, std::size_t size) -> ssize_t {
            const ssize_t got = m_read ? m_read(fd, buffer, size) : ::read(fd, buffer, size);
            if (got > 0) build.doneHere += static_cast<std::uint64_t>(got);
            return got;
        };
        const std::string storedName = header.storedName();
        if (header.method == kMethodStored) {
            crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
            while (const std::size_t got = readSome(counted, member.file.get(), member.path,
                                                    build.input.data(), build.input.size())) {
                read += got;
                if (read >= 0xFFFFFFFF) throw memberGrewTooLarge(m_zipName, storedName);
                crc = static_cast<std::uint32_t>(
                    crc32(crc, build.input.data(), static_cast<uInt>(got)));
                build.out.write(build.input.data(), got);
                processMessages();
                reportProgress(build);
            }
        } else {
            if (!build.deflater) build.deflater = std::make_unique<Deflater>(0, storedName);
            const Deflater::Result result = build.deflater->deflateFile(
                member.file.get(), member.path, storedName, m_zipName, counted,
                [&](const unsigned char* data, std::size_t size) {
                    build.out.write(data, size);
                    processMessages();
                    reportProgress(build);
                });
            crc = result.crc;
            read = result.read;
        }
        member.file.reset();
    }
    if (read < member.size && m_shortRead) m_shortRead(member.path, member.size, read);

    build.total = build.total - member.expected + read;
    header.crc32 = crc;
    header.uncompressedSize = static_cast<std::uint32_t>(read);
    header.compressedSize = static_cast<std::uint32_t>(build.out.position() - dataStart);
    build.out.writeAt(header.localHeaderOffset, localFileHeader(header));
}

std::uint32_t TVCLZip::copyDeflated(Build& build) {
    const DeflatedMember& data = *build.admitted.front().ahead;
    std::uint64_t copied = 0;
    while (copied < data.size) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uint64_t>(build.input.size(), data.size - copied));
        const ssize_t got =
            ::pread(data.spool, build.input.data(), want, static_cast<off_t>(data.offset + copied));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            throw Error("Cannot pack archive \"" + m_zipName + "\": the data deflated for \"" +
                        build.admitted.front().path + "\" could not be read back. " +
                        (got < 0 ? std::strerror(errno) : "It ended early"));
        }
        build.out.write(build.input.data(), static_cast<std::size_t>(got));
        copied += static_cast<std::uint64_t>(got);
        processMessages();
        reportProgress(build);
    }
    // Counted once copied, as the bytes of a member read here are.
    build.doneHere += data.read;
    return data.crc;
}

void TVCLZip::checkRequiredMembers(int fd) const {
    if (m_required.empty()) return;
    // Read back from the file, not taken from the records in memory: what counts is what an
    // unpacker will find.
    const std::vector<std::string> listed = readZipDirectory(fd, m_zipName);
    const std::unordered_set<std::string> present(listed.begin(), listed.end());
    std::vector<std::string> missing;
    for (const std::string& name : m_required) {
        if (present.count(name) == 0) missing.push_back(name);
    }
    if (!missing.empty()) throw IncompleteArchive(missing);
}

void TVCLZip::reportProgress(const Build& build) const {
    if (!m_progress) return;
    const std::uint64_t done = build.doneHere + (build.pool ? build.pool->bytesRead() : 0);
    m_progress(std::min(done, build.total), build.total);
}

}  // namespace qb
