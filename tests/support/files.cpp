#include "tests/support/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace qb::test {

namespace {

struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, Closer>;

[[noreturn]] void fail(const char* what, const std::string& path) {
    throw std::runtime_error(std::string(what) + " \"" + path + "\": " + std::strerror(errno));
}

}  // namespace

std::string readFile(const std::string& path) {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) fail("cannot open", path);
    std::string bytes;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, got);
    // A folder opens like a file and fails only when read.
    if (std::ferror(file.get())) fail("cannot read", path);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) fail("cannot create", path);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        fail("cannot write", path);
    }
    // The last bytes reach the file only when it is closed, and so may their error.
    if (std::fclose(file.release()) != 0) fail("cannot write", path);
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    if (ec) throw std::runtime_error("cannot list \"" + folder + "\": " + ec.message());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qb::test
