#include "package/dir_search.h"

#include "platform/ascii.h"

#include <utility>

namespace qb {

bool matchesPattern(std::string_view pattern, std::string_view name) {
    // Iterative match with backtracking to the last "*": linear in practice, no recursion.
    std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        // A "*" in the pattern is always the wildcard, even facing a "*" in the name: taken as
        // a literal it would leave nothing to fall back on, and a file named "*x" would be
        // left out of the archive.
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || toAsciiUpper(pattern[p]) == toAsciiUpper(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

TDirSearch::TDirSearch(std::string folder, std::uint32_t mask, bool recurse, std::string pattern)
    : m_mask(mask), m_recurse(recurse), m_pattern(std::move(pattern)) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    m_levels.emplace_back();
    m_levels.back().findFirst(folder, m_mask);
}

bool TDirSearch::isOpenAncestor(const TSearchData& entry) const {
    for (const TSearchData& level : m_levels) {
        if (level.folderDevice() == entry.device() && level.folderInode() == entry.inode()) {
            return true;
        }
    }
    return false;
}

std::string TDirSearch::nextPath() {
    while (!m_levels.empty()) {
        TSearchData& current = m_levels.back();
        if (!current.valid()) {
            // This folder is done: climb back and step past it in the parent's listing.
            m_levels.pop_back();
            if (m_levels.empty()) return {};
            m_levels.back().findNext();
            continue;
        }
        if (current.isFolder()) {
            const std::string& name = current.name();
            if (!m_recurse || name == "." || name == ".." || isOpenAncestor(current)) {
                current.findNext();
                continue;
            }
            std::string path = current.folder() + name + '/';
            // The parent stays on this entry until the level below is exhausted.
            TSearchData below;
            below.findFirst(path, m_mask);
            m_levels.push_back(std::move(below));
            return path;
        }
        std::string name = current.name();
        std::string path = current.folder() + name;
        current.findNext();
        // A name without an extension is matched as "name." so that "*.*" style patterns
        // still cover it; the file keeps its own name.
        if (name.find('.') == std::string::npos) name += '.';
        if (matchesPattern(m_pattern, name)) return path;
    }
    return {};
}

void TDirSearch::release() {
    m_levels.clear();
}

}  // namespace qb
