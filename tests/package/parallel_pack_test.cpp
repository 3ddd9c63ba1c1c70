// Packing with several workers: the archive must be the one a single worker makes, every
// callback must come on the calling thread, and every way a build can fail must end it as it
// ends with one worker: the old archive kept, no file left, the same message, no thread left.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "package/deflate_ahead.h"
#include "package/deflate_pool.h"
#include "package/zip_errors.h"
#include "package/zip_writer.h"
#include "tests/package/tree_writer.h"
#include "tests/support/files.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace qb {
namespace {

namespace fs = std::filesystem;
using namespace test;

// Text that deflate shrinks about as much as prose, from a fixed seed.
std::string prose(std::size_t size, unsigned seed) {
    static const char* const words[] = {"the",    "river",   "morning", "of",     "letter",  "and",
                                        "garden", "quietly", "a",       "window", "between", "to"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += words[random() % std::size(words)];
        text += random() % 11 == 0 ? "\n" : " ";
    }
    text.resize(size);
    return text;
}

// Bytes deflate cannot shrink.
std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// The raw deflate stream of the whole text made in one call: what every member must hold.
std::string rawDeflate(const std::string& data, int level) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    deflateEnd(&stream);
    return out;
}

// libdeflate's stream of the whole text.
std::string libdeflateRaw(const std::string& data, int level) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    std::string out(libdeflate_deflate_compress_bound(compressor, data.size()), '\0');
    out.resize(
        libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

std::size_t threadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++count;
    return count;
}

// The threads once those that were joined are gone: a joined thread can still be listed for a
// moment while the kernel finishes it off.
std::size_t settledThreadCount() {
    std::size_t count = threadCount();
    for (int same = 0, tries = 0; same < 3 && tries < 400; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::size_t now = threadCount();
        same = now == count ? same + 1 : 0;
        count = now;
    }
    return count;
}

std::size_t openFiles() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& fd : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

class ParallelPackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(m_tmp / "root");
        fs::create_directory(m_tmp / "out");
        // A sanitizer starts a thread of its own with the first one a program starts.
        std::thread([] {}).join();
        m_threadsBefore = settledThreadCount();
    }
    void TearDown() override {
        // Whatever ended the build, no worker may outlive it.
        EXPECT_EQ(settledThreadCount(), m_threadsBefore);
    }

    std::string root() const { return m_tmp / "root"; }
    std::string zipPath() const { return m_tmp / "out/book.epub"; }

    // A book-like tree: mimetype, members of every size around the deflate buffers, large
    // ones past the budgets, an empty one, names that differ in case only.
    void writeTree() {
        fs::create_directories(root() + "/META-INF");
        fs::create_directories(root() + "/OEBPS/img");
        writeFile(root() + "/mimetype", "application/epub+zip");
        writeFile(root() + "/META-INF/container.xml", "<container/>");
        writeFile(root() + "/OEBPS/empty.html", "");
        writeFile(root() + "/OEBPS/Same.html", "first");
        writeFile(root() + "/OEBPS/same.HTML", "second");
        unsigned seed = 1;
        for (const std::size_t size :
             {std::size_t{1}, std::size_t{65534}, std::size_t{65535}, std::size_t{65536},
              std::size_t{300000}, std::size_t{3} << 19}) {
            writeFile(root() + "/OEBPS/page" + std::to_string(seed) + ".html", prose(size, seed));
            ++seed;
        }
        writeFile(root() + "/OEBPS/img/cover.jpg", noise(1200000, 99));
        for (int i = 0; i < 12; ++i) {
            writeFile(root() + "/OEBPS/part" + std::to_string(i) + ".html",
                      prose(20000 + 7919 * static_cast<std::size_t>(i), 100 + i));
        }
    }

    TVCLZip writer(int jobs) const {
        TVCLZip zip = test::treeWriter(root(), zipPath());
        zip.setStoreFirst("mimetype");
        zip.setJobs(jobs);
        return zip;
    }

    std::vector<std::string> outFolder() const { return test::folderNames(m_tmp / "out"); }

    TempFolder m_tmp;
    std::size_t m_threadsBefore = 0;
};

