#pragma once
// A scratch folder for one test, removed with everything in it afterwards.

#include <string>

namespace qb::test {

// A fresh folder below the system's temporary folder ($TMPDIR, else /tmp). Removal first gives
// back the permissions a test may have taken from the folders inside, so that everything can
// go, and never follows a link out of the folder.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

}  // namespace qb::test
