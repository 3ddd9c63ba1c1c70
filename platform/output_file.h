#pragma once
// A file written from the start through a buffer, replacing any file of its name.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace qb {

class OutputFile {
  public:
    // Creates the file anew (an existing one is truncated). Raises EFCreateError.
    explicit OutputFile(const std::string& path);
    // The file is closed if close() was not called; errors are then lost.
    ~OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Raises EWriteError when the file takes fewer bytes than it is given.
    void write(std::string_view bytes);
    // Writes what is buffered and closes the file. Raises EWriteError.
    void close();

    const std::string& path() const { return m_path; }

  private:
    void flush();
    void writeAll(const char* data, std::size_t size);

    std::string m_path;
    UniqueFd m_fd;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
};

}  // namespace qb