TEST_F(ParallelPackTest, AnyNumberOfWorkersMakesTheSameArchive) {
    writeTree();
    for (const int level : {6, 1, 9}) {
        std::string single;
        struct Setup {
            int jobs;
            std::size_t budget;
        };
        // A budget smaller than one piece makes every worker but the head's wait its turn.
        std::vector<Setup> setups{{1, DeflatePool::kDefaultBudget}, {3, 200000}};
        if (level == 6) {
            setups.push_back({2, 1});
            setups.push_back({8, DeflatePool::kDefaultBudget});
        }
        for (const Setup setup : setups) {
            fs::remove(zipPath());
            TVCLZip zip = writer(setup.jobs);
            zip.setPackLevel(level);
            zip.setBufferBudget(setup.budget);
            EXPECT_EQ(zip.zip(), 23);
            const std::string archive = readFile(zipPath());
            if (setup.jobs == 1) {
                single = archive;
                const test::ZipContents contents = readZip(archive);
                EXPECT_EQ(contents.members.front().name, "mimetype");
                for (std::size_t i = 1; i < contents.members.size(); ++i) {
                    const test::ZipMember& m = contents.members[i];
                    EXPECT_EQ(m.raw, rawDeflate(m.data, level)) << m.name << " level " << level;
                }
                EXPECT_TRUE(test::unzipAccepts(zipPath()));
            } else {
                EXPECT_TRUE(archive == single)
                    << setup.jobs << " workers, budget " << setup.budget << ", level " << level;
            }
        }
    }
}

TEST_F(ParallelPackTest, LibdeflateMakesTheSameArchiveForAnyWorkersAndStreamsLargeFiles) {
    writeTree();
    // Past the limit of a whole read: deflated by zlib, as one stream.
    writeFile(root() + "/OEBPS/large.html", prose(kWholeDeflateLimit + 70000, 7));
    std::string single;
    for (const int jobs : {1, 2, 8}) {
        fs::remove(zipPath());
        TVCLZip zip = writer(jobs);
        zip.setDeflateEngine(DeflateEngine::Libdeflate);
        if (jobs == 2) zip.setBufferBudget(1);
        EXPECT_EQ(zip.zip(), 24);
        const std::string archive = readFile(zipPath());
        if (jobs > 1) {
            EXPECT_TRUE(archive == single) << jobs << " workers";
            continue;
        }
        single = archive;
        const test::ZipContents contents = readZip(archive);
        for (std::size_t i = 1; i < contents.members.size(); ++i) {
            const test::ZipMember& m = contents.members[i];
            // zlib's past the limit, and for an empty file its two-byte stream.
            const bool zlib = m.data.empty() || m.data.size() > kWholeDeflateLimit;
            EXPECT_EQ(m.raw, zlib ? rawDeflate(m.data, 6) : libdeflateRaw(m.data, 6)) << m.name;
        }
        EXPECT_TRUE(test::unzipAccepts(zipPath()));
    }
}

TEST_F(ParallelPackTest, MembersDeflatedAheadLeaveTheArchiveAsItWouldBe) {
    writeTree();
    const std::string changed = root() + "/OEBPS/part3.html";
    const std::string gone = root() + "/OEBPS/part5.html";
    struct Case {
        int jobs;
        DeflateEngine ahead;   // what deflated the pages while they were written
        DeflateEngine packer;  // what the packer deflates with: a different one takes nothing
    };
    constexpr auto zlib = DeflateEngine::Zlib;
    constexpr auto libdeflate = DeflateEngine::Libdeflate;
    for (const auto [jobs, aheadEngine, packerEngine] :
         {Case{1, zlib, zlib}, Case{2, libdeflate, libdeflate}, Case{8, zlib, zlib},
          Case{2, zlib, libdeflate}}) {
        SCOPED_TRACE(jobs);
        DeflateAhead ahead(m_tmp.path(), jobs, 6, {}, aheadEngine);
        for (const auto& entry : fs::recursive_directory_iterator(root() + "/OEBPS"))
            if (entry.is_regular_file()) ahead.offer(entry.path());
        ahead.offer(root() + "/OEBPS/never-written.html");
        ahead.drain();
        EXPECT_EQ(ahead.deflated(), jobs == 1 ? 22u : 21u);
        // Changed in place (same size, same inode) and removed after they were deflated: the
        // packer must not take their old data.
        std::string text = readFile(changed);
        text[0] = text[0] == 'x' ? 'y' : 'x';
        writeFile(changed, text);
        if (jobs == 1) fs::remove(gone);

        fs::remove(zipPath());
        TVCLZip alone = writer(jobs);
        alone.setDeflateEngine(packerEngine);
        EXPECT_EQ(alone.zip(), 22);
        const std::string without = readFile(zipPath());
        fs::remove(zipPath());
        TVCLZip zip = writer(jobs);
        zip.setDeflateEngine(packerEngine);
        zip.setDeflatedAhead(&ahead);
        EXPECT_EQ(zip.zip(), 22);
        EXPECT_TRUE(readFile(zipPath()) == without);
        EXPECT_EQ(readZip(without).members.size(), 22u);
    }
}

