#include "data/connection_text.hpp"

#include <charconv>
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
      ++i;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            segment.value += close;
            i += 2;
            continue;
          }
          ++i;
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
