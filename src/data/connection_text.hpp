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

// The text as it may be shown: the value of every password key (PWD,
// Password, in any case, quoted or not) becomes ***. Never fails.
std::string masked_connection_text(std::string_view text);

// Refuses, with Error -2147217900 saying why, a text that would make the driver
// manager load code or write files for whoever wrote it: a Driver (or Setup)
// given as a path, SAVEFILE, FILEDSN, the driver manager's own trace keys
// (TraceFile...); and a text the driver manager would read otherwise than this
// parser: a value whose quote or brace never closes, or (for ODBC) a quoted
// value holding ';'. The host process may allow a key after all by naming it
// in QRNMVL_ALLOW_CONNECTION_KEYS (comma-separated). Every connection is
// opened through this check.
void check_connection_text(std::string_view text);

// The text with key set to value: every segment of the key is taken out and one
// "key={value}" added at the end, braced so that no quoting in the text can
// swallow it or the value end it. Never fails.
std::string with_connection_key(std::string_view text, std::string_view key,
                                std::string_view value);

// True when the text selects the embedded engine (Provider=SQLite).
bool names_embedded_engine(std::string_view text);

// A key holding a whole number from 0 up (a time limit): `fallback` when the
// key is absent or empty. Error -2147217900 naming the key (as `shown`) when it
// holds anything else.
int non_negative_option(const std::map<std::string, std::string>& keys, const std::string& key,
                        std::string_view shown, int fallback);

// "Command Timeout=<seconds>": how long one command may run before it is
// stopped with Error -2147217871; 0 means no limit. Default 30.
inline constexpr int kDefaultCommandTimeoutSeconds = 30;
int command_timeout_seconds(const std::map<std::string, std::string>& keys);

}  // namespace qrnmvl::data
