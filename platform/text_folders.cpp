#include "platform/text_folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/ascii.h"
#include "platform/errors.h"

namespace qb {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char foldedAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares two runs of digits as the numbers they write, however long.
int compareNumbers(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
    while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

bool hasTextSuffix(const std::string& name) {
    return name.size() > 4 && lowerAscii(name.substr(name.size() - 4)) == ".txt";
}

std::string joined(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::size_t startA = i;
            const std::size_t startB = j;
            while (i < a.size() && isDigit(a[i])) ++i;
            while (j < b.size() && isDigit(b[j])) ++j;
            const int c = compareNumbers(std::string_view(a).substr(startA, i - startA),
                                         std::string_view(b).substr(startB, j - startB));
            if (c != 0) return c < 0;
            continue;
        }
        // Bytes above ASCII compare as they stand: UTF-8 keeps the code points' order.
        const auto x = static_cast<unsigned char>(foldedAscii(a[i]));
        const auto y = static_cast<unsigned char>(foldedAscii(b[j]));
        if (x != y) return x < y;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

std::vector<std::string> textFilesIn(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) throw Error("Cannot open folder \"" + folder + "\". " + causeOf(errno));
    std::vector<std::string> names;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (!hasTextSuffix(name)) continue;
        // Followed: a link to a text file is one. A link that cannot be followed stays.
        struct stat st {};
        const std::string path = joined(folder, name);
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    if (error != 0) throw Error("Cannot list folder \"" + folder + "\". " + causeOf(error));
    std::sort(names.begin(), names.end(), naturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) paths.push_back(joined(folder, name));
    return paths;
}

std::vector<std::string> expandTextFolders(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    files.reserve(inputs.size());
    for (const std::string& input : inputs) {
        struct stat st {};
        if (::stat(input.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            files.push_back(input);
            continue;
        }
        std::vector<std::string> inFolder = textFilesIn(input);
        if (inFolder.empty())
            throw Error("The folder \"" + input +
                        "\" holds no .txt file (folders in it are not "
                        "searched).");
        for (std::string& path : inFolder) files.push_back(std::move(path));
    }
    return files;
}

}  // namespace qb
