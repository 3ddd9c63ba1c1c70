#pragma once
// The exceptions the converter raises. Their messages are shown to the user as they stand.

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace qb {

// The system's description of an errno value, as the messages below give their cause.
inline std::string causeOf(int error) {
    return std::strerror(error);
}

// Base of every error the converter raises on purpose.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// An error about one file, which it names.
class FileError : public Error {
  public:
    FileError(const std::string& message, const std::string& path) : Error(message), m_path(path) {}
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// A file could not be opened for reading: "Cannot open file "<path>". <cause>".
class EFOpenError : public FileError {
  public:
    EFOpenError(const std::string& path, const std::string& cause)
        : FileError("Cannot open file \"" + path + "\". " + cause, path) {}
};

// A file could not be created: "Cannot create file "<path>". <cause>".
class EFCreateError : public FileError {
  public:
    EFCreateError(const std::string& path, const std::string& cause)
        : FileError("Cannot create file \"" + path + "\". " + cause, path) {}
};

// Fewer bytes reached the file than were written to it (a full disk, say):
// "Stream write error "<path>". <cause>".
class EWriteError : public FileError {
  public:
    // Only for a stream whose path and cause are unknown (path() is then empty); say both
    // wherever they are known.
    EWriteError() : FileError("Stream write error", {}) {}
    EWriteError(const std::string& path, const std::string& cause)
        : FileError("Stream write error \"" + path + "\". " + cause, path) {}
};

// A file holds more than the most that may be read from it (a device without end, a file that
// keeps growing): "File too large "<path>". It holds more than <limit>, the most read from one
// file.", the limit given as "4 GiB", "64 MiB" or a count of bytes.
class FileTooLargeError : public FileError {
  public:
    FileTooLargeError(const std::string& path, std::uint64_t limit)
        : FileError("File too large \"" + path + "\". It holds more than " + sizeText(limit) +
                        ", the most read from one file.",
                    path),
          m_limit(limit) {}
    std::uint64_t limit() const { return m_limit; }

    static std::string sizeText(std::uint64_t bytes) {
        constexpr std::uint64_t kKiB = 1024;
        if (bytes != 0 && bytes % (kKiB * kKiB * kKiB) == 0)
            return std::to_string(bytes / (kKiB * kKiB * kKiB)) + " GiB";
        if (bytes != 0 && bytes % (kKiB * kKiB) == 0)
            return std::to_string(bytes / (kKiB * kKiB)) + " MiB";
        if (bytes != 0 && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }

  private:
    std::uint64_t m_limit;
};

// Bytes given as text are plainly something else (a program, a picture, an archive):
// "Not a text file "<path>".".
class NotTextError : public FileError {
  public:
    explicit NotTextError(const std::string& path)
        : FileError("Not a text file \"" + path + "\".", path) {}
};

}  // namespace qb
