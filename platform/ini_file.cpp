#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <set>

#include "platform/ascii.h"
#include "platform/errors.h"
#include "platform/text_file.h"
#include "platform/unique_fd.h"

namespace qb {

namespace {

// More than any settings file of ours holds; a file in its place that is bigger (or a device
// without end) is not read into memory.
constexpr std::uint64_t kMaxSettingsBytes = std::uint64_t{1} << 20;

std::string trim(const std::string& s) {
    const char* blanks = " \t";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

// "[name]" -> name; anything else -> nothing.
std::optional<std::string> sectionName(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

bool isComment(const std::string& line) {
    const std::string t = trim(line);
    return t.empty() || t[0] == ';' || t[0] == '#';
}

// Key of a "key=value" line, if it is one.
std::optional<std::string> keyOf(const std::string& line) {
    if (isComment(line) || sectionName(line)) return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    return trim(line.substr(0, eq));
}

std::string valueOf(const std::string& line) {
    std::string v = trim(line.substr(line.find('=') + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

// The file a settings path names: the end of its chain of symbolic links, so that saving
// replaces the file the user linked to and keeps the link. Raises when the chain does not end.
std::string linkTarget(const std::string& path) {
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n < 0) throw Error("Unable to write to " + path + ". " + causeOf(errno));
        target.resize(static_cast<std::size_t>(n));
        if (!target.empty() && target.front() != '/') {
            const auto slash = at.rfind('/');
            target =
                (slash == std::string::npos ? std::string() : at.substr(0, slash + 1)) + target;
        }
        at = std::move(target);
    }
    throw Error("Unable to write to " + path + ". " + causeOf(ELOOP));
}

std::string indexKey(const std::string& section, const std::string& key) {
    return lowerAscii(section) + '\n' + lowerAscii(key);
}

// Where a section's lines are: [begin, end) after its header, or nothing.
struct SectionRange {
    std::size_t header, end;
};
std::optional<SectionRange> findSection(const std::vector<std::string>& lines,
                                        const std::string& section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i]);
        if (!name || !equalsIgnoringAsciiCase(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !sectionName(lines[end])) ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

}  // namespace

IniFile::IniFile(std::string path) : m_path(std::move(path)) {
    try {
        m_content = readContent();
    } catch (const Error& e) {
        // Settings that cannot be read leave the defaults; saving says why again.
        m_readProblem = e.what();
    }
    index();
}

IniFile::Content IniFile::parse(std::string text) {
    Content c;
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
        c.bom = true;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        std::string line =
            text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            c.crlf = true;
        }
        c.lines.push_back(std::move(line));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return c;
}

IniFile::Content IniFile::readContent() const {
    struct stat st {};
    // A file that cannot even be looked at (gone, or a file where a folder of its path should
    // be) holds no settings; saving says why it cannot be written.
    if (::stat(m_path.c_str(), &st) != 0) return {};
    return parse(readFileBytes(m_path, kMaxSettingsBytes, FileKinds::RegularOnly));
}

void IniFile::index() {
    m_values.clear();
    // Only the first section of a name counts, as saving changes only that one.
    std::set<std::string> seen;
    std::string section;
    bool counted = false;
    for (const std::string& line : m_content.lines) {
        if (const auto name = sectionName(line)) {
            section = lowerAscii(*name);
            counted = seen.insert(section).second;
            continue;
        }
        if (!counted) continue;
        if (const auto key = keyOf(line))
            m_values.emplace(section + '\n' + lowerAscii(*key), valueOf(line));
    }
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
    const auto found = m_values.find(indexKey(section, key));
    return found == m_values.end() ? fallback : found->second;
}

void IniFile::apply(Content& c, const Change& change) {
    const std::string& value = change.value;
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                           value.back() == '\t' || (value.front() == '"' && value.back() == '"'));
    const std::string line = change.key + "=" + (needsQuotes ? "\"" + value + "\"" : value);

    if (const auto range = findSection(c.lines, change.section)) {
        std::size_t insertAt = range->header + 1;
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            const auto k = keyOf(c.lines[i]);
            if (!k) continue;
            if (equalsIgnoringAsciiCase(*k, change.key)) {
                c.lines[i] = line;
                return;
            }
            insertAt = i + 1;
        }
        c.lines.insert(c.lines.begin() + static_cast<long>(insertAt), line);
    } else {
        // A trailing empty element stands for the file's final line break.
        while (!c.lines.empty() && c.lines.back().empty()) c.lines.pop_back();
        if (!c.lines.empty()) c.lines.emplace_back();
        c.lines.push_back("[" + change.section + "]");
        c.lines.push_back(line);
    }
}

void IniFile::setString(const std::string& section, const std::string& key,
                        const std::string& value) {
    const Change change{section, key, value};
    apply(m_content, change);
    m_values[indexKey(section, key)] = value;
    for (Change& pending : m_changes) {
        if (equalsIgnoringAsciiCase(pending.section, section) &&
            equalsIgnoringAsciiCase(pending.key, key)) {
            pending = change;
            return;
        }
    }
    m_changes.push_back(change);
}

void IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
    // All or nothing: a value that could not be saved is not held either.
    Content content = m_content;
    std::map<std::string, std::string> values = m_values;
    std::vector<Change> changes = m_changes;
    setString(section, key, value);
    try {
        save();
    } catch (...) {
        m_content = std::move(content);
        m_values = std::move(values);
        m_changes = std::move(changes);
        throw;
    }
}

void IniFile::save() {
    const auto unable = [&](int error) {
        return Error("Unable to write to " + m_path + ". " + causeOf(error));
    };
    const std::string target = linkTarget(m_path);
    // A settings file its owner made read-only must stay as it is: a new file renamed over it
    // would replace it all the same.
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && ::access(target.c_str(), W_OK) != 0) throw unable(errno);

    // What is there now, with only this program's changes: another program may have saved its
    // own since this one read the file.
    Content c = readContent();
    for (const Change& change : m_changes) apply(c, change);
    while (!c.lines.empty() && c.lines.back().empty()) c.lines.pop_back();

    std::string text = c.bom ? "\xEF\xBB\xBF" : "";
    const char* eol = c.crlf ? "\r\n" : "\n";
    for (const auto& l : c.lines) text += l + eol;

    const auto writeAll = [&](int fd) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) {
                errno = ENOSPC;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    };

    // Write the whole file to a sibling first and rename it into place, so that a failed
    // write never leaves a half-written settings file behind. The sibling's name is this
    // program's own: two windows may save at once.
    static std::atomic<int> serial{0};
    const std::string temp =
        target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    int error = 0;
    {
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        const bool created = bool(fd);
        bool written = false;
        if (!fd) {
            error = errno;
        } else {
            // The new file takes the old one's permissions: settings may name private folders.
            written = (!exists || ::fchmod(fd.get(), old.st_mode & 07777) == 0) &&
                      writeAll(fd.get()) && ::fsync(fd.get()) == 0;
            if (!written) error = errno;
            if (fd.close() != 0 && written) {
                written = false;
                error = errno;
            }
        }
        if (written && std::rename(temp.c_str(), target.c_str()) == 0) {
            m_content = std::move(c);
            index();
            m_changes.clear();
            return;
        }
        if (written) error = errno;
        if (created) ::unlink(temp.c_str());
    }
    // The folder may refuse new files while the settings file itself is writable.
    if (exists && ::access(target.c_str(), W_OK) == 0) {
        UniqueFd fd(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (fd && writeAll(fd.get()) && fd.close() == 0) {
            m_content = std::move(c);
            index();
            m_changes.clear();
            return;
        }
    }
    throw unable(error);
}

}  // namespace qb
