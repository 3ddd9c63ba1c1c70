#include "app/window_settings.h"

#include <utility>

namespace qb {

WindowSettings::WindowSettings(std::string path) : m_file(std::move(path)) {}

WindowSettingsValues WindowSettings::load() const {
    WindowSettingsValues values;
    const std::string savePath = m_file.readString("Options", "SavePath", "");
    values.savePath = QString::fromStdString(savePath).left(2047);
    values.options = readBookOptions(m_file);
    return values;
}

void WindowSettings::save(const WindowSettingsValues& values) {
    m_file.writeString("Options", "SavePath", values.savePath.toStdString());
    writeBookOptions(m_file, values.options);
}

}  // namespace qb
