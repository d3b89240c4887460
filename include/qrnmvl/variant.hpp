// The component's value type and the regional settings its conversions follow.
#pragma once

#include <cstdint>
#include <memory>
#include <qrnmvl/export.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qrnmvl {

// A run-time error as the classic platform numbers them (5, 6, 9, 13, 91, 94,
// the data-access 3021, 3265, 3421 and 3704, -2147217900 for errors reported
// by the database and -2147217871 for a command stopped by its time limit).
class QRNMVL_EXPORT Error : public std::runtime_error {
 public:
  Error(long number, std::string description);
  long number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }

 private:
  long number_;
  std::string description_;
};

namespace err {
inline constexpr long invalid_procedure_call = 5;
inline constexpr long overflow = 6;
inline constexpr long out_of_memory = 7;
inline constexpr long subscript_out_of_range = 9;
inline constexpr long type_mismatch = 13;
inline constexpr long object_not_set = 91;
inline constexpr long invalid_use_of_null = 94;
inline constexpr long no_current_record = 3021;
inline constexpr long item_not_found = 3265;
// A prepared command's value that its parameter's type or size cannot hold.
inline constexpr long data_conversion = 3421;
inline constexpr long object_closed = 3704;
inline constexpr long database = -2147217900;
inline constexpr long query_timeout = -2147217871;  // "Query timeout expired"
}  // namespace err

// Builders for the standard errors with their classic descriptions.
[[noreturn]] QRNMVL_EXPORT void raise(long number);

// Type codes as the classic platform numbers them.
enum class VarType : int {
  Empty = 0,
  Null = 1,
  Integer = 2,
  Long = 3,
  Double = 5,
  Currency = 6,
  Date = 7,
  String = 8,
  Object = 9,
  Boolean = 11,
  Array = 0x2000,
};

// 64-bit fixed point with four decimals.
struct QRNMVL_EXPORT Currency {
  std::int64_t scaled = 0;                    // value * 10000
  static Currency from_double(double value);  // rounds half to even; Error 6 out of range
  double to_double() const noexcept { return static_cast<double>(scaled) / 10000.0; }
  friend bool operator==(Currency, Currency) = default;
};

// A date and time as a day serial: whole days since 1899-12-30, the fraction is the time.
struct QRNMVL_EXPORT Date {
  double serial = 0;
  static Date from_parts(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0);
  friend bool operator==(Date, Date) = default;
};

// What an Object variant holds (an open connection). Its default text is what
// the value reads as where a text is wanted: a connection gives its connection text.
class QRNMVL_EXPORT VariantObject {
 public:
  virtual ~VariantObject();
  virtual std::string kind() const = 0;
  virtual std::string default_text() const = 0;
};

class QRNMVL_EXPORT Variant {
 public:
  using Array = std::vector<Variant>;

  Variant() noexcept = default;  // Empty
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(double v) : value_(v) {}
  Variant(Currency v) : value_(v) {}
  Variant(Date v) : value_(v) {}
  Variant(bool v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(std::string_view v) : value_(std::string(v)) {}
  Variant(Array v) : value_(std::move(v)) {}

  static Variant null() noexcept;
  static Variant object(std::shared_ptr<VariantObject> object);
  static Variant array(std::size_t count);  // count Empty elements, indices 0..count-1

  VarType type() const noexcept;
  bool is_empty() const noexcept { return value_.index() == 0; }
  bool is_null() const noexcept { return value_.index() == 1; }
  bool is_array() const noexcept { return std::holds_alternative<Array>(value_); }
  bool is_object() const noexcept;
  // An Object variant that holds no object (set to Nothing).
  bool is_nothing() const noexcept;
  bool is_string() const noexcept { return std::holds_alternative<std::string>(value_); }
  // Integer, Long, Double, Currency (Boolean and Date are not included).
  bool is_number() const noexcept;

  // Raw access; Error 13 when the variant holds another type.
  std::int16_t as_integer() const;
  std::int32_t as_long() const;
  double as_double() const;
  Currency as_currency() const;
  Date as_date() const;
  bool as_boolean() const;
  const std::string& as_string() const;
  const std::shared_ptr<VariantObject>& as_object() const;  // Error 91 when not an object

  // Arrays (lower bound 0). Error 13 when not an array, 9 when out of range.
  std::size_t size() const;
  Variant& at(std::size_t index);
  const Variant& at(std::size_t index) const;
  Array& elements();
  const Array& elements() const;
  // ReDim: the variant becomes an array of count Empty elements; previous contents are gone.
  void redim(std::size_t count);

  // Same type and same value (arrays element by element, objects by identity).
  friend QRNMVL_EXPORT bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) = default;
  };
  using Storage =
      std::variant<std::monostate, NullTag, std::int16_t, std::int32_t, double, Currency, Date,
                   std::string, bool, Array, std::shared_ptr<VariantObject>>;
  Storage value_;
};

// Decimal separator, thousands separator and the short date and time forms.
struct RegionalSettings {
  char decimal_separator = '.';
  char thousands_separator = ',';
  std::string short_date = "dd/mm/yyyy";  // always day first
  std::string time_format = "hh:mm:ss";
  friend bool operator==(const RegionalSettings&, const RegionalSettings&) = default;
};

// Settings for a locale name: a Portuguese, Spanish, German, French or Italian
// name ("pt_BR", "de_DE.UTF-8", "es") gives the decimal comma, anything else the point.
QRNMVL_EXPORT RegionalSettings regional_settings_for(std::string_view locale_name);
// The process settings: those set by the host, or else those of the environment
// (LC_ALL, then LC_NUMERIC, then LANG), read when first needed.
QRNMVL_EXPORT RegionalSettings regional_settings();
// The decimal separator of the process settings (cheaper than a whole copy).
QRNMVL_EXPORT char regional_decimal_separator();
QRNMVL_EXPORT void set_regional_settings(const RegionalSettings& settings);
// Forgets the settings set by the host and reads the environment again.
QRNMVL_EXPORT void reset_regional_settings();

}  // namespace qrnmvl
