#pragma once
// The folder a program builds its books in: a fresh folder below a base folder, holding a copy
// of the book template's two files (mimetype, META-INF/container.xml) and receiving OEBPS/,
// removed with everything in it when the object goes. Every program (each window, each
// quirebind-cli) has its own, so several can run at once and none packs, or deletes, the pages
// of another.
//
// A program killed outright cannot remove its folder. Each folder therefore holds a lock file
// that its program keeps locked (flock) for as long as it lives: a folder whose lock anyone can
// take belongs to a program that died, and the next one to start removes it.

#include <string>

#include "platform/unique_fd.h"

namespace qb {

class WorkFolder {
  public:
    // Removes the folders of dead programs below base, creates base when it is missing, then the
    // new folder with its lock and the template's files. Raises Error saying what failed and
    // where; nothing is left behind then.
    WorkFolder(const std::string& templateFolder, const std::string& base);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::string& path() const { return m_path; }

    // Removes the folder now; the destructor then has nothing left to do.
    void remove();

    // The hidden lock file inside every work folder; the packer never packs hidden files.
    static constexpr const char* kLockName = ".quirebind.lock";
    // Work folders are named this and six random characters.
    static constexpr const char* kNamePrefix = "quirebind-work-";

  private:
    std::string m_path;
    UniqueFd m_lock;
};

// The base the command line uses: $TMPDIR, else /tmp.
std::string temporaryFolderBase();

// Removes the work folders below base whose program has died, and only those: named like a
// work folder, really folders (a link is never followed), owned by this user, and either
// holding a lock file that can be locked, or (a program that died while it set its folder up)
// holding nothing but a lock file not yet named, for more than an hour. A folder without its
// lock is otherwise left alone: its program may be starting right now, or it is not ours.
// Returns how many folders went; failures are silent, the folder is tried again next time.
int removeDeadWorkFolders(const std::string& base);

}  // namespace qb
