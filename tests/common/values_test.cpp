#include "common/values.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "common/text.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;
constexpr const char* kComma = "pt_BR";
constexpr const char* kPoint = "en_US";
const std::optional<int> null;

Variant date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return Variant(Date::from_parts(y, mo, d, h, mi, s));
}

// The other descriptions show in the routines' messages the other tests compare.
TEST(Errors, ClassicDescriptions) {
  const std::pair<long, const char*> cases[] = {
      {7, "Out of memory"}, {6, "Overflow"}, {1000, "Application-defined or object-defined error"}};
  for (const auto& [number, description] : cases) {
    const Error e = error_of([&] { raise(number); });
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(e.description(), description);
    EXPECT_STREQ(e.what(), description);
  }
}

// Letters next to the ASCII ranges ("@[`{") and the bytes of a UTF-8 letter
// must come through unchanged.
TEST(AsciiText, CaseNamesAndBlanks) {
  EXPECT_EQ(ascii::lower("@AZ[`az{ÇÃ"), "@az[`az{ÇÃ");
  EXPECT_EQ(ascii::upper("@AZ[`az{çã"), "@AZ[`AZ{çã");
  const std::tuple<const char*, const char*, bool> names[] = {
      {"ab", "abc", false},   {"@", "`", false},     {"Data Source", "data SOURCE", true},
      {"ação", "AçãO", true}, {"ção", "ÇÃO", false}, {"", "", true}};
  for (const auto& [a, b, same] : names) EXPECT_EQ(ascii::same_name(a, b), same) << a << "|" << b;
  EXPECT_EQ(ascii::trim_blanks("\t\r\n x  y \r\n"), "x  y");
  EXPECT_EQ(ascii::trim_blanks(" \t "), "");
  EXPECT_EQ(ascii::trim_blanks("\vx\f"), "\vx\f");
}

TEST(VariantTest, ArraysAccessAndEquality) {
  Variant a = Variant::array(2);
  const Variant copy = a;
  a.at(1) = Variant("written");  // by reference into the element
  EXPECT_EQ(a.at(1), Variant("written"));
  EXPECT_TRUE(copy.at(1).is_empty());  // copying copied
  EXPECT_EQ(error_number([&] { a.at(2); }), 9);
  a.redim(3);
  EXPECT_EQ(a, Variant(Variant::Array(3)));

  EXPECT_EQ(error_number([] { Variant(1).at(0); }), 13);
  EXPECT_EQ(error_number([] { Variant("x").as_long(); }), 13);
  EXPECT_EQ(error_number([] { Variant().as_object(); }), 91);
  EXPECT_EQ(error_number([] { Variant::object(nullptr).as_object(); }), 91);
  EXPECT_NE(Variant(1), Variant(1.0));  // same value, other type
  EXPECT_EQ(Variant(true).type(), VarType::Boolean);
}

// LC_ALL, then LC_NUMERIC, then LANG name the locale; the host's choice wins over them.
TEST(RegionalSettingsTest, EnvironmentOrderLocaleNamesAndHostOverride) {
  const RegionalSettings saved = regional_settings();
  std::vector<std::pair<const char*, std::optional<std::string>>> env;
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    env.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  const std::tuple<const char*, const char*, const char*, char> cases[] = {
      {"", "", "fr_FR", ','}, {"", "", "it_IT", ','}, {"pt_BR.UTF-8", "en_US", "en_US", ','},
      {"", "", "es", ','},    {"", "", "PT_br", ','}, {"en_US", "pt_BR", "pt_BR", '.'},
      {"", "", "C", '.'},     {"", "", "ja_JP", '.'}, {"", "de_DE", "en_US", ','},
      {"", "", "", '.'}};
  for (const auto& [lc_all, lc_numeric, lang, decimal] : cases) {
    SCOPED_TRACE(std::string(lc_all) + "|" + lc_numeric + "|" + lang);
    setenv("LC_ALL", lc_all, 1);
    setenv("LC_NUMERIC", lc_numeric, 1);
    setenv("LANG", lang, 1);
    reset_regional_settings();
    EXPECT_EQ(to_text(Variant(0.5)), decimal == ',' ? "0,5" : "0.5");
    EXPECT_EQ(regional_settings().thousands_separator, decimal == ',' ? '.' : ',');
  }
  set_regional_settings(regional_settings_for("en_US"));
  set_regional_settings(regional_settings_for("pt_BR"));
  EXPECT_EQ(to_text(Variant(0.5)), "0,5");

  for (const auto& [name, value] : env) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
  set_regional_settings(saved);
}

