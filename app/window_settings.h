#pragma once
// What the window remembers between runs in config.ini: the folder books are saved to, the
// book options and where the window was.
//
// The file is read once, at start, and written when a change is to be kept: when the window
// closes and when the book options are confirmed. Only the keys whose values this window
// changed are written, into the file as it is at that moment, so that two windows open at once
// keep each other's choices. A file that cannot be read as settings is left as it is.

#include <QPoint>
#include <QString>

#include <optional>
#include <string>

#include "app/book_options.h"
#include "platform/ini_file.h"

namespace qb {

struct WindowSettingsValues {
    // The folder as the bytes the file holds: a name that is not UTF-8 goes back unchanged.
    std::string savePath;
    BookOptions options;
    // Where the window's top left corner was; none when it was never remembered.
    std::optional<QPoint> position;

    bool operator==(const WindowSettingsValues&) const = default;
};

class WindowSettings {
  public:
    // Reads the file.
    explicit WindowSettings(std::string path);

    // Why the file was not read, for a note; empty when it was (or is absent). The window then
    // starts with the defaults and never writes over the file.
    std::string problem() const;

    // What the file held, or what was last saved.
    const WindowSettingsValues& saved() const { return m_saved; }

    // Writes the values that differ from saved(), and only those. Raises what IniFile::save
    // raises; saved() stays as it was then, so that a later save tries again.
    void save(const WindowSettingsValues& values);

  private:
    IniFile m_file;
    WindowSettingsValues m_saved;
};

// The field's text for a path kept as bytes, and the bytes for the field's text: the bytes
// read when the text is still what they showed, so that no byte is lost to the display.
QString pathText(const std::string& bytes);
std::string keptPathBytes(const QString& text, const std::string& shownBytes);

}  // namespace qb
