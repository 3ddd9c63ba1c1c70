#pragma once
// Helpers the tests of the core share: a scratch folder, whole-file access and a locale that
// holds for one test.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace qb::test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qbtest-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
        m_path = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets environment variables for the lifetime of the object and restores them after.
class EnvGuard {
  public:
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = getenv(name.c_str());
        m_saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        apply(name, value);
    }
    // The locale for one test: LC_ALL, LC_CTYPE, LC_MESSAGES and LANG all unset but LANG.
    void locale(const std::optional<std::string>& lang) {
        set("LC_ALL", std::nullopt);
        set("LC_CTYPE", std::nullopt);
        set("LC_MESSAGES", std::nullopt);
        set("LANG", lang);
    }
    ~EnvGuard() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) apply(it->first, it->second);
    }

  private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace qb::test
