#pragma once
// The zip writer: packs the files a wildcard entry covers into one new zip archive.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/lfn_file_stream.h"

namespace qb {

class TSortedZip;
struct TEndCentral;

class TVCLZip {
  public:
    using ProcessMessages = std::function<void()>;
    using ShortReadHandler =
        std::function<void(const std::string& path, std::uint64_t expected, std::uint64_t read)>;

    // Deflate works through buffers of this size.
    static constexpr std::size_t kDeflateBufferSize = 65535;
    // The member count field of the end record holds 0xFFFF as the ZIP64 marker.
    static constexpr std::size_t kMaxMembers = 65534;

    const std::string& zipName() const { return m_zipName; }
    void setZipName(std::string zipName) { m_zipName = std::move(zipName); }

    // Stored with a trailing "/"; it becomes the only prefix stripped from stored names.
    const std::string& rootDir() const { return m_rootDir; }
    void setRootDir(std::string rootDir);
    const std::vector<std::string>& relativePathList() const { return m_relativePathList; }

    // Wildcard entries and paths to pack; empty again after every build.
    std::vector<std::string>& filesList() { return m_filesList; }
    const std::vector<std::string>& filesList() const { return m_filesList; }

    // True also turns on storePaths and recurse.
    bool relativePaths() const { return m_relativePaths; }
    void setRelativePaths(bool on);
    bool storePaths() const { return m_storePaths; }
    void setStorePaths(bool on) { m_storePaths = on; }
    bool recurse() const { return m_recurse; }
    void setRecurse(bool on) { m_recurse = on; }

    int packLevel() const { return m_packLevel; }
    void setPackLevel(int level) { m_packLevel = level < 0 ? 0 : (level > 9 ? 9 : level); }

    bool includeReadOnlyFiles() const { return m_includeReadOnlyFiles; }
    void setIncludeReadOnlyFiles(bool on) { m_includeReadOnlyFiles = on; }
    bool includeHiddenFiles() const { return m_includeHiddenFiles; }
    void setIncludeHiddenFiles(bool on) { m_includeHiddenFiles = on; }
    bool includeSysFiles() const { return m_includeSysFiles; }
    void setIncludeSysFiles(bool on) { m_includeSysFiles = on; }
    bool includeArchiveFiles() const { return m_includeArchiveFiles; }
    void setIncludeArchiveFiles(bool on) { m_includeArchiveFiles = on; }
    // The attribute filter of the folder walk, built from the four include settings.
    std::uint32_t attributeMask() const;

    bool doProcessMessages() const { return m_doProcessMessages; }
    void setDoProcessMessages(bool on) { m_doProcessMessages = on; }
    void setProcessMessages(ProcessMessages callback) { m_processMessages = std::move(callback); }
    void setShortReadHandler(ShortReadHandler handler) { m_shortRead = std::move(handler); }
    void setWriteFunction(TLFNFileStream::WriteFunction write) { m_write = std::move(write); }

    // A stored name (exact bytes) that, when a file of the build has it, is written first and
    // without compression: an EPUB reader finds "mimetype" only that way.
    const std::string& storeFirst() const { return m_storeFirst; }
    void setStoreFirst(std::string storedName) { m_storeFirst = std::move(storedName); }

    // Expands filesList and writes every file into a new archive at zipName, which replaces
    // any file there only once it is complete. Returns the number of members. Returns 0 and
    // writes nothing when zipName is blank. On an exception no new file is left behind and
    // an old archive at zipName is untouched.
    int zip();

    // Replaces each wildcard entry of filesList by the paths of the files it covers, in walk
    // order, leaving out hidden and system entries and the archive itself.
    void expandFilesList();

  private:
    struct Build;

    void splitStoredName(const std::string& path, std::string& folderPart,
                         std::string& fileName) const;
    bool zipOneFile(const std::string& path, bool stored, Build& build);
    std::uint64_t deflateFile(int fd, const std::string& path, Build& build, std::uint32_t& crc);
    std::uint64_t storeFile(int fd, const std::string& path, Build& build, std::uint32_t& crc);
    std::size_t readSome(int fd, const std::string& path, unsigned char* buffer);
    void processMessages() const;

    std::string m_zipName;
    std::string m_rootDir;
    std::vector<std::string> m_relativePathList;
    std::vector<std::string> m_filesList;
    bool m_relativePaths = false;
    bool m_storePaths = false;
    bool m_recurse = false;
    int m_packLevel = 6;
    bool m_includeReadOnlyFiles = true;
    bool m_includeHiddenFiles = false;
    bool m_includeSysFiles = false;
    bool m_includeArchiveFiles = true;
    bool m_doProcessMessages = true;
    std::string m_storeFirst;
    ProcessMessages m_processMessages;
    ShortReadHandler m_shortRead;
    TLFNFileStream::WriteFunction m_write;
};

}  // namespace qb
