#pragma once
// Environment variables (the locale among them) that hold for one test.

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qb::test {

// Sets environment variables for the lifetime of the object and restores them after.
class EnvGuard {
  public:
    EnvGuard() = default;
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;
    ~EnvGuard() {
        // Backwards, so a variable set twice ends with the value it had before the first.
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) apply(it->first, it->second);
    }

    // Nothing: the variable is unset.
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = ::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        apply(name, value);
    }
    // The locale for one test: LC_ALL, LC_CTYPE, LC_MESSAGES and LANG all unset but LANG.
    void locale(const std::optional<std::string>& lang) {
        for (const char* name : {"LC_ALL", "LC_CTYPE", "LC_MESSAGES"}) set(name, std::nullopt);
        set("LANG", lang);
    }

  private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace qb::test