TEST_F(ParallelPackTest, AMemberDeflatedAheadIsOpenedAgainAndFailsAsItWould) {
    // A member that cannot be opened when its turn comes ends the build with the system's
    // reason, even though its data is waiting: the book must not be made of what was there.
    writeTree();
    const std::string blocked = root() + "/OEBPS/page3.html";
    const std::optional<bool> refused = test::asOrdinaryUser(m_tmp.path(), [&] {
        DeflateAhead ahead(m_tmp.path(), 2);
        ahead.offer(blocked);
        ahead.drain();
        if (ahead.deflated() != 1) return false;
        ::chmod(blocked.c_str(), 0);
        TVCLZip zip = writer(2);
        zip.setDeflatedAhead(&ahead);
        try {
            zip.zip();
        } catch (const EFOpenError& error) {
            return std::string(error.what()).find("Permission denied") != std::string::npos &&
                   outFolder().empty();
        }
        return false;
    });
    if (!refused) GTEST_SKIP() << "cannot take an ordinary user's rights here";
    EXPECT_TRUE(*refused);
}

TEST_F(ParallelPackTest, CallbacksComeOnTheCallingThreadAndProgressCountsEveryByte) {
    writeTree();
    std::uint64_t expectedTotal = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root())) {
        if (entry.is_regular_file()) expectedTotal += entry.file_size();
    }
    const std::thread::id caller = std::this_thread::get_id();
    bool elsewhere = false;
    int messages = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    TVCLZip zip = writer(4);
    zip.setProcessMessages([&] {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        ++messages;
    });
    zip.setProgressHandler([&](std::uint64_t done, std::uint64_t total) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        progress.emplace_back(done, total);
    });
    zip.setShortReadHandler([&](const std::string&, std::uint64_t, std::uint64_t) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
    });
    EXPECT_EQ(zip.zip(), 23);
    EXPECT_FALSE(elsewhere);
    EXPECT_GT(messages, 24);
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_LE(progress[i].first, progress[i].second);
        if (i > 0) {
            EXPECT_GE(progress[i].first, progress[i - 1].first);
        }
    }
    // The member left out for its name was read by nobody and leaves the total.
    std::uint64_t packed = 0;
    for (const test::ZipMember& m : readZip(readFile(zipPath())).members) {
        packed += m.data.size();
    }
    EXPECT_LT(packed, expectedTotal);
    EXPECT_EQ(progress.back(), std::make_pair(packed, packed));
}

// The window cancels by throwing from its event handler: the build must stop at once, remove
// what it wrote and leave no worker behind, at any point of the build.
TEST_F(ParallelPackTest, AnExceptionFromTheEventHandlerEndsTheBuildCleanly) {
    writeTree();
    ASSERT_EQ(writer(1).zip(), 23);
    // The calls the build makes at least: one per file of the walk, one per piece of data
    // written; waiting for a worker adds more.
    int least = 24;
    for (const test::ZipMember& m : readZip(readFile(zipPath())).members) {
        least += static_cast<int>((m.compressedSize + kDeflateBufferSize - 1) / kDeflateBufferSize);
    }
    writeFile(zipPath(), "the old archive");
    // In the walk, at the first member, at the next, half-way, at the last piece.
    for (const int stopAt : {1, 25, 26, least / 2, least - 1}) {
        int calls = 0;
        TVCLZip zip = writer(3);
        zip.setProcessMessages([&] {
            if (++calls == stopAt) throw std::runtime_error("cancelled");
        });
        try {
            zip.zip();
            ADD_FAILURE() << "the build ran to the end past call " << stopAt;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "cancelled");
        }
        EXPECT_EQ(settledThreadCount(), m_threadsBefore) << stopAt;
        EXPECT_EQ(outFolder(), std::vector<std::string>{"book.epub"}) << stopAt;
        EXPECT_TRUE(readFile(zipPath()) == "the old archive") << stopAt;
        EXPECT_TRUE(zip.filesList().empty());
    }
}