// Each row is the comma form; under the point locale only the decimal separator changes.
TEST(TextForm, EveryKind) {
  const std::pair<Variant, std::string> cases[] = {
      {0.5, "0,5"},
      {1234567.25, "1234567,25"},
      {2.0 / 3.0, "0,666666666666667"},
      {-0.0, "0"},
      {1.5e20, "1,5E+20"},
      {999999999999999.9, "1E+15"},
      {-1e-5, "-1E-05"},
      {Currency{-5000}, "-0,5"},
      {date(2010, 9, 16), "16/09/2010"},
      {1e-4, "0,0001"},
      {Currency{70000}, "7"},
      {date(1899, 12, 30, 17, 5, 0), "17:05:00"},
      {true, "True"},
      {-70000, "-70000"},
      {Date{-1.25}, "29/12/1899 06:00:00"},
      {Variant(), ""},
      {connection_object(), "Provider=SQLite;Data Source=x.db"},
      {date(2010, 9, 16, 17, 5, 0), "16/09/2010 17:05:00"}};
  for (const char* locale : {kComma, kPoint}) {
    LocaleScope scope(locale);
    for (auto [value, text] : cases) {
      if (locale == kPoint) std::replace(text.begin(), text.end(), ',', '.');
      EXPECT_EQ(to_text(value), text) << locale;
    }
  }
  EXPECT_EQ(error_number([] { to_text(Variant::null()); }), 94);
  EXPECT_EQ(error_number([] { to_text(Variant::array(1)); }), 13);
}

// Locale-free: under the comma locale "0,5" still reads as 0. A carriage
// return is not skipped like the other blanks: it ends the number.
TEST(Val, ReadsTheNumberAtTheStart) {
  const std::pair<const char*, double> cases[] = {
      {"\t4\n 2", 42}, {"1\r2", 1},        {"0,5", 0},    {"", 0},        {"-1.5e2", -150},
      {"1D2", 100},    {"1e", 1},          {"-.5", -0.5}, {"1.2.3", 1.2}, {"+ 7", 7},
      {"--1", 0},      {"&h1fz", 31},      {"&O17", 15},  {"&HFFFF", -1}, {"&H10000", 65536},
      {"&H", 0},       {"&HFFFFFFFF", -1}, {"1e-400", 0}};
  LocaleScope comma(kComma);
  for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(val(text), value) << "[" << text << "]";
  EXPECT_EQ(error_number([] { val("&H100000000"); }), 6);
  EXPECT_EQ(error_number([] { val("1e400"); }), 6);
}

TEST(Numeric, IsNumericAndToDouble) {
  const std::optional<double> no;
  const std::tuple<const char*, const char*, std::optional<double>> cases[] = {
      {kComma, "10,5", 10.5}, {kComma, "12.5", 125},   {kComma, "1.234,56", 1234.56},
      {kComma, " -3 ", -3},   {kComma, "+ 4", 4},      {kComma, "5,", 5},
      {kComma, ",5", 0.5},    {kComma, "1,5E3", 1500}, {kComma, "", no},
      {kComma, "2d-2", 0.02}, {kComma, "&H1F", 31},    {kPoint, "1,000.25", 1000.25},
      {kComma, "1,2,3", no},  {kComma, "1,234.5", no}, {kComma, ".5", no},
      {kComma, "12abc", no},  {kComma, "1e", no}};
  for (const auto& [locale, text, value] : cases) {  // value empty: not numeric
    SCOPED_TRACE(std::string(locale) + " [" + text + "]");
    LocaleScope scope(locale);
    const Variant v(text);
    EXPECT_EQ(is_numeric(v), value.has_value());
    if (value)
      EXPECT_DOUBLE_EQ(to_double(v), *value);
    else
      EXPECT_EQ(error_number([&] { to_double(v); }), 13);
  }
  EXPECT_FALSE(is_numeric(Variant("1e400")));  // a number, but beyond the Double range
  EXPECT_EQ(error_number([] { to_double(Variant("1e400")); }), 6);
  EXPECT_TRUE(is_numeric(Variant()));  // Empty is, the empty text is not
  EXPECT_FALSE(is_numeric(Variant::null()));
  EXPECT_FALSE(is_numeric(date(2010, 9, 16)));
  EXPECT_TRUE(is_numeric(Variant(false)));
  EXPECT_EQ(to_double(Variant(true)), -1);
  EXPECT_EQ(to_double(Variant(Date{2.5})), 2.5);
  EXPECT_EQ(error_number([] { to_double(Variant::null()); }), 94);
  EXPECT_EQ(error_number([] { to_double(Variant::array(1)); }), 13);
}

