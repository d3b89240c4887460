// Variant <-> JSON for the call contract and the trace.
#include "common/json_value.hpp"

#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "common/text.hpp"
#include "common/values.hpp"

namespace qrnmvl {
namespace {

[[noreturn]] void mismatch(const std::string& detail) {
  throw Error(err::type_mismatch, "Type mismatch: " + detail);
}

std::string date_json_text(Date d) {
  const DateParts p = date_parts(d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

// Exactly n digits at text[pos].
bool fixed_digits(const std::string& text, std::size_t pos, std::size_t n, int& value) {
  if (pos + n > text.size()) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (!ascii::is_digit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// "yyyy-mm-dd hh:mm:ss"; the date alone ("yyyy-mm-dd") is midnight.
Date date_from_json_text(const std::string& text) {
  int year, month, day, hour = 0, minute = 0, second = 0;
  bool ok = fixed_digits(text, 0, 4, year) && text.size() >= 10 && text[4] == '-' &&
            fixed_digits(text, 5, 2, month) && text[7] == '-' && fixed_digits(text, 8, 2, day);
  if (ok && text.size() != 10) {
    ok = text.size() == 19 && text[10] == ' ' && fixed_digits(text, 11, 2, hour) &&
         text[13] == ':' && fixed_digits(text, 14, 2, minute) && text[16] == ':' &&
         fixed_digits(text, 17, 2, second);
  }
  if (ok) {
    const Date date = Date::from_parts(year, month, day, hour, minute, second);
    // from_parts rolls over out-of-range parts; a text that does not come
    // back unchanged named a day or time that does not exist.
    ok = year >= 100 && hour < 24 && minute < 60 && second < 60 &&
         date_json_text(date).substr(0, 10) == text.substr(0, 10);
    if (ok) return date;
  }
  mismatch("\"" + one_line(text) + "\" is not a date of the form yyyy-mm-dd hh:mm:ss");
}

const std::string& string_member(const nlohmann::json& j, const char* key) {
  const nlohmann::json& value = j.at(key);
  if (!value.is_string())
    mismatch(std::string("\"") + key + "\" takes a text, not " + value.dump());
  return value.get_ref<const std::string&>();
}

// Builds the value as the parser reads it, and stops the parser at the first
// thing the call contract refuses, before it is built.
class BoundedReader : public nlohmann::json::json_sax_t {
 public:
  explicit BoundedReader(nlohmann::json& result) : builder_(result, false) {}

  const std::string& refusal() const noexcept { return refusal_; }

  bool null() override { return builder_.null(); }
  bool boolean(bool value) override { return builder_.boolean(value); }
  bool number_integer(number_integer_t value) override { return builder_.number_integer(value); }
  bool number_unsigned(number_unsigned_t value) override { return builder_.number_unsigned(value); }
  bool number_float(number_float_t value, const string_t& text) override {
    return builder_.number_float(value, text);
  }
  bool string(string_t& value) override { return without_nul(value) && builder_.string(value); }
  bool binary(binary_t& value) override { return builder_.binary(value); }
  bool key(string_t& name) override { return without_nul(name) && builder_.key(name); }
  bool start_object(std::size_t count) override { return deeper() && builder_.start_object(count); }
  bool end_object() override {
    --depth_;
    return builder_.end_object();
  }
  bool start_array(std::size_t count) override { return deeper() && builder_.start_array(count); }
  bool end_array() override {
    --depth_;
    return builder_.end_array();
  }
  bool parse_error(std::size_t, const std::string& last_token,
                   const nlohmann::detail::exception& error) override {
    // 406 is the parser's "number overflow".
    if (error.id == 406)
      return refuse("a number in the JSON call is out of range: " +
                    one_line(last_token.substr(0, 40)));
    return refuse(std::string("malformed JSON call: ") + error.what());
  }

 private:
  bool refuse(std::string why) {
    refusal_ = std::move(why);
    return false;
  }
  bool deeper() {
    if (++depth_ <= kMaxJsonDepth) return true;
    return refuse("the JSON call nests deeper than " + std::to_string(kMaxJsonDepth) + " levels");
  }
  bool without_nul(const std::string& text) {
    if (text.find('\0') == std::string::npos) return true;
    return refuse("a text in the JSON call holds a NUL character");
  }

  nlohmann::detail::json_sax_dom_parser<nlohmann::json> builder_;
  int depth_ = 0;
  std::string refusal_;
};

}  // namespace

nlohmann::json parse_json_call(std::string_view text) {
  nlohmann::json result;
  BoundedReader reader(result);
  if (!nlohmann::json::sax_parse(text, &reader) || !reader.refusal().empty())
    throw std::invalid_argument(reader.refusal().empty() ? "malformed JSON call"
                                                         : reader.refusal());
  return result;
}

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

nlohmann::json to_json(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return {{"$empty", true}};
    case VarType::Null:
      return nullptr;
    case VarType::Integer:
      return v.as_integer();
    case VarType::Long:
      return v.as_long();
    case VarType::Double:
      return v.as_double();
    case VarType::Currency:
      return {{"$currency", decimal_text(v.as_currency())}};
    case VarType::Date:
      return {{"$date", date_json_text(v.as_date())}};
    case VarType::String:
      return v.as_string();
    case VarType::Boolean:
      return v.as_boolean();
    case VarType::Array: {
      nlohmann::json out = nlohmann::json::array();
      for (const Variant& element : v.elements()) out.push_back(to_json(element));
      return out;
    }
    case VarType::Object:
      break;
  }
  return {{"$object", v.is_nothing() ? std::string("Nothing") : v.as_object()->kind()}};
}

Variant from_json(const nlohmann::json& j) {
  switch (j.type()) {
    case nlohmann::json::value_t::null:
      return Variant::null();
    case nlohmann::json::value_t::boolean:
      return Variant(j.get<bool>());
    case nlohmann::json::value_t::number_integer: {
      const auto n = j.get<std::int64_t>();
      if (n >= std::numeric_limits<std::int32_t>::min() &&
          n <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(n));
      return Variant(static_cast<double>(n));
    }
    case nlohmann::json::value_t::number_unsigned: {
      const auto n = j.get<std::uint64_t>();
      if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return Variant(static_cast<std::int32_t>(n));
      return Variant(static_cast<double>(n));
    }
    case nlohmann::json::value_t::number_float:
      return Variant(j.get<double>());
    case nlohmann::json::value_t::string:
      return Variant(j.get<std::string>());
    case nlohmann::json::value_t::array: {
      Variant out = Variant::array(j.size());
      for (std::size_t i = 0; i < j.size(); ++i) out.at(i) = from_json(j[i]);
      return out;
    }
    case nlohmann::json::value_t::object:
      break;
    default:
      mismatch("a JSON value of this kind cannot be a value: " + j.dump());
  }
  if (j.size() != 1)
    mismatch(
        "a JSON object is a value only as one of {\"$empty\": true}, {\"$date\": ...} or "
        "{\"$currency\": ...}: " +
        j.dump());
  const std::string& key = j.begin().key();
  if (key == "$empty") {
    if (j.at(key) != true) mismatch("\"$empty\" takes true, not " + j.at(key).dump());
    return Variant();
  }
  if (key == "$date") return Variant(date_from_json_text(string_member(j, "$date")));
  if (key == "$currency") return Variant(currency_from_decimal_text(string_member(j, "$currency")));
  if (key == "$object") mismatch("an object cannot be passed as JSON: " + j.dump());
  mismatch("unknown value form \"" + key + "\" in " + j.dump());
}

}  // namespace qrnmvl
