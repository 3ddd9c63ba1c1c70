#pragma once
// Environment variables (the locale among them) that hold for one test.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qb::test {

// Sets environment variables for the lifetime of the object and restores them after.
class EnvGuard {
  public:
    EnvGuard() = default;
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    // Nothing: the variable is unset.
    void set(const std::string& name, const std::optional<std::string>& value);
    // The locale for one test: LC_ALL, LC_CTYPE, LC_MESSAGES and LANG all unset but LANG.
    void locale(const std::optional<std::string>& lang);

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace qb::test
