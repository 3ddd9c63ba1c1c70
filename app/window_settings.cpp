#include "app/window_settings.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

namespace qb {

namespace {

constexpr const char* kSection = kBookOptionsSection;

std::optional<int> readInt(const IniFile& file, const char* key) {
    const std::string text = file.readString(kSection, key, "");
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return value;
}

// Every key the window keeps, with its value.
std::vector<std::pair<std::string, std::string>> entries(const WindowSettingsValues& values) {
    std::vector<std::pair<std::string, std::string>> all = bookOptionEntries(values.options);
    all.emplace_back("SavePath", values.savePath);
    if (values.position) {
        all.emplace_back("WindowLeft", std::to_string(values.position->x()));
        all.emplace_back("WindowTop", std::to_string(values.position->y()));
    }
    return all;
}

}  // namespace

WindowSettings::WindowSettings(std::string path) : m_file(std::move(path)) {
    m_saved.savePath = m_file.readString(kSection, "SavePath", "");
    m_saved.options = readBookOptions(m_file);
    const auto left = readInt(m_file, "WindowLeft");
    const auto top = readInt(m_file, "WindowTop");
    if (left && top) m_saved.position = QPoint(*left, *top);
}

std::string WindowSettings::problem() const {
    if (m_file.readProblem().empty()) return {};
    std::string note = m_file.readProblem();
    if (!note.empty() && note.back() != '.') note += '.';
    return note + " The window starts with its default settings and leaves that file as it is.";
}

void WindowSettings::save(const WindowSettingsValues& values) {
    if (!m_file.readProblem().empty()) return;
    const auto before = entries(m_saved);
    for (const auto& [key, value] : entries(values)) {
        const auto old = std::find_if(before.begin(), before.end(),
                                      [&](const auto& entry) { return entry.first == key; });
        if (old == before.end() || old->second != value) m_file.setString(kSection, key, value);
    }
    if (m_file.hasChanges()) m_file.save();
    m_saved = values;
}

QString pathText(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string keptPathBytes(const QString& text, const std::string& shownBytes) {
    if (text == pathText(shownBytes)) return shownBytes;
    return QFile::encodeName(text).toStdString();
}

}  // namespace qb