// CLng, CInt and CCur round half to even and overflow; CBool reads texts too.
TEST(Numeric, IntegersCurrencyAndBoolean) {
  LocaleScope comma(kComma);
  const std::pair<Variant, int> rounded[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.500001, 3}, {"2,5", 2}};
  for (const auto& [value, result] : rounded) {
    SCOPED_TRACE(to_text(value));
    EXPECT_EQ(to_long(value), result);
    EXPECT_EQ(to_integer(value), result);
  }
  EXPECT_EQ(to_long(Variant(32767.5)), 32768);
  EXPECT_EQ(error_number([] { to_integer(Variant(32767.5)); }), 6);
  EXPECT_EQ(to_long(Variant(-2147483648.5)), -2147483647 - 1);
  EXPECT_EQ(error_number([] { to_long(Variant(2147483647.5)); }), 6);
  EXPECT_EQ(error_number([] { to_integer(Variant::null()); }), 94);
  EXPECT_EQ(error_number([] { to_long(Variant("abc")); }), 13);
  EXPECT_EQ(to_currency(Variant("1.234,5678")), Currency{12345678});
  EXPECT_EQ(to_currency(Variant("0,00005")), Currency{0});  // ties to even, exactly
  EXPECT_EQ(to_currency(Variant("0,00015")), Currency{2});
  EXPECT_EQ(to_currency(Variant("0,000051")), Currency{1});
  EXPECT_EQ(error_number([] { to_currency(Variant("1e18")); }), 6);
  EXPECT_EQ(currency_from_decimal_text("922337203685477.5807"), Currency{INT64_MAX});
  EXPECT_EQ(error_number([] { currency_from_decimal_text("922337203685477.5808"); }), 6);
  EXPECT_EQ(error_number([] { currency_from_decimal_text("1,5"); }), 13);
  EXPECT_TRUE(to_boolean(Variant("true")));
  EXPECT_TRUE(to_boolean(Variant("0,5")));
  EXPECT_EQ(error_number([] { to_boolean(Variant("sim")); }), 13);
}

TEST(Dates, Serials) {
  EXPECT_EQ(Date::from_parts(1899, 12, 30).serial, 0);
  EXPECT_EQ(Date::from_parts(2010, 9, 16, 18).serial, 40437.75);
  EXPECT_EQ(Date::from_parts(1899, 12, 29, 6).serial, -1.25);  // day -1, then 6 hours
  EXPECT_EQ(Date::from_parts(2010, 13, 1).serial, Date::from_parts(2011, 1, 1).serial);
  EXPECT_EQ(Date::from_parts(2010, 9, 16, 24).serial, Date::from_parts(2010, 9, 17).serial);
  for (double serial : {-657434.0, -1.25, 0.0, 40437.7118055556, 2958465.99998843}) {
    SCOPED_TRACE(serial);
    const DateParts p = date_parts(Date{serial});
    EXPECT_NEAR(Date::from_parts(p.year, p.month, p.day, p.hour, p.minute, p.second).serial, serial,
                1.0 / 86400);
  }
  const DateParts noon = date_parts(Date{-0.5});  // the same instant as 0.5
  EXPECT_EQ(noon.day * 100 + noon.hour, 3012);
}

TEST(Dates, ReadingTexts) {
  const std::pair<const char*, const char*> readable[] = {
      {"1/2/29", "2029-02-01 00:00:00"},     {" 16-09-2010 17:05 ", "2010-09-16 17:05:00"},
      {"1/2/30", "1930-02-01 00:00:00"},     {"16.09.2010 8:05:30", "2010-09-16 08:05:30"},
      {"29/02/2000", "2000-02-29 00:00:00"}, {"10/13/2001", "2001-10-13 00:00:00"},
      {"08:10", "1899-12-30 08:10:00"},      {"2010/09/16 17:05", "2010-09-16 17:05:00"}};
  LocaleScope point(kPoint);  // day first even where numbers follow the point locale
  for (const auto& [text, date] : readable) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(is_date(Variant(text)));
    EXPECT_EQ(format_date(Variant(text), "yyyy-mm-dd hh:nn:ss"), date);
  }
  for (const char* text : {"29/02/2001", "16/09", "24:00", "08:60", "16/09/2010x", "", "40437"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(is_date(Variant(text)));
    EXPECT_EQ(error_number([&] { to_date(Variant(text)); }), 13);
  }
  EXPECT_FALSE(is_date(Variant(40437)));  // converts, but is no date
  EXPECT_EQ(to_date(Variant(40437.75)).serial, 40437.75);
  EXPECT_EQ(to_date(Variant(true)).serial, -1);
  EXPECT_EQ(error_number([] { to_date(Variant::null()); }), 94);
  EXPECT_EQ(error_number([] { to_date(Variant(1e9)); }), 6);
}

