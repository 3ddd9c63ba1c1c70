#pragma once
// What the window remembers between runs in config.ini: the folder books are saved to and the
// book options.

#include <QString>

#include <string>

#include "app/book_options.h"
#include "platform/ini_file.h"

namespace qb {

struct WindowSettingsValues {
    QString savePath;
    BookOptions options;
};

class WindowSettings {
  public:
    explicit WindowSettings(std::string path);

    // What the file holds; defaults for whatever it lacks or cannot be read.
    WindowSettingsValues load() const;
    // Raises what IniFile::writeString raises.
    void save(const WindowSettingsValues& values);

  private:
    IniFile m_file;
};

}  // namespace qb
