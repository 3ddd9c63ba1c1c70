#pragma once
// A work folder that belongs to this program alone while it runs.
//
// Every window rebuilds OEBPS/ inside its work folder and removes it at exit, so two programs
// sharing one folder would pack each other's half-written pages, or delete them mid-pack. The
// first program locks the shared folder (flock on a hidden lock file, which the packer never
// packs); a program that finds it locked works in a private copy of the template that it
// creates below privateRoot and removes at exit. Private folders left by programs that died are
// removed when the next program starts.

#include <string>

#include "platform/unique_fd.h"

namespace qb {

class WorkFolderClaim {
  public:
    // Raises qb::Error when a private folder is needed and cannot be made.
    WorkFolderClaim(const std::string& sharedFolder, const std::string& privateRoot);
    ~WorkFolderClaim();
    WorkFolderClaim(const WorkFolderClaim&) = delete;
    WorkFolderClaim& operator=(const WorkFolderClaim&) = delete;

    // The folder this program works in: the shared one or its private copy.
    const std::string& folder() const { return m_folder; }
    bool isPrivate() const { return m_private; }

    // The name of the lock file inside a work folder.
    static constexpr const char* kLockName = ".quirebind.lock";

  private:
    std::string m_folder;
    bool m_private = false;
    UniqueFd m_lock;  // held for as long as the folder is in use
};

}  // namespace qb
