// The command trace: every command a connection receives, one JSON object a
// line, for tests and operators to see exactly what was sent.
#pragma once

#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

namespace qrnmvl::data {

struct Parameter;

// A trace file, or none. Copies write to the same file. Writing never fails a
// command: a line that cannot be written is skipped.
class Trace {
 public:
  Trace() = default;
  explicit Trace(std::string path) : path_(std::move(path)) {}
  bool enabled() const noexcept { return !path_.empty(); }

  // {"command": "<text>"}
  void command(const std::string& text) const noexcept;
  // {"procedure": "<name>", "parameters": [{"name": ..., "type": ..., "value": ...}]}
  void procedure(const std::string& name, const std::vector<Parameter>& parameters) const noexcept;

 private:
  std::string path_;
};

}  // namespace qrnmvl::data
