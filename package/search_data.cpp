#include "package/search_data.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace qb {

std::uint32_t attributeWord(const struct stat& st, std::string_view name) {
    std::uint32_t attributes = 0;
    if (S_ISREG(st.st_mode)) {
        attributes = kAttrArchive;
    } else if (S_ISDIR(st.st_mode)) {
        attributes = kAttrDirectory;
    } else {
        attributes = kAttrSysFile;
    }
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
    if (!name.empty() && name.front() == '.') attributes |= kAttrHidden;
    return attributes;
}

TSearchData::TSearchData(TSearchData&& other) noexcept {
    *this = std::move(other);
}

TSearchData& TSearchData::operator=(TSearchData&& other) noexcept {
    if (this != &other) {
        close();
        m_dir = std::exchange(other.m_dir, nullptr);
        m_folder = std::move(other.m_folder);
        m_mask = other.m_mask;
        m_valid = std::exchange(other.m_valid, false);
        m_name = std::move(other.m_name);
        m_attributes = other.m_attributes;
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_folderDevice = other.m_folderDevice;
        m_folderInode = other.m_folderInode;
    }
    return *this;
}

bool TSearchData::findFirst(const std::string& folder, std::uint32_t mask) {
    close();
    m_folder = folder;
    m_mask = mask;
    // O_NONBLOCK: should the name have turned into a fifo since it was listed, the open must
    // not wait for a writer. O_DIRECTORY refuses anything that is not a folder.
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (m_dir = ::fdopendir(fd)) == nullptr) {
        ::close(fd);
        return false;
    }
    m_folderDevice = st.st_dev;
    m_folderInode = st.st_ino;
    return findNext();
}

bool TSearchData::findNext() {
    m_valid = false;
    if (m_dir == nullptr) return false;
    constexpr std::uint32_t kFiltered = kAttrHidden | kAttrSysFile | kAttrVolumeId | kAttrDirectory;
    while (const dirent* entry = ::readdir(m_dir)) {
        std::string_view name = entry->d_name;
        struct stat st {};
        // Links are followed, so a link to a file packs the file; a dangling link stays a
        // link and so counts as a system entry.
        if (::fstatat(::dirfd(m_dir), entry->d_name, &st, 0) != 0 &&
            ::fstatat(::dirfd(m_dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone since it was listed
        }
        std::uint32_t attributes = attributeWord(st, name);
        if ((attributes & kFiltered & ~m_mask) != 0) continue;
        m_name = name;
        m_attributes = attributes;
        m_device = st.st_dev;
        m_inode = st.st_ino;
        m_valid = true;
        return true;
    }
    return false;
}

void TSearchData::close() {
    if (m_dir != nullptr) ::closedir(std::exchange(m_dir, nullptr));
    m_valid = false;
}

}  // namespace qb
