#pragma once
// Depth-first walk of a folder tree in the order the file system lists each folder.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "package/search_data.h"

namespace qb {

// Wildcard match of a file name against a pattern of "*" and "?", ASCII case ignored.
bool matchesPattern(std::string_view pattern, std::string_view name);

class TDirSearch {
  public:
    // folder gets a trailing "/" when it lacks one. pattern applies to file names only.
    TDirSearch(std::string folder, std::uint32_t mask, bool recurse, std::string pattern);
    ~TDirSearch() { release(); }
    TDirSearch(const TDirSearch&) = delete;
    TDirSearch& operator=(const TDirSearch&) = delete;

    // The next file path, or the next folder path ending in "/" as the walk enters it, or
    // the empty string when the walk is over.
    std::string nextPath();
    // Closes every listing still open.
    void release();

  private:
    // True when the entry is a folder already open further up: a link back to an
    // ancestor would otherwise make the walk go round for ever.
    bool isOpenAncestor(const TSearchData& entry) const;

    std::vector<TSearchData> m_levels;
    std::uint32_t m_mask;
    bool m_recurse;
    std::string m_pattern;
};

}  // namespace qb
