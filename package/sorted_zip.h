#pragma once
// A list of member records kept sorted as they are inserted.

#include <cstddef>
#include <string_view>
#include <vector>

#include "package/zip_records.h"

namespace qb {

class TSortedZip {
  public:
    enum class Order {
        // By stored name, ASCII letters compared without case: finds repeated names, which
        // an unpacker on a case-insensitive file system would write over each other.
        Name,
        // By disk and local header offset: the order the members stand in the archive.
        Position,
    };

    explicit TSortedZip(Order order) : m_order(order) {}

    // Inserts by bisection; the list does not own the record.
    void insert(const TZipHeaderInfo* record);
    // The record whose stored name equals name, ASCII case ignored (Name order only).
    const TZipHeaderInfo* findName(std::string_view name) const;

    std::size_t size() const { return m_records.size(); }
    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

  private:
    bool less(const TZipHeaderInfo& a, const TZipHeaderInfo& b) const;

    Order m_order;
    std::vector<const TZipHeaderInfo*> m_records;
};

// Byte-wise comparison with a to z folded to upper case: <0, 0 or >0.
int compareNamesIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace qb
