#pragma once
// A list of member records kept sorted as they are inserted.

#include <cstddef>
#include <set>
#include <string_view>

#include "package/zip_records.h"

namespace qb {

// Byte-wise comparison with a to z folded to upper case: <0, 0 or >0.
int compareNamesIgnoringAsciiCase(std::string_view a, std::string_view b);

class TSortedZip {
  public:
    enum class Order {
        // By stored name, ASCII letters compared without case: finds repeated names, which
        // an unpacker on a case-insensitive file system would write over each other.
        Name,
        // By disk and local header offset: the order the members stand in the archive.
        Position,
    };

    explicit TSortedZip(Order order) : m_records(Less{order}) {}

    // Inserts in order (logarithmic time, so tens of thousands of members stay cheap); the
    // list does not own the record. Records that compare equal keep their insertion order.
    void insert(const TZipHeaderInfo* record) { m_records.insert(record); }
    // The record whose stored name equals name, ASCII case ignored (Name order only).
    const TZipHeaderInfo* findName(std::string_view name) const;

    std::size_t size() const { return m_records.size(); }
    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

  private:
    struct Less {
        using is_transparent = void;
        Order order;
        bool operator()(const TZipHeaderInfo* a, const TZipHeaderInfo* b) const;
        bool operator()(const TZipHeaderInfo* a, std::string_view name) const;
        bool operator()(std::string_view name, const TZipHeaderInfo* b) const;
    };

    std::multiset<const TZipHeaderInfo*, Less> m_records;
};

}  // namespace qb
