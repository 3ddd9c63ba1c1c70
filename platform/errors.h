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

// Fewer bytes reached the file than were written to it (a full disk, say):
// "Stream write error "<path>". <cause>".
class EWriteError : public Error {
  public:
    // Only for a stream whose path and cause are unknown; say both wherever they are known.
    EWriteError() : Error("Stream write error") {}
    EWriteError(const std::string& path, const std::string& cause)
        : Error("Stream write error \"" + path + "\". " + cause), m_path(path) {}
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// A file holds more than the most that may be read from it (a device without end, a file that
// keeps growing): "File too large "<path>". It holds more than <limit>, the most read from one
// file.", the limit given as "4 GiB", "64 MiB" or a count of bytes.
class EFTooLargeError : public Error {
  public:
    EFTooLargeError(const std::string& path, std::uint64_t limit)
        : Error("File too large \"" + path + "\". It holds more than " + sizeText(limit) +
                ", the most read from one file."),
          m_path(path),
          m_limit(limit) {}
    const std::string& path() const { return m_path; }
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
    std::string m_path;
    std::uint64_t m_limit;
};

// Bytes given as text are plainly something else (a program, a picture, an archive):
// "Not a text file "<path>".".
class ENotTextError : public Error {
  public:
    explicit ENotTextError(const std::string& path)
        : Error("Not a text file \"" + path + "\"."), m_path(path) {}
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

}  // namespace qb
