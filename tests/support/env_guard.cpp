#include "tests/support/env_guard.h"

#include <stdlib.h>

namespace qb::test {

namespace {

void apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

}  // namespace

EnvGuard::~EnvGuard() {
    // Backwards, so a variable set twice ends with the value it had before the first.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) apply(it->first, it->second);
}

void EnvGuard::set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = ::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    apply(name, value);
}

void EnvGuard::locale(const std::optional<std::string>& lang) {
    set("LC_ALL", std::nullopt);
    set("LC_CTYPE", std::nullopt);
    set("LC_MESSAGES", std::nullopt);
    set("LANG", lang);
}

}  // namespace qb::test