// A worker that cannot read its file fails the build with the message one worker gives; when
// two files fail, the first in archive order is the one reported.
TEST_F(ParallelPackTest, AReadErrorOnAWorkerEndsTheBuildWithItsMessageInArchiveOrder) {
    writeTree();
    ASSERT_EQ(writer(1).zip(), 23);
    const test::ZipContents order = readZip(readFile(zipPath()));
    // A large member that fails late, and the member after it, which fails at once: the
    // later one fails first, but the earlier one is what one worker would have reported.
    std::size_t at = 1;
    while (order.members[at].data.size() < 300000) ++at;
    ASSERT_LT(at + 1, order.members.size());
    const std::string early = root() + "/" + order.members[at].name;
    const std::string next = root() + "/" + order.members[at + 1].name;
    writeFile(zipPath(), "the old archive");

    auto inodeOf = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
    };
    const ino_t earlyInode = inodeOf(early);
    const ino_t nextInode = inodeOf(next);
    TVCLZip zip = writer(4);
    zip.setReadFunction([&](int fd, void* buffer, std::size_t size) -> ssize_t {
        struct stat st {};
        if (::fstat(fd, &st) == 0 &&
            (st.st_ino == nextInode ||
             (st.st_ino == earlyInode && ::lseek(fd, 0, SEEK_CUR) >= 200000))) {
            errno = EIO;
            return -1;
        }
        return ::read(fd, buffer, size);
    });
    try {
        zip.zip();
        ADD_FAILURE() << "the read errors went unnoticed";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot read file \"" + early + "\". Input/output error");
    }
    EXPECT_EQ(outFolder(), std::vector<std::string>{"book.epub"});
    EXPECT_TRUE(readFile(zipPath()) == "the old archive");
}

// Files that change while a worker reads them: the member records what was read, and a
// shrunken file is reported on the calling thread.
TEST_F(ParallelPackTest, AFileChangingWhileAWorkerReadsItIsPackedAsRead) {
    writeTree();
    const std::string changing = root() + "/OEBPS/changing.html";
    constexpr std::size_t kSize = 1 << 20;
    for (const bool shrink : {true, false}) {
        writeFile(changing, prose(kSize, 7));
        struct stat target {};
        ASSERT_EQ(::stat(changing.c_str(), &target), 0);
        std::once_flag changed;
        TVCLZip zip = writer(3);
        zip.setReadFunction([&](int fd, void* buffer, std::size_t size) -> ssize_t {
            const ssize_t got = ::read(fd, buffer, size);
            struct stat st {};
            if (got > 0 && ::fstat(fd, &st) == 0 && st.st_ino == target.st_ino) {
                // After the first piece, while the file is open on the worker.
                std::call_once(changed, [&] {
                    if (shrink) {
                        EXPECT_EQ(::truncate(changing.c_str(), 200000), 0);
                    } else {
                        std::ofstream(changing, std::ios::binary | std::ios::app)
                            << prose(300000, 8);
                    }
                });
            }
            return got;
        });
        std::vector<std::uint64_t> shortRead;
        const std::thread::id caller = std::this_thread::get_id();
        zip.setShortReadHandler(
            [&](const std::string& path, std::uint64_t expected, std::uint64_t read) {
                EXPECT_EQ(path, changing);
                EXPECT_EQ(std::this_thread::get_id(), caller);
                shortRead = {expected, read};
            });
        EXPECT_EQ(zip.zip(), 24);
        const test::ZipContents contents = readZip(readFile(zipPath()));
        bool found = false;
        for (const test::ZipMember& m : contents.members) {
            if (m.name != "OEBPS/changing.html") continue;
            found = true;
            EXPECT_EQ(m.data, readFile(changing));
            EXPECT_EQ(m.data.size(), shrink ? 200000u : kSize + 300000);
        }
        EXPECT_TRUE(found);
        if (shrink) {
            EXPECT_EQ(shortRead, (std::vector<std::uint64_t>{kSize, 200000}));
        } else {
            EXPECT_TRUE(shortRead.empty());
        }
        fs::remove(zipPath());
    }
}

