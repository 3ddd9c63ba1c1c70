#pragma once
// The new archive while it is written, and the one step that puts it at its target.
//
// It is written as a file without a name in the target's folder, so that a run killed at any
// moment leaves nothing behind, and it gets the target's name only once it is complete. Where
// the file system cannot make a file without a name, it is written as a hidden file beside
// the target instead, removed unless it was published. That file's name holds the id of the
// process that writes it, and the file is locked while it is written, so that a later run can
// remove what a killed one left.

#include <functional>
#include <string>

#include "platform/unique_fd.h"

namespace qb {

class ArchiveFile {
  public:
    enum class Kind {
        Unnamed,  // O_TMPFILE: no name until it is published
        Hidden,   // ".quirebind-<pid>-XXXXXX" beside the target
    };

    // Opens the new archive in target's folder, as an unnamed file unless Hidden is asked
    // for or the file system cannot make one, after removing the hidden archives of dead runs
    // from that folder. Throws EFCreateError naming target.
    explicit ArchiveFile(const std::string& target, Kind preferred = Kind::Unnamed);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    int fd() const { return m_file.get(); }
    Kind kind() const { return m_kind; }

    // Makes the data durable and gives the file the target's name in one step. Without
    // replace a file at the target is never replaced: one that appeared since the build began
    // ends it with ArchiveAppearedError. With replace it is replaced, and the new archive takes
    // its permission bits. goAhead, when given, is asked once the data is on the disk and just
    // before the name is given: the last moment at which the build can still be called off.
    // False from it publishes nothing (the file is removed as if never made) and returns false.
    bool publish(bool replace, const std::function<bool()>& goAhead = {});

  private:
    // Gives the unnamed file a name in the folder; false when that name is taken.
    bool linkUnnamed(const std::string& name);
    void publishUnnamed(bool replace);
    void publishHidden(bool replace);

    std::string m_target;
    std::string m_folder;
    std::string m_name;  // of the target, in m_folder
    UniqueFd m_dir;      // m_folder, so every step works on the folder the build began in
    UniqueFd m_file;
    Kind m_kind = Kind::Unnamed;
    std::string m_hidden;  // a name the file has in m_folder besides the target's, if any
};

}  // namespace qb
