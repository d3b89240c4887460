#include "data/connection_text.hpp"

#include <charconv>
#include <cstdlib>
#include <qrnmvl/variant.hpp>

#include "common/text.hpp"

namespace qrnmvl::data {
namespace {

// One "key=value" segment of a connection text, and where it stands: from its
// first character up to (not including) the ';' that ends it.
struct Segment {
  std::string key;  // lower case, trimmed; empty for a segment without '='
  std::string value;
  std::size_t begin = 0;
  std::size_t end = 0;
  char quote = '\0';        // the mark that opened a quoted or braced value
  bool unterminated = false;  // its closing mark never came
};

// Calls visit(segment) for each segment, in order.
template <class Visit>
void scan_segments(std::string_view text, Visit visit) {
  std::size_t i = 0;
  while (i < text.size()) {
    Segment segment;
    segment.begin = i;
    const std::size_t equals = text.find_first_of("=;", i);
    if (equals == std::string_view::npos || text[equals] == ';') {
      // A segment without '=' names nothing.
      segment.end = equals == std::string_view::npos ? text.size() : equals;
      i = equals == std::string_view::npos ? text.size() : equals + 1;
      visit(segment);
      continue;
    }
    segment.key = ascii::lower(ascii::trim_blanks(text.substr(i, equals - i)));
    i = equals + 1;
    while (i < text.size() && ascii::is_blank(text[i])) ++i;

    const char open = i < text.size() ? text[i] : '\0';
    if (open == '"' || open == '\'' || open == '{') {
      // Quoted and braced values may hold ';'. The closing mark is escaped by
      // doubling it, as the driver managers do.
      const char close = open == '{' ? '}' : open;
      segment.quote = open;
      segment.unterminated = true;
      ++i;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            segment.value += close;
            i += 2;
            continue;
          }
          ++i;
          segment.unterminated = false;
          break;
        }
        segment.value += text[i++];
      }
      // Whatever stands between the closing mark and the next ';' is ignored.
      const std::size_t semicolon = text.find(';', i);
      segment.end = semicolon == std::string_view::npos ? text.size() : semicolon;
    } else {
      const std::size_t semicolon = text.find(';', i);
      segment.end = semicolon == std::string_view::npos ? text.size() : semicolon;
      segment.value = std::string(ascii::trim_blanks(text.substr(i, segment.end - i)));
    }
    i = segment.end == text.size() ? text.size() : segment.end + 1;
    visit(segment);
  }
}

}  // namespace

std::map<std::string, std::string> parse_connection_text(std::string_view text) {
  std::map<std::string, std::string> out;
  scan_segments(text, [&](Segment& segment) {
    if (!segment.key.empty()) out[segment.key] = std::move(segment.value);
  });
  return out;
}

std::string without_connection_key(std::string_view text, std::string_view key) {
  std::string out;
  scan_segments(text, [&](const Segment& segment) {
    const std::string_view written = text.substr(segment.begin, segment.end - segment.begin);
    if (ascii::same_name(segment.key, key) || ascii::trim_blanks(written).empty()) return;
    if (!out.empty()) out += ';';
    out += written;
  });
  return out;
}

std::string masked_connection_text(std::string_view text) {
  std::string out;
  scan_segments(text, [&](const Segment& segment) {
    std::string written(text.substr(segment.begin, segment.end - segment.begin));
    if (ascii::trim_blanks(written).empty()) return;
    if (segment.key == "pwd" || segment.key == "password")
      written = written.substr(0, written.find('=') + 1) + "***";
    if (!out.empty()) out += ';';
    out += written;
  });
  return out;
}

namespace {

// What a key of the driver manager would do for whoever wrote the text.
const char* refused_because(const Segment& segment) {
  const std::string& key = segment.key;
  if (key == "savefile") return "it makes the driver manager write a file";
  if (key == "filedsn") return "it makes the driver manager read a file of the caller's choosing";
  if (key == "tracefile" || key == "traceoptions" || key == "tracelibrary")
    return "it makes the driver manager trace to a file";
  if (key == "driver" || key == "setup") {
    const std::string value = ascii::lower(segment.value);
    const bool path = value.find('/') != std::string::npos ||
                      value.find('\\') != std::string::npos ||
                      (value.size() > 3 && value.compare(value.size() - 3, 3, ".so") == 0) ||
                      value.find(".so.") != std::string::npos;
    if (path) return "a driver given as a path loads that library: name a registered driver";
  }
  return nullptr;
}

// The keys the host process allows after all, from QRNMVL_ALLOW_CONNECTION_KEYS
// ("SAVEFILE,Driver"): read at each check, so a host sets it before its first call.
bool allowed_by_host(const std::string& key) {
  const char* allowed = std::getenv("QRNMVL_ALLOW_CONNECTION_KEYS");
  if (allowed == nullptr) return false;
  std::string_view list(allowed);
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (ascii::same_name(ascii::trim_blanks(list.substr(0, comma)), key)) return true;
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

void check_connection_text(std::string_view text) {
  scan_segments(text, [&](const Segment& segment) {
    const std::string shown = segment.key.empty() ? "(none)" : segment.key;
    if (segment.unterminated)
      throw Error(err::database, "The connection text is refused: the value of " + shown +
                                     " opens with " + std::string(1, segment.quote) +
                                     " and never closes.");
    // The driver manager quotes with braces only: a ';' inside quotes would
    // start a key for it that this reading never saw.
    if ((segment.quote == '"' || segment.quote == '\'') &&
        segment.value.find(';') != std::string::npos && !names_embedded_engine(text))
      throw Error(err::database, "The connection text is refused: the quoted value of " + shown +
                                     " holds a ';'; write it in braces, {...}.");
    if (const char* why = refused_because(segment); why != nullptr && !allowed_by_host(segment.key))
      throw Error(err::database, "The connection text is refused: the key " + shown + " is not allowed (" +
                                     std::string(why) + ").");
  });
}

std::string with_connection_key(std::string_view text, std::string_view key,
                                 std::string_view value) {
  std::string out = without_connection_key(text, key);
  std::string braced = "{";
  for (const char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  braced += '}';
  if (!out.empty()) out += ';';
  out += std::string(key) + "=" + braced;
  return out;
}

bool names_embedded_engine(std::string_view text) {
  const auto keys = parse_connection_text(text);
  const auto provider = keys.find("provider");
  return provider != keys.end() && ascii::same_name(ascii::trim_blanks(provider->second), "sqlite");
}

int non_negative_option(const std::map<std::string, std::string>& keys, const std::string& key,
                        std::string_view shown, int fallback) {
  const auto found = keys.find(key);
  if (found == keys.end() || found->second.empty()) return fallback;
  const std::string& text = found->second;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0)
    throw Error(err::database,
                "Invalid " + std::string(shown) + " '" + text + "' in the connection text.");
  return value;
}

int command_timeout_seconds(const std::map<std::string, std::string>& keys) {
  return non_negative_option(keys, "command timeout", "Command Timeout",
                             kDefaultCommandTimeoutSeconds);
}

}  // namespace qrnmvl::data
