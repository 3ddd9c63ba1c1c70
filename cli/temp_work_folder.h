#pragma once
// A private work folder for one conversion: a fresh folder under $TMPDIR (else /tmp) holding a
// copy of the book template, removed with everything in it when the object goes. Each
// quirebind-cli gets its own, so several can run at once and none touches the window's.

#include <string>

namespace qb {

class TempWorkFolder {
  public:
    // Copies the template folder (mimetype, META-INF/) into the new folder.
    // Throws std::runtime_error saying what failed and where.
    explicit TempWorkFolder(const std::string& templateFolder);
    ~TempWorkFolder();
    TempWorkFolder(const TempWorkFolder&) = delete;
    TempWorkFolder& operator=(const TempWorkFolder&) = delete;

    const std::string& path() const { return m_path; }

    // Removes the folder now; the destructor then has nothing left to do.
    void remove();

  private:
    std::string m_path;
};

}  // namespace qb
