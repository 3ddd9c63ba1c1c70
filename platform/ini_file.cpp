#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

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

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

IniFile::Content IniFile::load() const {
    Content c;
    struct stat st {};
    // A file that cannot even be looked at (gone, or a file where a folder of its path should
    // be) holds no settings; writing it says why it cannot be written.
    if (::stat(m_path.c_str(), &st) != 0) return c;
    std::string text = readFileBytes(m_path, kMaxSettingsBytes, FileKinds::RegularOnly);
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

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
    Content c;
    try {
        c = load();
    } catch (const Error&) {
        // Settings that cannot be read leave the defaults; saving them says why.
        return fallback;
    }
    const auto range = findSection(c.lines, section);
    if (!range) return fallback;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        const auto k = keyOf(c.lines[i]);
        if (k && equalsIgnoringAsciiCase(*k, key)) return valueOf(c.lines[i]);
    }
    return fallback;
}

void IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
    // A settings file its owner made read-only must stay as it is: a new file renamed over it
    // would replace it all the same.
    struct stat old {};
    const bool exists = ::stat(m_path.c_str(), &old) == 0;
    if (exists && ::access(m_path.c_str(), W_OK) != 0) throw Error("Unable to write to " + m_path);

    Content c = load();
    const bool needsQuotes =
        !value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                           value.back() == '\t' || (value.front() == '"' && value.back() == '"'));
    const std::string line = key + "=" + (needsQuotes ? "\"" + value + "\"" : value);

    if (const auto range = findSection(c.lines, section)) {
        std::size_t insertAt = range->header + 1;
        bool replaced = false;
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            const auto k = keyOf(c.lines[i]);
            if (!k) continue;
            if (equalsIgnoringAsciiCase(*k, key)) {
                c.lines[i] = line;
                replaced = true;
                break;
            }
            insertAt = i + 1;
        }
        if (!replaced) c.lines.insert(c.lines.begin() + static_cast<long>(insertAt), line);
    } else {
        if (!c.lines.empty() && !c.lines.back().empty()) c.lines.emplace_back();
        c.lines.push_back("[" + section + "]");
        c.lines.push_back(line);
    }
    // A trailing empty element stands for the file's final line break.
    while (!c.lines.empty() && c.lines.back().empty()) c.lines.pop_back();

    std::string text = c.bom ? "\xEF\xBB\xBF" : "";
    const char* eol = c.crlf ? "\r\n" : "\n";
    for (const auto& l : c.lines) text += l + eol;

    // Write the whole file to a sibling first and rename it into place, so that a failed
    // write never leaves a half-written settings file behind.
    const std::string temp = m_path + ".tmp";
    const auto writeAll = [&](const std::string& target) {
        UniqueFd fd(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd) return false;
        // The new file takes the old one's permissions: settings may name private folders.
        if (exists && target == temp && ::fchmod(fd.get(), old.st_mode & 07777) != 0) {
            return false;
        }
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return fd.close() == 0;
    };
    if (writeAll(temp) && std::rename(temp.c_str(), m_path.c_str()) == 0) return;
    ::unlink(temp.c_str());
    // The folder may refuse new files while the settings file itself is writable.
    if (::access(m_path.c_str(), F_OK) == 0 && ::access(m_path.c_str(), W_OK) == 0 &&
        writeAll(m_path))
        return;
    throw Error("Unable to write to " + m_path);
}

}  // namespace qb