TEST_F(ParallelPackTest, ADiskThatFillsKeepsTheOldArchiveWhicheverWorkerIsAhead) {
    writeTree();
    ASSERT_EQ(writer(1).zip(), 23);
    const std::size_t size = fs::file_size(zipPath());
    writeFile(zipPath(), "the old archive");
    // In the first member, early, where the writer's buffer first goes out, in the end record.
    for (const std::size_t room :
         {std::size_t{10}, std::size_t{70000}, std::size_t{1} << 20, size - 10}) {
        std::size_t left = room;
        TVCLZip zip = writer(4);
        zip.setWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
            if (left == 0) {
                errno = ENOSPC;
                return -1;
            }
            const std::size_t n = std::min(left, size);
            left -= n;
            return ::write(fd, data, n);
        });
        try {
            zip.zip();
            ADD_FAILURE() << "a full disk went unnoticed with " << room << " bytes of room";
        } catch (const ENotEnoughRoom&) {
        }
        EXPECT_EQ(outFolder(), std::vector<std::string>{"book.epub"}) << room;
        EXPECT_TRUE(readFile(zipPath()) == "the old archive") << room;
    }
}

// However slow the writer, the workers run only a little ahead of it: a few members open, and
// no more compressed data held than the budgets allow.
TEST_F(ParallelPackTest, WorkersStayABoundedDistanceAheadOfTheWriter) {
    for (int i = 0; i < 6; ++i) {
        writeFile(root() + "/f" + std::to_string(i), noise(3 << 20, 200 + i));
    }
    constexpr std::size_t kBudget = 256 * 1024;
    const std::size_t filesBefore = openFiles();
    std::size_t mostFiles = 0;
    std::uint64_t mostAhead = 0;
    std::uint64_t written = 0;
    TVCLZip zip = writer(3);
    zip.setBufferBudget(kBudget);
    zip.setWriteFunction([&](int fd, const void* data, std::size_t size) -> ssize_t {
        const ssize_t n = ::write(fd, data, size);
        if (n > 0) written += static_cast<std::uint64_t>(n);
        return n;
    });
    int calls = 0;
    zip.setProcessMessages([&] {
        if (++calls % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        mostFiles = std::max(mostFiles, openFiles());
    });
    zip.setProgressHandler([&](std::uint64_t done, std::uint64_t) {
        // The archive stream buffers up to 1 MiB before it writes; noise does not shrink.
        if (done > written) mostAhead = std::max(mostAhead, done - written);
    });
    EXPECT_EQ(zip.zip(), 6);
    // The archive, and at most 2 x 3 + 1 members admitted.
    EXPECT_LE(mostFiles, filesBefore + 1 + 7);
    // Budget, the head's allowance, the archive buffer, and per worker a piece read ahead
    // and what deflate holds.
    const std::uint64_t bound = kBudget + DeflatePool::kHeadLimit + (std::uint64_t{1} << 20) +
                                3 * (4 * kDeflateBufferSize + 300 * 1024);
    EXPECT_LE(mostAhead, bound);
    EXPECT_GT(mostAhead, 0u);
}

TEST_F(ParallelPackTest, AFewMembersStartNoMoreThreadsThanThereAreMembers) {
    writeFile(root() + "/mimetype", "application/epub+zip");
    writeFile(root() + "/a.html", prose(400000, 1));
    writeFile(root() + "/b.html", prose(400000, 2));
    std::size_t most = 0;
    TVCLZip zip = writer(8);
    zip.setProcessMessages([&] { most = std::max(most, threadCount()); });
    EXPECT_EQ(zip.zip(), 3);
    EXPECT_GT(most, m_threadsBefore);
    EXPECT_LE(most, m_threadsBefore + 2);
}

TEST(DefaultJobsTest, TakesQbJobsWhenItIsAUsableNumber) {
    const char* saved = std::getenv("QB_JOBS");
    const std::string before = saved != nullptr ? saved : "";
    ::unsetenv("QB_JOBS");
    const int processors = defaultJobs();
    EXPECT_GE(processors, 1);
    ::setenv("QB_JOBS", "3", 1);
    EXPECT_EQ(defaultJobs(), 3);
    for (const char* unusable : {"0", "-2", "three", "4x", "", "65", "99999999999999999999"}) {
        ::setenv("QB_JOBS", unusable, 1);
        EXPECT_EQ(defaultJobs(), processors) << unusable;
    }
    if (saved != nullptr) {
        ::setenv("QB_JOBS", before.c_str(), 1);
    } else {
        ::unsetenv("QB_JOBS");
    }
}

}  // namespace
}  // namespace qb
