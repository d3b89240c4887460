#include "data/trace.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/json_value.hpp"
#include "data/command.hpp"

namespace qrnmvl::data {

namespace fs = std::filesystem;

struct Trace::Folder {
  explicit Folder(int descriptor) : fd(descriptor) {}
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() { ::close(fd); }
  const int fd;
};

namespace {

// Component by component, so "/srv/trace-other" is not inside "/srv/trace".
bool inside(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
         folder.end();
}

std::string json_line(const nlohmann::ordered_json& line) {
  // Texts that are not valid UTF-8 still get a line, with the bad bytes replaced.
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

Trace Trace::requested(const std::string& requested) noexcept {
  try {
    const char* allowed = std::getenv("QRNMVL_TRACE_DIR");
    if (allowed == nullptr || *allowed == '\0' || requested.empty() ||
        requested.find('\0') != std::string::npos)
      return {};
    std::error_code error;
    const fs::path folder = fs::canonical(allowed, error);
    if (error) return {};
    const fs::path file(requested);
    const fs::path name = file.filename();
    if (name.empty() || name == "." || name == "..") return {};
    const fs::path parent =
        fs::canonical(file.has_parent_path() ? file.parent_path() : fs::path("."), error);
    if (error || !inside(parent, folder)) return {};
    const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    Trace trace;
    trace.folder_ = std::make_shared<const Folder>(fd);
    trace.name_ = name.string();
    return trace;
  } catch (...) {
    return {};
  }
}

void Trace::append(const std::string& line) const noexcept {
  // Opened for each line, so a trace file an operator removes or rotates is
  // simply started again. One write per line on an O_APPEND descriptor keeps
  // lines whole when several connections (or processes) trace to one file.
  const int fd = ::openat(
      folder_->fd, name_.c_str(),
      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // A FIFO, a device or a second name of some other file is not a trace.
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 1) {
    std::size_t written = 0;
    while (written < line.size()) {
      const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
  }
  ::close(fd);
}

void Trace::command(const std::string& text) const noexcept {
  if (!enabled()) return;
  try {
    nlohmann::ordered_json line;
    line["command"] = text;
    append(json_line(line));
  } catch (...) {
    // The trace is for looking; it never fails a command.
  }
}

void Trace::procedure(const std::string& name,
                      const std::vector<Parameter>& parameters) const noexcept {
  if (!enabled()) return;
  try {
    nlohmann::ordered_json line;
    line["procedure"] = name;
    auto list = nlohmann::ordered_json::array();
    for (const auto& parameter : parameters) {
      nlohmann::ordered_json item;
      item["name"] = parameter.name;
      item["type"] = data_type_name(parameter.type);
      item["value"] = nlohmann::ordered_json(to_json(parameter.value));
      list.push_back(std::move(item));
    }
    line["parameters"] = std::move(list);
    append(json_line(line));
  } catch (...) {
    // A value the trace cannot show never stops the call.
  }
}

}  // namespace qrnmvl::data
