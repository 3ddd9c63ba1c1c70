#pragma once
// A small INI settings file: named sections of key=value lines.
//
// Section and key names compare without regard to ASCII case. Writing a value changes only its
// own line (or adds it); every other line of the file stays exactly as it was, comments and
// unknown sections included. The file is created on the first write.

#include <string>
#include <vector>

namespace qb {

class IniFile {
  public:
    explicit IniFile(std::string path);

    const std::string& path() const { return m_path; }

    // The value of key in section, or fallback when the file, the section or the key is absent,
    // or when the file cannot be read (not a regular file, over 1 MiB).
    // Blanks around the value are dropped, and one pair of enclosing double quotes with them.
    std::string readString(const std::string& section, const std::string& key,
                           const std::string& fallback = "") const;

    // Sets key in section and saves the file at once. A value with blanks at either end is
    // written in double quotes so that it reads back unchanged. The file keeps its permissions.
    // Raises qb::Error("Unable to write to <path>") when the file cannot be written, and leaves
    // a file its owner made read-only as it is; raises EFOpenError or FileTooLargeError when what
    // is there cannot be read as settings, and leaves it as it is.
    void writeString(const std::string& section, const std::string& key, const std::string& value);

  private:
    struct Content {
        std::vector<std::string> lines;  // without line ends
        bool crlf = false;               // the file used CR LF; keep it that way
        bool bom = false;                // the file began with a UTF-8 byte-order mark
    };
    Content load() const;

    std::string m_path;
};

}  // namespace qb
