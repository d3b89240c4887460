#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

void append_trace(const std::string& path, const nlohmann::ordered_json& line) noexcept {
  try {
    // Texts that are not valid UTF-8 still get a line, with the bad bytes replaced.
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    // One write per line on an O_APPEND descriptor keeps lines whole when several
    // connections (or processes) trace to the same file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::size_t written = 0;
    while (written < text.size()) {
      const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    ::close(fd);
  } catch (...) {
    // The trace is for looking; it never fails a command.
  }
}

}  // namespace qrnmvl::data::sqlite
