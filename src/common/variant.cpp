// The value type, the classic errors and the process regional settings.
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <qrnmvl/variant.hpp>

#include "common/text.hpp"
#include "common/values_internal.hpp"

namespace qrnmvl {

// ---------------------------------------------------------------------------
// Errors

Error::Error(long number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

namespace {

const char* classic_description(long number) {
  switch (number) {
    case err::invalid_procedure_call:
      return "Invalid procedure call or argument";
    case err::overflow:
      return "Overflow";
    case err::out_of_memory:
      return "Out of memory";
    case err::subscript_out_of_range:
      return "Subscript out of range";
    case err::type_mismatch:
      return "Type mismatch";
    case err::object_not_set:
      return "Object variable or With block variable not set";
    case err::invalid_use_of_null:
      return "Invalid use of Null";
    case err::no_current_record:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case err::item_not_found:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case err::data_conversion:
      return "Application uses a value of the wrong type for the current operation.";
    case err::object_closed:
      return "Operation is not allowed when the object is closed.";
    case err::query_timeout:
      return "Query timeout expired";
    default:
      return "Application-defined or object-defined error";
  }
}

}  // namespace

void raise(long number) { throw Error(number, classic_description(number)); }

// ---------------------------------------------------------------------------
// Currency and Date

namespace {

using detail::kSerialEpoch;
using detail::round_half_even;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

Currency Currency::from_double(double value) {
  const double scaled = value * 10000.0;
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled < -9223372036854775808.0)
    raise(err::overflow);
  const double rounded = round_half_even(scaled);
  if (rounded >= 9223372036854775808.0) raise(err::overflow);
  return Currency{static_cast<std::int64_t>(rounded)};
}

Date Date::from_parts(int year, int month, int day, int hour, int minute, int second) {
  // Out-of-range parts roll over into the next unit, as the classic date
  // builders do (month 13 is January of the next year, 25 hours is a day and
  // an hour).
  std::int64_t y = year;
  std::int64_t m0 = static_cast<std::int64_t>(month) - 1;
  y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
  m0 -= (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12)) * 12;
  std::int64_t days =
      days_from_civil(y, static_cast<int>(m0) + 1, 1) + (static_cast<std::int64_t>(day) - 1);
  std::int64_t seconds = static_cast<std::int64_t>(hour) * 3600 +
                         static_cast<std::int64_t>(minute) * 60 + static_cast<std::int64_t>(second);
  std::int64_t extra_days = seconds >= 0 ? seconds / 86400 : -((86399 - seconds) / 86400);
  days += extra_days;
  seconds -= extra_days * 86400;
  const std::int64_t serial_day = days - kSerialEpoch;
  const double fraction = static_cast<double>(seconds) / 86400.0;
  // Before day zero the integer part still names the day and the fraction is
  // still the (positive) time of day, so the two move apart.
  const double whole = static_cast<double>(serial_day);
  return Date{serial_day >= 0 ? whole + fraction : whole - fraction};
}

// ---------------------------------------------------------------------------
// VariantObject and Variant

VariantObject::~VariantObject() = default;

Variant Variant::null() noexcept {
  Variant v;
  v.value_.emplace<NullTag>();
  return v;
}

Variant Variant::object(std::shared_ptr<VariantObject> object) {
  Variant v;
  v.value_ = std::move(object);
  return v;
}

Variant Variant::array(std::size_t count) {
  Variant v;
  v.redim(count);
  return v;
}

VarType Variant::type() const noexcept {
  switch (value_.index()) {
    case 0:
      return VarType::Empty;
    case 1:
      return VarType::Null;
    case 2:
      return VarType::Integer;
    case 3:
      return VarType::Long;
    case 4:
      return VarType::Double;
    case 5:
      return VarType::Currency;
    case 6:
      return VarType::Date;
    case 7:
      return VarType::String;
    case 8:
      return VarType::Boolean;
    case 9:
      return VarType::Array;
    default:
      return VarType::Object;
  }
}

bool Variant::is_object() const noexcept {
  return std::holds_alternative<std::shared_ptr<VariantObject>>(value_);
}

bool Variant::is_nothing() const noexcept {
  const auto* p = std::get_if<std::shared_ptr<VariantObject>>(&value_);
  return p != nullptr && *p == nullptr;
}

bool Variant::is_number() const noexcept {
  return std::holds_alternative<std::int16_t>(value_) ||
         std::holds_alternative<std::int32_t>(value_) || std::holds_alternative<double>(value_) ||
         std::holds_alternative<Currency>(value_);
}

namespace {

template <class T, class Storage>
const T& get_or_mismatch(const Storage& storage) {
  if (const T* p = std::get_if<T>(&storage)) return *p;
  raise(err::type_mismatch);
}

}  // namespace

std::int16_t Variant::as_integer() const { return get_or_mismatch<std::int16_t>(value_); }
std::int32_t Variant::as_long() const { return get_or_mismatch<std::int32_t>(value_); }
double Variant::as_double() const { return get_or_mismatch<double>(value_); }
Currency Variant::as_currency() const { return get_or_mismatch<Currency>(value_); }
Date Variant::as_date() const { return get_or_mismatch<Date>(value_); }
bool Variant::as_boolean() const { return get_or_mismatch<bool>(value_); }
const std::string& Variant::as_string() const { return get_or_mismatch<std::string>(value_); }

const std::shared_ptr<VariantObject>& Variant::as_object() const {
  const auto* p = std::get_if<std::shared_ptr<VariantObject>>(&value_);
  // An Object variant that holds nothing is an object variable not set, too.
  if (p == nullptr || *p == nullptr) raise(err::object_not_set);
  return *p;
}

std::size_t Variant::size() const { return elements().size(); }

Variant& Variant::at(std::size_t index) {
  Array& items = elements();
  if (index >= items.size()) raise(err::subscript_out_of_range);
  return items[index];
}

const Variant& Variant::at(std::size_t index) const {
  const Array& items = elements();
  if (index >= items.size()) raise(err::subscript_out_of_range);
  return items[index];
}

Variant::Array& Variant::elements() {
  if (Array* p = std::get_if<Array>(&value_)) return *p;
  raise(err::type_mismatch);
}

const Variant::Array& Variant::elements() const { return get_or_mismatch<Array>(value_); }

void Variant::redim(std::size_t count) { value_ = Array(count); }

bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

// ---------------------------------------------------------------------------
// Regional settings

RegionalSettings regional_settings_for(std::string_view locale_name) {
  RegionalSettings settings;
  if (locale_name.size() < 2) return settings;
  const std::string_view language = locale_name.substr(0, 2);
  for (std::string_view comma_language : {"pt", "es", "de", "fr", "it"}) {
    if (ascii::same_name(language, comma_language)) {
      settings.decimal_separator = ',';
      settings.thousands_separator = '.';
      break;
    }
  }
  return settings;
}

namespace {

// The settings in force: the host's, or else the environment's, read when
// first needed and again on reset (a process's locale variables are set when
// it starts).
std::mutex settings_mutex;
std::optional<RegionalSettings> current_settings;

RegionalSettings environment_settings() {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return regional_settings_for(value);
  }
  return regional_settings_for("");
}

const RegionalSettings& settings_in_force() {
  if (!current_settings) current_settings = environment_settings();
  return *current_settings;
}

}  // namespace

RegionalSettings regional_settings() {
  std::lock_guard lock(settings_mutex);
  return settings_in_force();
}

char regional_decimal_separator() {
  std::lock_guard lock(settings_mutex);
  return settings_in_force().decimal_separator;
}

void set_regional_settings(const RegionalSettings& settings) {
  std::lock_guard lock(settings_mutex);
  current_settings = settings;
}

void reset_regional_settings() {
  std::lock_guard lock(settings_mutex);
  current_settings = environment_settings();
}

}  // namespace qrnmvl
