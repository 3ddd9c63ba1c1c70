#pragma once
// The zip writer: packs the files a wildcard entry covers into one new zip archive.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/deflate_pool.h"
#include "package/lfn_file_stream.h"

namespace qb {

class DeflateAhead;
class TSortedZip;
struct TEndCentral;

class TVCLZip {
  public:
    using ProcessMessages = std::function<void()>;
    using ShortReadHandler =
        std::function<void(const std::string& path, std::uint64_t expected, std::uint64_t read)>;
    using ProgressHandler = std::function<void(std::uint64_t done, std::uint64_t total)>;

    // The member count field of the end record holds 0xFFFF as the ZIP64 marker.
    static constexpr std::size_t kMaxMembers = 65534;

    const std::string& zipName() const { return m_zipName; }
    void setZipName(std::string zipName) { m_zipName = std::move(zipName); }

    // Stored with a trailing "/"; it becomes the only prefix stripped from stored names.
    const std::string& rootDir() const { return m_rootDir; }
    void setRootDir(std::string rootDir);

    // Wildcard entries and paths to pack; empty again after every build.
    std::vector<std::string>& filesList() { return m_filesList; }
    const std::vector<std::string>& filesList() const { return m_filesList; }

    // True: the walk enters subfolders and stored names keep their folders below rootDir.
    // False: only the entry's own folder is listed and names are stored without folders.
    bool relativePaths() const { return m_relativePaths; }
    void setRelativePaths(bool on) { m_relativePaths = on; }

    int packLevel() const { return m_packLevel; }
    void setPackLevel(int level) { m_packLevel = level < 0 ? 0 : (level > 9 ? 9 : level); }
    // The library that deflates the members (zlib unless set).
    void setDeflateEngine(DeflateEngine engine) { m_engine = engine; }

    // Threads that deflate members at once; 0 (the default) takes defaultJobs(). The archive
    // is the same whatever the number.
    int jobs() const;
    void setJobs(int jobs);
    // The compressed data members may hold while they wait their turn to be written.
    void setBufferBudget(std::size_t bytes) { m_bufferBudget = bytes; }

    // Every callback is called on the thread that runs zip(), never on a worker. An exception
    // thrown by one ends the build as any failure does.
    void setProcessMessages(ProcessMessages callback) { m_processMessages = std::move(callback); }
    // Asked after each call of the above and before the archive takes its name; true ends the
    // build with ZipCancelled, leaving no new file and an old archive as it was.
    void setCancelled(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Asked once, when the archive is complete and on the disk, just before it takes its name;
    // false ends the build as Cancelled. Without it, Cancelled is asked there.
    void setPublishing(std::function<bool()> publishing) { m_publishing = std::move(publishing); }
    void setShortReadHandler(ShortReadHandler handler) { m_shortRead = std::move(handler); }
    // Bytes of the files read so far, of the total the walk found.
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }
    void setWriteFunction(TLFNFileStream::WriteFunction write) { m_write = std::move(write); }
    void setReadFunction(ReadFunction read) { m_read = std::move(read); }

    // A stored name (exact bytes) that, when a file of the build has it, is written first and
    // without compression: an EPUB reader finds "mimetype" only that way.
    const std::string& storeFirst() const { return m_storeFirst; }
    void setStoreFirst(std::string storedName) { m_storeFirst = std::move(storedName); }

    // Whether the archive may replace a file at zipName. Without, a file there when the archive
    // is complete ends the build with ArchiveAppearedError, and stays as it is.
    bool replace() const { return m_replace; }
    void setReplace(bool replace) { m_replace = replace; }

    // Files of the build already deflated, while they were still being written beside others:
    // their data is copied rather than deflated again, the archive staying the same. Settled
    // when the build begins; may be null.
    void setDeflatedAhead(DeflateAhead* ahead) { m_ahead = ahead; }

    // Stored names the archive must hold. Checked on the finished archive, read back, before it
    // gets its name: a build that lost one ends with IncompleteArchive and replaces nothing.
    void setRequiredMembers(std::vector<std::string> names) { m_required = std::move(names); }

    // Expands filesList and writes every file into a new archive, which gets the name zipName
    // only once it is complete. Returns the number of members. Returns 0 and writes nothing
    // when zipName is blank. On an exception no new file is left behind and an old archive at
    // zipName is untouched.
    int zip();

    // Replaces each wildcard entry of filesList by the paths of the files it covers, in walk
    // order, leaving out hidden and system entries and the archive itself.
    void expandFilesList();

  private:
    struct Build;

    void splitStoredName(const std::string& path, std::string& folderPart,
                         std::string& fileName) const;
    int packMembers(bool storeFirst, Build& build);
    // Opens the file and adds its record; false when it is left out (gone, not a regular
    // file, a name already taken). A file that is there but cannot be opened ends the build.
    bool admitFile(const std::string& path, bool stored, int workers, Build& build);
    // Writes the first admitted member, its data and its final local header.
    void writeMember(Build& build);
    // Copies a member's data deflated ahead into the archive; returns its CRC.
    std::uint32_t copyDeflated(Build& build);
    void reportProgress(const Build& build) const;
    void processMessages() const;
    void stopIfCancelled() const;
    void checkRequiredMembers(int fd) const;

    std::string m_zipName;
    std::string m_rootDir;
    std::vector<std::string> m_filesList;
    bool m_relativePaths = false;
    int m_packLevel = 6;
    DeflateEngine m_engine = DeflateEngine::Zlib;
    int m_jobs = 0;
    bool m_replace = false;
    std::size_t m_bufferBudget = DeflatePool::kDefaultBudget;
    std::string m_storeFirst;
    std::vector<std::string> m_required;
    DeflateAhead* m_ahead = nullptr;
    ProcessMessages m_processMessages;
    std::function<bool()> m_cancelled;
    std::function<bool()> m_publishing;
    ShortReadHandler m_shortRead;
    ProgressHandler m_progress;
    TLFNFileStream::WriteFunction m_write;
    ReadFunction m_read;
};

}  // namespace qb
