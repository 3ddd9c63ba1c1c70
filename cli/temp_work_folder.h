#pragma once
// A private work folder for one conversion: a fresh folder under $TMPDIR (else /tmp) holding a
// copy of the book template, removed with everything in it when the object goes. Each
// quirebind-cli gets its own, so several can run at once and none touches the window's.
//
// A run killed outright cannot remove its folder, so each folder holds a lock file that its run
// keeps locked (flock) for as long as it lives; a folder whose lock anyone can take belongs to
// a dead run, and the next run removes it.

#include <string>

#include "platform/unique_fd.h"

namespace qb {

class TempWorkFolder {
  public:
    // Removes the folders of dead runs, then copies the template folder (mimetype, META-INF/)
    // into the new folder. Throws std::runtime_error saying what failed and where.
    explicit TempWorkFolder(const std::string& templateFolder);
    ~TempWorkFolder();
    TempWorkFolder(const TempWorkFolder&) = delete;
    TempWorkFolder& operator=(const TempWorkFolder&) = delete;

    const std::string& path() const { return m_path; }

    // Removes the folder now; the destructor then has nothing left to do.
    void remove();

  private:
    std::string m_path;
    UniqueFd m_lock;
};

// The folder that receives the work folders: $TMPDIR, else /tmp.
std::string workFolderBase();

// Removes the work folders below base whose run has died: those named like a work folder,
// really folders (a link is never followed), owned by this user, whose lock file can be locked.
// A folder without a lock file is left alone: its run may be starting right now. Returns how
// many folders were removed; failures are silent, the folder is tried again next time.
int removeStaleWorkFolders(const std::string& base);

}  // namespace qb
