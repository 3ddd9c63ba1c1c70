#pragma once
// One open directory listing, filtered by an attribute mask, for the folder walk.

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

// The attribute word the walk filters on and the archive records for each file.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSysFile = 0x04;
inline constexpr std::uint32_t kAttrVolumeId = 0x08;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// Regular files get 0x20 and folders 0x10, plus read-only when the owner may not write.
// Anything else (fifo, socket, device, dangling link) is a system entry, so it is filtered
// out like a hidden one and never opened. Names starting with "." are hidden.
std::uint32_t attributeWord(const struct stat& st, std::string_view name);

class TSearchData {
  public:
    TSearchData() = default;
    ~TSearchData() { close(); }
    TSearchData(TSearchData&& other) noexcept;
    TSearchData& operator=(TSearchData&& other) noexcept;
    TSearchData(const TSearchData&) = delete;
    TSearchData& operator=(const TSearchData&) = delete;

    // Opens the listing of folder (ending in "/") and moves to its first entry that passes
    // the mask. False when the folder cannot be listed or nothing passes.
    bool findFirst(const std::string& folder, std::uint32_t mask);
    // Moves to the next entry that passes the mask; false when the listing is exhausted.
    bool findNext();
    void close();

    bool valid() const { return m_valid; }
    const std::string& folder() const { return m_folder; }
    const std::string& name() const { return m_name; }
    std::uint32_t attributes() const { return m_attributes; }
    bool isFolder() const { return (m_attributes & kAttrDirectory) != 0; }
    // Identity of the current entry and of the listed folder, for loop detection.
    dev_t device() const { return m_device; }
    ino_t inode() const { return m_inode; }
    dev_t folderDevice() const { return m_folderDevice; }
    ino_t folderInode() const { return m_folderInode; }

  private:
    DIR* m_dir = nullptr;
    std::string m_folder;
    std::uint32_t m_mask = 0;
    bool m_valid = false;
    std::string m_name;
    std::uint32_t m_attributes = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    dev_t m_folderDevice = 0;
    ino_t m_folderInode = 0;
};

}  // namespace qb
