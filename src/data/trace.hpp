// The command trace: every command a connection receives, one JSON object a
// line, for tests and operators to see exactly what was sent.
//
// The trace is the host's to enable, never a caller's: a connection text
// travels with every call and any caller may write one, so "Trace=<file>" is
// honoured only inside the folder the process environment names in
// QRNMVL_TRACE_DIR. Nothing else a caller writes can make the component
// create, follow, block on or append to a file.
#pragma once

#include <memory>
#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

namespace qrnmvl::data {

struct Parameter;

// A trace file, or none. Copies write to the same file. Writing never fails or
// blocks a command: a line that cannot be written is skipped.
class Trace {
 public:
  Trace() = default;

  // The trace a connection text asks for with Trace=<requested>. Honoured only
  // when QRNMVL_TRACE_DIR names a folder and the file resolves inside it (the
  // folder part with its ".." and links resolved); otherwise no trace. Each
  // line is appended to the file without following a link, without blocking,
  // and only when it is a regular file with a single name, created with mode
  // 0600 when missing. Never fails.
  static Trace requested(const std::string& requested) noexcept;

  bool enabled() const noexcept { return folder_ != nullptr; }

  // {"command": "<text>"}
  void command(const std::string& text) const noexcept;
  // {"procedure": "<name>", "parameters": [{"name": ..., "type": ..., "value": ...}]}
  void procedure(const std::string& name, const std::vector<Parameter>& parameters) const noexcept;

 private:
  struct Folder;

  void append(const std::string& line) const noexcept;

  // The folder is held open, so what the name was checked against is where
  // every line goes, even when the path is changed afterwards.
  std::shared_ptr<const Folder> folder_;
  std::string name_;
};

}  // namespace qrnmvl::data
