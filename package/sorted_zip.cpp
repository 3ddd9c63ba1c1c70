#include "package/sorted_zip.h"

#include <algorithm>

#include "platform/ascii.h"

namespace qb {

namespace {

// Unsigned, so that names with UTF-8 bytes sort after plain ASCII ones.
unsigned foldAscii(char c) {
    return toAsciiUpper(static_cast<unsigned char>(c));
}

// A stored name is folder part + file name; comparing the two parts in place spares
// building the joined string on every comparison.
class StoredName {
  public:
    explicit StoredName(const TZipHeaderInfo& record)
        : m_folder(record.folderPart), m_file(record.fileName) {}
    explicit StoredName(std::string_view whole) : m_file(whole) {}

    std::size_t size() const { return m_folder.size() + m_file.size(); }
    char operator[](std::size_t i) const {
        return i < m_folder.size() ? m_folder[i] : m_file[i - m_folder.size()];
    }

  private:
    std::string_view m_folder;
    std::string_view m_file;
};

int compareIgnoringAsciiCase(const StoredName& a, const StoredName& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int diff = static_cast<int>(foldAscii(a[i])) - static_cast<int>(foldAscii(b[i]));
        if (diff != 0) return diff;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

int compareNamesIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return compareIgnoringAsciiCase(StoredName(a), StoredName(b));
}

bool TSortedZip::Less::operator()(const TZipHeaderInfo* a, const TZipHeaderInfo* b) const {
    if (order == Order::Name) {
        return compareIgnoringAsciiCase(StoredName(*a), StoredName(*b)) < 0;
    }
    if (a->diskNumberStart != b->diskNumberStart) return a->diskNumberStart < b->diskNumberStart;
    return a->localHeaderOffset < b->localHeaderOffset;
}

bool TSortedZip::Less::operator()(const TZipHeaderInfo* a, std::string_view name) const {
    return compareIgnoringAsciiCase(StoredName(*a), StoredName(name)) < 0;
}

bool TSortedZip::Less::operator()(std::string_view name, const TZipHeaderInfo* b) const {
    return compareIgnoringAsciiCase(StoredName(name), StoredName(*b)) < 0;
}

const TZipHeaderInfo* TSortedZip::findName(std::string_view name) const {
    auto at = m_records.find(name);
    return at == m_records.end() ? nullptr : *at;
}

}  // namespace qb
