#pragma once
// A small INI settings file: named sections of key=value lines.
//
// The file is read once, when the IniFile is made, and values are looked up in what was read.
// Values set are kept until save() writes them all at once. Section and key names compare
// without regard to ASCII case. Saving changes only the lines of the keys set (or adds them);
// every other line of the file stays exactly as it was, comments and unknown sections
// included, and values are kept as the bytes they are. The file is created on the first save.

#include <map>
#include <string>
#include <vector>

namespace qb {

class IniFile {
  public:
    // Reads the file. A file that is absent holds nothing; one that cannot be read as settings
    // (not a regular file, over 1 MiB, unreadable) holds nothing either, and readProblem()
    // says why.
    explicit IniFile(std::string path);

    const std::string& path() const { return m_path; }
    // Why the file could not be read when the IniFile was made; empty when it could be, or
    // was absent.
    const std::string& readProblem() const { return m_readProblem; }

    // The value of key in section, or fallback when the section or the key is absent.
    // Blanks around the value are dropped, and one pair of enclosing double quotes with them.
    std::string readString(const std::string& section, const std::string& key,
                           const std::string& fallback = "") const;

    // Sets key in section; save() writes it. A value with blanks at either end is written in
    // double quotes so that it reads back unchanged.
    void setString(const std::string& section, const std::string& key, const std::string& value);
    // Whether values were set since the last save.
    bool hasChanges() const { return !m_changes.empty(); }

    // Writes the values set since the last save. The file is read again just before, and only
    // those keys change in it: keys another program saved meanwhile keep what it saved. Writes
    // through a symbolic link into the file it names, and the file keeps its permissions.
    // Raises qb::Error("Unable to write to <path>. <cause>") when the file cannot be written,
    // and leaves a file its owner made read-only as it is; raises EFOpenError or
    // FileTooLargeError when what is there cannot be read as settings, and leaves it as it is.
    // The values stay set when saving fails.
    void save();

    // setString and save, for one value; when saving fails, the value is not set either.
    void writeString(const std::string& section, const std::string& key, const std::string& value);

  private:
    struct Content {
        std::vector<std::string> lines;  // without line ends
        bool crlf = false;               // the file used CR LF; keep it that way
        bool bom = false;                // the file began with a UTF-8 byte-order mark
    };
    struct Change {
        std::string section, key, value;
    };
    static Content parse(std::string text);
    Content readContent() const;
    static void apply(Content& content, const Change& change);
    void index();

    std::string m_path;
    std::string m_readProblem;
    Content m_content;
    // "section\nkey" in lower case -> value, for the first occurrence of each key.
    std::map<std::string, std::string> m_values;
    std::vector<Change> m_changes;
};

}  // namespace qb
