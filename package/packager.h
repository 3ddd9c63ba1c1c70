#pragma once
// The two operations on the work folder: removing the content folder and packing the work
// folder into the .epub archive.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/deflate_engine.h"

namespace qb {

class DeflateAhead;

// Every callback is called on the thread that called packageFolder, never on a worker thread.
struct PackCallbacks {
    // Called while packing so a window can handle its pending events; may be empty. An
    // exception it throws ends the build: no new file is left, an old archive stays.
    std::function<void()> processMessages;
    // A file yielded fewer bytes than its size when it was opened; may be empty.
    std::function<void(const std::string& path, std::uint64_t expected, std::uint64_t read)>
        shortRead;
    // Progress: bytes of the members packed so far, of the total to pack; may be empty.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // Asked after each of the processMessages calls and once more before the archive takes its
    // name; true ends the build as Cancelled, with no new file left and an old archive kept. May be
    // empty.
    std::function<bool()> cancelled{};
    // Asked once, when the archive is complete and on the disk, just before it takes its name
    // (and the old archive's place): false ends the build as Cancelled, true settles that it
    // is published, so that a stop request after it cannot undo a book already in place. Empty:
    // cancelled is asked there instead.
    std::function<bool()> publishing{};
};

struct PackOptions {
    int jobs = 0;  // threads that deflate at once; 0: QB_JOBS, else one per processor
    // Stored names the archive must hold ("OEBPS/page1.html"); the build fails, replacing
    // nothing, when one is missing from the finished archive.
    std::vector<std::string> required{};
    // Whether the archive may replace a file at its path: true only when the user agreed to
    // replace the one that was there. Without, a file that appears there while the book is
    // packed is kept and the build fails.
    bool replace = false;
    // Members deflated while the book was written; their data is copied, the archive the same.
    DeflateAhead* ahead = nullptr;
    DeflateEngine engine = DeflateEngine::Zlib;
};

struct PackResult {
    bool built = false;
    std::string cause;       // why the archive was not built; empty on success or cancel
    bool cancelled = false;  // the callbacks asked to stop; nothing was built
};

// Deletes the folder and everything below it, without asking. True when all of it is gone;
// otherwise cause, when given, receives the system's reason.
bool removeFolder(const std::string& folder, std::string* cause = nullptr);

// The members of a book's work folder that the packer takes: the template's two files and
// every file below the content folder.
inline constexpr const char* kBookMembers[] = {"mimetype", "META-INF/container.xml"};
inline constexpr const char* kContentFolder = "OEBPS";

// Packs the book in folder into the archive zipName: the kBookMembers, which must be there,
// and every file below kContentFolder (not hidden, not a system entry), mimetype first and
// stored. Nothing else in folder is taken. An existing archive is replaced, with options.replace,
// only once the new one is complete, and keeps its permission bits.
PackResult packageFolder(const std::string& zipName, const std::string& folder,
                         const PackCallbacks& callbacks = {}, const PackOptions& options = {});

}  // namespace qb
