// Generated folder trees through the folder walk and the zip writer: the archive must read back
// with the names and contents of the files, mimetype first and stored; and a disk that fills
// at any byte must leave the old archive as it was and no temporary file behind.
//
// The input describes the tree: entries (file, folder, or back up one level) with names of
// any bytes a file system allows, file contents (sometimes repeated past the deflate buffers),
// the pack level, and optionally the byte at which the disk is full.

#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "package/sorted_zip.h"
#include "package/zip_errors.h"
#include "package/zip_writer.h"
#include "platform/ascii.h"
#include "tests/support/zip_reader.h"

namespace fs = std::filesystem;

namespace {

using qb::fuzz::check;

const qb::fuzz::ScratchFolder* scratch = nullptr;

bool isAscii(const std::string& s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// A name the file system accepts: no "/", no NUL, not "." or "..", at most 255 bytes.
std::string entryName(FuzzedDataProvider& input) {
    std::string name;
    for (const char c : input.ConsumeRandomLengthString(300)) {
        if (c != '/' && c != '\0') name += c;
    }
    if (name.size() > 255) name.resize(255);
    if (name.empty() || name == "." || name == "..") name = "x" + name;
    return name;
}

struct Tree {
    // Relative path -> content of every file the archive must hold (hidden ones left out).
    std::map<std::string, std::string> files;
};

Tree buildTree(FuzzedDataProvider& input, const std::string& root) {
    Tree tree;
    std::vector<std::string> folders = {""};  // relative, ending in "/" below the root
    if (input.ConsumeBool()) {
        qb::fuzz::writeFile(root + "/mimetype", "application/epub+zip");
        tree.files["mimetype"] = "application/epub+zip";
    }
    const int entries = input.ConsumeIntegralInRange(0, 16);
    for (int i = 0; i < entries && input.remaining_bytes() > 0; ++i) {
        const int kind = input.ConsumeIntegralInRange(0, 5);
        if (kind == 0) {
            if (folders.size() > 1) folders.pop_back();
            continue;
        }
        const std::string relative = folders.back() + entryName(input);
        const std::string path = root + "/" + relative;
        if (kind == 1) {
            if (::mkdir(path.c_str(), 0755) == 0) folders.push_back(relative + "/");
            continue;
        }
        std::string content = input.ConsumeRandomLengthString(512);
        if (kind == 5 && !content.empty()) {
            const std::string unit = content;
            while (content.size() < 150 * 1024) content += unit;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) continue;  // taken by an earlier entry
        std::size_t done = 0;
        while (done < content.size()) {
            const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
            if (n <= 0) qb::fuzz::fail("cannot write the tree");
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
        bool hidden = false;
        for (const auto& part : fs::path(relative)) {
            if (!part.empty() && part.native().front() == '.') hidden = true;
        }
        if (!hidden) tree.files[relative] = content;
    }
    return tree;
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().native());
    }
    return names;
}

void checkArchive(const std::string& archive, const Tree& tree) {
    const qb::test::ZipContents zip = qb::test::readZip(qb::fuzz::readFile(archive));

    if (std::getenv("QB_FUZZ_VERBOSE") != nullptr) {
        for (const auto& [name, content] : tree.files)
            std::fprintf(stderr, "file  %s (%zu bytes)\n", name.c_str(), content.size());
        for (const qb::test::ZipMember& member : zip.members)
            std::fprintf(stderr, "member %s (%zu bytes)\n", member.name.c_str(),
                         member.data.size());
    }
    // Names that differ in ASCII case only stand for one member: the walk's first file wins.
    std::map<std::string, std::set<std::string>> byFoldedName;
    for (const auto& [name, content] : tree.files) byFoldedName[qb::upperAscii(name)].insert(name);
    check(zip.members.size() == byFoldedName.size(),
          "the archive holds " + std::to_string(zip.members.size()) + " members for " +
              std::to_string(byFoldedName.size()) + " distinct names");

    std::set<std::string> seen;
    for (const qb::test::ZipMember& member : zip.members) {
        const auto file = tree.files.find(member.name);
        check(file != tree.files.end(), "the archive holds a member no file has: " + member.name);
        check(member.data == file->second, "member " + member.name + " differs from its file");
        check(seen.insert(qb::upperAscii(member.name)).second, "a name is stored twice");
        const bool utf8Flag = (member.flags & qb::kFlagUtf8Name) != 0;
        check(utf8Flag == (!isAscii(member.name) && qb::fuzz::isWellFormedUtf8(member.name)),
              "the UTF-8 name flag is wrong for " + member.name);
    }
    if (tree.files.count("mimetype") != 0) {
        check(zip.members.front().name == "mimetype" && zip.members.front().method == 0,
              "mimetype is not the first member, stored");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch = &qb::fuzz::scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string root = *scratch / "work";
    const std::string out = *scratch / "out";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::remove_all(out, ignored);
    fs::create_directories(root);
    fs::create_directories(out);

    const int level = input.ConsumeIntegralInRange(0, 9);
    const bool diskFills = input.ConsumeBool();
    const std::uint64_t room = input.ConsumeIntegralInRange<std::uint64_t>(0, 400 * 1024);
    const Tree tree = buildTree(input, root);

    const std::string archive = out + "/book.epub";
    const std::string oldBook = "the book from the last run";
    qb::fuzz::writeFile(archive, oldBook);

    qb::TVCLZip zip;
    zip.setRootDir(root);
    zip.setRelativePaths(true);
    zip.setZipName(archive);
    zip.filesList().push_back(root + "/*.*");
    zip.setStoreFirst("mimetype");
    zip.setPackLevel(level);
    zip.setReplace(true);  // over the old book
    std::uint64_t written = 0;
    bool refused = false;
    if (diskFills) {
        // Takes what fits, in part when a write straddles the limit, then reports a full disk.
        zip.setWriteFunction([&](int fd, const void* bytes, std::size_t count) -> ssize_t {
            if (written >= room) {
                refused = true;
                errno = ENOSPC;
                return -1;
            }
            const std::size_t take = std::min<std::uint64_t>(count, room - written);
            const ssize_t n = ::write(fd, bytes, take);
            if (n > 0) written += static_cast<std::uint64_t>(n);
            return n;
        });
    }

    try {
        zip.zip();
        check(!refused, "the build reported success although the disk was full");
        check(folderEntries(out) == std::vector<std::string>{"book.epub"},
              "the build left a file beside the archive");
        checkArchive(archive, tree);
    } catch (const qb::ENotEnoughRoom&) {
        check(refused, "a full disk was reported although every write went through");
        check(folderEntries(out) == std::vector<std::string>{"book.epub"},
              "a failed build left its temporary file");
        check(qb::fuzz::readFile(archive) == oldBook, "a failed build changed the old archive");
    } catch (const std::exception& error) {
        qb::fuzz::fail(std::string("the build failed: ") + error.what());
    }
    return 0;
}
