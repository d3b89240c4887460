// Connection texts: "key=value;key=value", as the driver managers write them.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace qrnmvl::data {

// Keys without regard to case (stored lower case), values trimmed, optionally
// quoted ("..." or '...') or braced ({...}), where a doubled closing mark
// stands for itself. A segment without '=' is skipped. Never fails.
std::map<std::string, std::string> parse_connection_text(std::string_view text);

// The text without the segments of one key (matched without regard to case);
// every other segment stays as written, in order, joined by ';'. Empty
// segments are dropped. Never fails.
std::string without_connection_key(std::string_view text, std::string_view key);

// True when the text selects the embedded engine (Provider=SQLite).
bool names_embedded_engine(std::string_view text);

}  // namespace qrnmvl::data
