// The few words of the other databases' dialects that the component's plain
// statements use, made to work on SQLite.
#include <cstdio>
#include <ctime>
#include <optional>

#include "common/text.hpp"
#include "data/sqlite/driver.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

namespace {

bool is_word(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         c == '$';
}

// Where a quoted text, quoted name or comment that starts at text[i] ends
// (one past its closing mark); i itself when nothing starts there.
std::size_t skip_quoted(std::string_view text, std::size_t i) {
  const char c = text[i];
  if (c == '\'' || c == '"' || c == '`' || c == '[') {
    const char close = c == '[' ? ']' : c;
    for (std::size_t j = i + 1; j < text.size(); ++j) {
      if (text[j] != close) continue;
      if (close != ']' && j + 1 < text.size() && text[j + 1] == close) {
        ++j;  // a doubled mark stands for itself
        continue;
      }
      return j + 1;
    }
    return text.size();
  }
  if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
    const std::size_t end = text.find('\n', i);
    return end == std::string_view::npos ? text.size() : end + 1;
  }
  if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
    const std::size_t end = text.find("*/", i + 2);
    return end == std::string_view::npos ? text.size() : end + 2;
  }
  return i;
}

struct Stamp {
  int year, month, day, hour, minute, second;
};

std::string stamp_text(const Stamp& s) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", s.year, s.month, s.day,
                s.hour, s.minute, s.second);
  return buffer;
}

std::tm local_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Reads the classic date format elements; anything else in the format is a
// character the text must repeat. Fields the format leaves out take the
// current year and month, day 1 and midnight.
std::optional<std::string> read_date(std::string_view text, std::string_view format) {
  const std::tm now = local_now();
  Stamp s{now.tm_year + 1900, now.tm_mon + 1, 1, 0, 0, 0};
  std::size_t t = 0;
  const auto number = [&](std::size_t min_digits, std::size_t max_digits, int& out) {
    std::size_t count = 0;
    int value = 0;
    while (count < max_digits && t < text.size() && ascii::is_digit(text[t])) {
      value = value * 10 + (text[t] - '0');
      ++t;
      ++count;
    }
    out = value;
    return count >= min_digits;
  };
  for (std::size_t f = 0; f < format.size();) {
    const std::string_view rest = format.substr(f);
    bool ok = true;
    if (ascii::starts_with_name(rest, "YYYY")) {
      ok = number(4, 4, s.year);
      f += 4;
    } else if (ascii::starts_with_name(rest, "HH24")) {
      ok = number(1, 2, s.hour);
      f += 4;
    } else if (ascii::starts_with_name(rest, "HH")) {
      ok = number(1, 2, s.hour);
      f += 2;
    } else if (ascii::starts_with_name(rest, "MM")) {
      ok = number(1, 2, s.month);
      f += 2;
    } else if (ascii::starts_with_name(rest, "MI")) {
      ok = number(1, 2, s.minute);
      f += 2;
    } else if (ascii::starts_with_name(rest, "DD")) {
      ok = number(1, 2, s.day);
      f += 2;
    } else if (ascii::starts_with_name(rest, "SS")) {
      ok = number(1, 2, s.second);
      f += 2;
    } else {
      ok = t < text.size() && ascii::upper(text[t]) == ascii::upper(format[f]);
      ++t;
      ++f;
    }
    if (!ok) return std::nullopt;
  }
  while (t < text.size() && text[t] == ' ') ++t;
  if (t != text.size()) return std::nullopt;
  if (s.year < 1 || s.month < 1 || s.month > 12 || s.day < 1 ||
      s.day > days_in_month(s.year, s.month) || s.hour > 23 || s.minute > 59 || s.second > 59)
    return std::nullopt;
  return stamp_text(s);
}

void getdate_function(sqlite3_context* context, int, sqlite3_value**) {
  const std::tm now = local_now();
  const std::string text = stamp_text(
      {now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec});
  sqlite3_result_text(context, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void to_date_function(sqlite3_context* context, int, sqlite3_value** arguments) {
  const auto* text = sqlite3_value_text(arguments[0]);
  const auto* format = sqlite3_value_text(arguments[1]);
  if (text == nullptr || format == nullptr) {
    sqlite3_result_null(context);
    return;
  }
  const auto date =
      read_date(std::string_view(reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(sqlite3_value_bytes(arguments[0]))),
                std::string_view(reinterpret_cast<const char*>(format),
                                 static_cast<std::size_t>(sqlite3_value_bytes(arguments[1]))));
  if (!date) {
    sqlite3_result_null(context);
    return;
  }
  sqlite3_result_text(context, date->c_str(), static_cast<int>(date->size()), SQLITE_TRANSIENT);
}

}  // namespace

namespace {

// SQLite stops reading a statement at a NUL character, so a text literal that
// holds one is written as pieces joined around char(0): the whole value is
// stored, and nothing after the NUL is lost or read as something else.
void append_text_literal(std::string& out, std::string_view literal) {
  const bool closed = literal.size() >= 2 && literal.back() == '\'';
  if (!closed || literal.find('\0') == std::string_view::npos) {
    out.append(literal);
    return;
  }
  const std::string_view inside = literal.substr(1, literal.size() - 2);
  out += "('";
  for (const char c : inside) {
    if (c == '\0')
      out += "' || char(0) || '";
    else
      out += c;
  }
  out += "')";
}

}  // namespace

std::string apply_dialect(std::string_view statement) {
  std::string out;
  out.reserve(statement.size() + 8);
  std::size_t i = 0;
  while (i < statement.size()) {
    const std::size_t skipped = skip_quoted(statement, i);
    if (skipped != i) {
      if (statement[i] == '\'')
        append_text_literal(out, statement.substr(i, skipped - i));
      else
        out.append(statement.substr(i, skipped - i));
      i = skipped;
      continue;
    }
    if (!is_word(statement[i])) {
      out += statement[i++];
      continue;
    }
    std::size_t end = i;
    while (end < statement.size() && is_word(statement[end])) ++end;
    const std::string_view word = statement.substr(i, end - i);
    if (ascii::same_name(word, "SYSDATE"))
      out += "GETDATE()";
    else
      out.append(word);
    i = end;
  }
  // Anywhere else (a name, a comment, an unclosed quote) a NUL would silently
  // cut the statement short.
  if (out.find('\0') != std::string::npos)
    throw Error(err::database,
                "A NUL character is allowed in a command text only inside a quoted text.");
  return out;
}

std::string first_keyword(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (ascii::is_blank(c)) {
      ++i;
    } else if ((c == '-' || c == '/') && skip_quoted(sql, i) != i) {
      i = skip_quoted(sql, i);
    } else {
      break;
    }
  }
  std::string word;
  while (i < sql.size() && is_word(sql[i])) word += ascii::upper(sql[i++]);
  return word;
}

void register_dialect_functions(sqlite3* db) {
  if (sqlite3_create_function_v2(db, "GETDATE", 0, SQLITE_UTF8, nullptr, getdate_function, nullptr,
                                 nullptr, nullptr) != SQLITE_OK ||
      sqlite3_create_function_v2(db, "TO_DATE", 2, SQLITE_UTF8, nullptr, to_date_function, nullptr,
                                 nullptr, nullptr) != SQLITE_OK)
    raise_sqlite(db);
}

}  // namespace qrnmvl::data::sqlite
