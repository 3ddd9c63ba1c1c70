#include "package/sorted_zip.h"

#include <algorithm>

namespace qb {

int compareNamesIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        auto fold = [](char c) {
            auto u = static_cast<unsigned char>(c);
            return (u >= 'a' && u <= 'z') ? u - 'a' + 'A' : u;
        };
        const int diff = static_cast<int>(fold(a[i])) - static_cast<int>(fold(b[i]));
        if (diff != 0) return diff;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool TSortedZip::less(const TZipHeaderInfo& a, const TZipHeaderInfo& b) const {
    if (m_order == Order::Name) {
        return compareNamesIgnoringAsciiCase(a.storedName(), b.storedName()) < 0;
    }
    if (a.diskNumberStart != b.diskNumberStart) return a.diskNumberStart < b.diskNumberStart;
    return a.localHeaderOffset < b.localHeaderOffset;
}

void TSortedZip::insert(const TZipHeaderInfo* record) {
    auto at = std::upper_bound(
        m_records.begin(), m_records.end(), record,
        [this](const TZipHeaderInfo* a, const TZipHeaderInfo* b) { return less(*a, *b); });
    m_records.insert(at, record);
}

const TZipHeaderInfo* TSortedZip::findName(std::string_view name) const {
    auto at =
        std::lower_bound(m_records.begin(), m_records.end(), name,
                         [](const TZipHeaderInfo* record, std::string_view key) {
                             return compareNamesIgnoringAsciiCase(record->storedName(), key) < 0;
                         });
    if (at != m_records.end() && compareNamesIgnoringAsciiCase((*at)->storedName(), name) == 0) {
        return *at;
    }
    return nullptr;
}

}  // namespace qb
