#include "data/trace.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "common/json_value.hpp"
#include "data/command.hpp"

namespace qrnmvl::data {
namespace {

void append_line(const std::string& path, const nlohmann::ordered_json& line) noexcept {
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

}  // namespace

void Trace::command(const std::string& text) const noexcept {
  if (!enabled()) return;
  try {
    nlohmann::ordered_json line;
    line["command"] = text;
    append_line(path_, line);
  } catch (...) {
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
    append_line(path_, line);
  } catch (...) {
    // A value the trace cannot show never stops the call.
  }
}

}  // namespace qrnmvl::data