TEST(Dates, Format) {
  const std::pair<const char*, const char*> cases[] = {
      {"hh:nn", "07:05"}, {"d/m/yy", "6/9/10"},     {"yyyy/mm/dd hh:mm", "2010/09/06 07:05"},
      {"h:m", "7:5"},     {"\"dia\" dd", "dia 06"}, {"YYYY/MM/DD hh:mm:ss", "2010/09/06 07:05:09"},
      {"mm:ss", "05:09"}};
  for (const auto& [pattern, text] : cases)
    EXPECT_EQ(format_date(date(2010, 9, 6, 7, 5, 9), pattern), text) << pattern;
  EXPECT_EQ(format_date(Variant("16/09/2010 17:05"), "yyyy/mm/dd hh:mm"), "2010/09/16 17:05");
  EXPECT_EQ(error_number([] { format_date(Variant("abc"), "yyyy"); }), 13);
}

template <class Literal>
struct Comparison {
  Variant value;
  Literal literal;
  std::optional<int> result;
};

// The comparison tables of docs/values.md, row by row, under the comma locale.
TEST(Compare, EveryRowOfTheTables) {
  LocaleScope comma(kComma);
  const Comparison<double> numbers[] = {
      {71, 70, 1},   {Variant(), 0, 0},   {Currency{15000}, 1.5, 0}, {date(2010, 9, 16), 40437, 0},
      {true, -1, 0}, {" 10,5 ", 10.5, 0}, {Variant::null(), 0, null}};
  for (const auto& c : numbers) EXPECT_EQ(compare(c.value, c.literal), c.result) << &c - numbers;
  EXPECT_EQ(error_number([] { compare(Variant("abc"), 0); }), 13);
  EXPECT_EQ(error_number([] { compare(Variant(""), 0); }), 13);
  EXPECT_TRUE(equals(Variant("0"), 0));
  EXPECT_FALSE(equals(Variant::null(), 0));

  const Comparison<const char*> texts[] = {{71, "71", 0},      {0.5, "0,5", 0},
                                           {Variant(), "", 0}, {10, "9", -1},
                                           {"a", "A", 1},      {Variant::null(), "", null}};
  for (const auto& c : texts) EXPECT_EQ(compare(c.value, c.literal), c.result) << &c - texts;

  const Comparison<Variant> values[] = {
      {10, 9.5, 1},  {"10", "9", -1},    {Variant(), Variant(), 0},  {Variant(), 1, -1},
      {9, "10", -1}, {Variant(), "", 0}, {"a", Variant(), 1},        {Variant::null(), 1, null},
      {"10", 9, 1},  {10, "9x", -1},     {1, Variant::null(), null}, {-3, Variant(), -1},
      {"9x", 10, 1}};
  for (const auto& c : values)
    EXPECT_EQ(compare_values(c.value, c.literal), c.result) << &c - values;
  EXPECT_EQ(error_number([] { compare_values(Variant::array(1), Variant(1)); }), 13);

  LocaleScope point(kPoint);
  EXPECT_EQ(compare(Variant("10,5"), 105), 0);
  EXPECT_EQ(compare_values(Variant(0.5), Variant("0,5")), -1);  // "0,5" reads as 5 there
}

TEST(Texts, CountCharactersNotBytesAndTrimBlanksOnly) {
  const std::string word = "Observação";
  EXPECT_EQ(text_length(word), 10u);
  EXPECT_EQ(left(word, 9), "Observaçã");
  EXPECT_EQ(right(word, 3), "ção");
  EXPECT_EQ(right(word, 20), word);
  EXPECT_EQ(mid(word, 8), "ção");
  EXPECT_EQ(mid(word, 8, 2), "çã");
  EXPECT_EQ(mid(word, 11), "");
  EXPECT_EQ(error_number([&] { mid(word, 0); }), 5);
  EXPECT_EQ(instr(word, "ão"), 9u);
  EXPECT_EQ(instr("a,b,c", ",", 3), 4u);
  EXPECT_EQ(instr("abc", "", 2), 2u);
  EXPECT_EQ(instr("abc", "a", 4), 0u);
  EXPECT_EQ(error_number([] { instr("abc", "a", 0); }), 5);
  // Trimming removes U+0020 only: tabs stay, and so do the bytes of a letter next to a blank.
  EXPECT_EQ(trim(" ção "), "ção");
  EXPECT_EQ(ltrim("  a b  "), "a b  ");
  EXPECT_EQ(rtrim("  a b  "), "  a b");
  EXPECT_EQ(trim("   "), "");
  EXPECT_EQ(ltrim(" \ta"), "\ta");
  EXPECT_EQ(rtrim("a\t "), "a\t");
}

}  // namespace
}  // namespace qrnmvl
