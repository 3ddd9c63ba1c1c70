#pragma once
// File permissions bind only an ordinary user: a test that checks a refusal must not pass
// (or quietly do nothing) because it happens to run as root, as CI does.

#include <functional>
#include <optional>
#include <string>

namespace qb::test {

// Runs check with the rights of an ordinary user, for whom file permissions hold: directly
// when the test runs as one, else in a child process that has become "nobody" and owns the
// folder's tree. Nothing when that cannot be arranged, or when the folder lies out of that
// user's reach. A check that runs a program of the build must run a copy inside the folder
// (see copyProgramInto): the build may lie below a folder only its owner can enter. The child's
// gtest assertions are not seen by the parent: check reports through its answer (and may print why
// it failed).
std::optional<bool> asOrdinaryUser(const std::string& folder, const std::function<bool()>& check);

// Copies the program and the book template beside it (epubfiles/, which it looks for there)
// into folder/program/, and returns the copy's path.
std::string copyProgramInto(const std::string& folder, const std::string& program);

}  // namespace qb::test
