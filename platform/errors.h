#pragma once
// The exceptions the converter raises. Their messages are shown to the user as they stand.

#include <stdexcept>
#include <string>

namespace qb {

// Base of every error the converter raises on purpose.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened for reading: "Cannot open file "<path>". <cause>".
class EFOpenError : public Error {
public:
    EFOpenError(const std::string& path, const std::string& cause)
        : Error("Cannot open file \"" + path + "\". " + cause), m_path(path) {}
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A file could not be created: "Cannot create file "<path>". <cause>".
class EFCreateError : public Error {
public:
    EFCreateError(const std::string& path, const std::string& cause)
        : Error("Cannot create file \"" + path + "\". " + cause), m_path(path) {}
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Fewer bytes reached the file than were written to it (a full disk, say).
class EWriteError : public Error {
public:
    EWriteError() : Error("Stream write error") {}
};

}  // namespace qb
