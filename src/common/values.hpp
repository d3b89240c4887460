// The classic conversions and comparisons the component's rules are written in.
// Every function reads the regional settings at each call. They are defined by
// concern: values_format.cpp (to_text), values_numbers.cpp (val, is_numeric,
// the to_* conversions, decimal texts), values_dates.cpp, values_compare.cpp
// and values_texts.cpp.
#pragma once

#include <optional>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

namespace qrnmvl {

// Text form (CStr): integers in decimal; Double with up to 15 significant
// digits, no thousands separator, the regional decimal separator; Currency with
// up to 4 decimals; Date as "dd/mm/yyyy hh:mm:ss" (midnight: the date alone, day
// zero: the time alone); Boolean "True"/"False"; Empty ""; an Object its default
// text. Null: Error 94. Array: Error 13.
std::string to_text(const Variant& v);
// The text a value gives when joined into a message: Null gives the empty
// text, as the classic "&" joins it.
inline std::string piece(const Variant& v) { return v.is_null() ? std::string() : to_text(v); }

// Val: the number at the start of the text. "." is the only decimal point;
// blanks, tabs and line feeds are skipped wherever they stand; &H and &O read
// hex and octal; an empty or non-numeric text reads as 0.
double val(std::string_view text);

// IsNumeric under the regional settings ("10,5" is numeric with a decimal
// comma, "1.000" reads as 1000 there). Empty is numeric (0); Null is not;
// numbers and Booleans are; Dates are not; Strings when they read as a number.
bool is_numeric(const Variant& v);

// CDbl: a number of the variant under the regional settings. Empty gives 0;
// Null gives Error 94; a text that does not read as a number Error 13.
double to_double(const Variant& v);
// CLng / CInt: to_double rounded half to even; Error 6 out of range.
std::int32_t to_long(const Variant& v);
std::int16_t to_integer(const Variant& v);
// CCur.
Currency to_currency(const Variant& v);
// CBool.
bool to_boolean(const Variant& v);

// The locale-free decimal text of a Currency ("1234.5", "-0.0001"): "." as the
// decimal point, up to four decimals, trailing zeros removed.
std::string decimal_text(Currency c);
// Reads such a text exactly (no Double on the way): optional sign, digits, an
// optional "." with decimals; beyond four decimals rounds half to even.
// Error 13 when the text is not of that form, 6 out of range.
Currency currency_from_decimal_text(std::string_view text);

// IsDate / CDate: texts read day first under the regional settings
// (dd/mm/yyyy, d/m/yy, with an optional time hh:mm[:ss]), yyyy/mm/dd is
// accepted, and a text that can only be read month first (10/13/2001) is read
// that way. A time alone ("08:10") is a date of day zero. to_date converts numbers
// as serials; is_date, like the classic IsDate, is false for them.
bool is_date(const Variant& v);
Date to_date(const Variant& v);  // Error 13 when not a date; Null Error 94

// Format(value, pattern) for date patterns made of yyyy, mm, dd, hh, nn, ss and
// literal characters. "mm" right after "hh" (or "h") means minutes, as in the
// classic patterns. The value is converted with to_date first.
std::string format_date(const Variant& v, std::string_view pattern);

// Y/M/D h:m:s of a date serial.
struct DateParts {
  int year, month, day, hour, minute, second;
};
DateParts date_parts(Date d);

// Comparisons. An empty optional is Null (a condition treats it as false).
// Value against a number literal: Empty reads as 0; numbers, Dates and Booleans
// as numbers; a String that reads as a number under the regional settings as
// that number; any other String raises Error 13.
std::optional<int> compare(const Variant& v, double number_literal);
// An integer literal is a number literal (0 would otherwise also fit const char*).
inline std::optional<int> compare(const Variant& v, int number_literal) {
  return compare(v, static_cast<double>(number_literal));
}
// Value against a text literal: the value's text form against the text,
// binary; Empty is "".
std::optional<int> compare(const Variant& v, std::string_view text_literal);
std::optional<int> compare(const Variant& v, const char* text_literal);
// Value against value: two numbers as numbers, two Strings as texts, Empty
// takes 0 or "" from the other side; a number against a String that reads as
// a number as numbers, against any other String as texts.
std::optional<int> compare_values(const Variant& a, const Variant& b);

// Conveniences for conditions: true only when the comparison is not Null and holds.
inline bool equals(const Variant& v, double literal) { return compare(v, literal) == 0; }
inline bool equals(const Variant& v, int literal) { return compare(v, literal) == 0; }
inline bool equals(const Variant& v, std::string_view literal) { return compare(v, literal) == 0; }
inline bool equals(const Variant& v, const char* literal) { return compare(v, literal) == 0; }

// Texts, counted in characters (UTF-8 code points), not bytes.
std::size_t text_length(std::string_view text);
std::string left(std::string_view text, std::size_t count);
std::string right(std::string_view text, std::size_t count);
// Mid(text, start) and Mid(text, start, count); start is 1-based (Error 5 when 0).
std::string mid(std::string_view text, std::size_t start);
std::string mid(std::string_view text, std::size_t start, std::size_t count);
// InStr: 1-based position of what in text, from character start; 0 when absent.
std::size_t instr(std::string_view text, std::string_view what, std::size_t start = 1);
// Trim, LTrim, RTrim: blanks (U+0020) only.
std::string trim(std::string_view text);
std::string ltrim(std::string_view text);
std::string rtrim(std::string_view text);

}  // namespace qrnmvl
