#pragma once
// File permissions bind only an ordinary user: a test that checks a refusal must not pass
// (or quietly do nothing) because it happens to run as root, as CI does.

#include <functional>
#include <optional>
#include <string>

namespace qb::test {

// Runs check with the rights of an ordinary user, for whom file permissions hold: directly
// when the test runs as one, else in a child process that has become "nobody" and owns the
// folder's tree. Nothing when that cannot be arranged. The child's gtest assertions are not
// seen by the parent: check reports through its answer (and may print why it failed).
std::optional<bool> asOrdinaryUser(const std::string& folder, const std::function<bool()>& check);

}  // namespace qb::test
