#include "common/values.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qrnmvl {
namespace {

// Sets the regional settings of a locale name and restores the previous ones.
class SettingsGuard {
 public:
  explicit SettingsGuard(const char* locale_name) : saved_(regional_settings()) {
    set_regional_settings(regional_settings_for(locale_name));
  }
  ~SettingsGuard() { set_regional_settings(saved_); }
  SettingsGuard(const SettingsGuard&) = delete;
  SettingsGuard& operator=(const SettingsGuard&) = delete;

 private:
  RegionalSettings saved_;
};

constexpr const char* kComma = "pt_BR";
constexpr const char* kPoint = "en_US";

// The number of the Error f raises; 0 when it raises none.
template <class F>
long error_of(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

class Connection : public VariantObject {
 public:
  std::string kind() const override { return "connection"; }
  std::string default_text() const override { return "Provider=SQLite;Data Source=x.db"; }
};

Variant date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return Variant(Date::from_parts(y, mo, d, h, mi, s));
}

TEST(Errors, ClassicDescriptions) {
  const struct {
    long number;
    const char* description;
  } cases[] = {
      {5, "Invalid procedure call or argument"},
      {6, "Overflow"},
      {7, "Out of memory"},
      {9, "Subscript out of range"},
      {13, "Type mismatch"},
      {91, "Object variable or With block variable not set"},
      {94, "Invalid use of Null"},
      {3265,
       "Item cannot be found in the collection corresponding to the requested name or ordinal."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    try {
      raise(c.number);
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.description(), c.description);
      EXPECT_STREQ(e.what(), c.description);
    }
  }
}

TEST(VariantTest, ArraysAccessAndEquality) {
  Variant a = Variant::array(2);
  const Variant copy = a;
  a.at(1) = Variant("written");  // by reference into the element
  EXPECT_EQ(a.at(1), Variant("written"));
  EXPECT_TRUE(copy.at(1).is_empty());  // copying copied
  EXPECT_EQ(error_of([&] { a.at(2); }), 9);
  a.redim(3);
  EXPECT_EQ(a.size(), 3u);
  EXPECT_TRUE(a.at(1).is_empty());

  EXPECT_EQ(error_of([] { Variant(1).at(0); }), 13);
  EXPECT_EQ(error_of([] { Variant("x").as_long(); }), 13);
  EXPECT_EQ(error_of([] { Variant().as_object(); }), 91);
  EXPECT_EQ(error_of([] { Variant::object(nullptr).as_object(); }), 91);
  EXPECT_NE(Variant(1), Variant(1.0));  // same value, other type
  EXPECT_EQ(Variant(true).type(), VarType::Boolean);
}

TEST(RegionalSettingsTest, ByLocaleName) {
  const struct {
    const char* name;
    char decimal;
  } cases[] = {{"pt_BR.UTF-8", ','}, {"es_ES", ','}, {"de", ','}, {"fr_FR", ','}, {"it_IT", ','},
               {"PT_br", ','},       {"en_US", '.'}, {"C", '.'},  {"", '.'},      {"ja_JP", '.'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RegionalSettings s = regional_settings_for(c.name);
    EXPECT_EQ(s.decimal_separator, c.decimal);
    EXPECT_EQ(s.thousands_separator, c.decimal == ',' ? '.' : ',');
  }
}

TEST(RegionalSettingsTest, EnvironmentOrderAndHostOverride) {
  const RegionalSettings saved = regional_settings();
  std::vector<std::pair<std::string, std::optional<std::string>>> env;
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    env.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  const struct {
    const char *lc_all, *lc_numeric, *lang;
    const char* half;
  } cases[] = {{"pt_BR.UTF-8", "en_US", "en_US", "0,5"},
               {"", "de_DE", "en_US", "0,5"},
               {"", "", "fr_FR", "0,5"},
               {"en_US", "pt_BR", "pt_BR", "0.5"},
               {"", "", "", "0.5"}};
  reset_regional_settings();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.lc_all) + "|" + c.lc_numeric + "|" + c.lang);
    setenv("LC_ALL", c.lc_all, 1);
    setenv("LC_NUMERIC", c.lc_numeric, 1);
    setenv("LANG", c.lang, 1);
    reset_regional_settings();
    EXPECT_EQ(to_text(Variant(0.5)), c.half);
  }
  // The host's choice wins over the environment, and the latest one holds.
  set_regional_settings(regional_settings_for("en_US"));
  EXPECT_EQ(to_text(Variant(0.5)), "0.5");
  set_regional_settings(regional_settings_for("pt_BR"));
  EXPECT_EQ(to_text(Variant(0.5)), "0,5");

  for (const auto& [name, value] : env) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  set_regional_settings(saved);
}

TEST(TextForm, EveryKind) {
  const struct {
    const char* locale;
    Variant value;
    const char* text;
  } cases[] = {{kComma, Variant(0.5), "0,5"},
               {kPoint, Variant(0.5), "0.5"},
               {kComma, Variant(-7.1), "-7,1"},
               {kComma, Variant(-0.0), "0"},
               {kPoint, Variant(1234567.25), "1234567.25"},
               {kComma, Variant(2.0 / 3.0), "0,666666666666667"},
               {kComma, Variant(999999999999999.9), "1E+15"},
               {kComma, Variant(1.5e20), "1,5E+20"},
               {kPoint, Variant(-2.5e-7), "-2.5E-07"},
               {kComma, Variant(1e-5), "1E-05"},
               {kComma, Variant(1e-4), "0,0001"},
               {kComma, Variant(Currency{12345000}), "1234,5"},
               {kPoint, Variant(Currency{-5000}), "-0.5"},
               {kComma, Variant(Currency{70000}), "7"},
               {kComma, Variant(-70000), "-70000"},
               {kComma, Variant(true), "True"},
               {kComma, Variant(), ""},
               {kComma, date(2010, 9, 16, 17, 5, 0), "16/09/2010 17:05:00"},
               {kPoint, date(2010, 9, 16), "16/09/2010"},
               {kComma, date(1899, 12, 30, 17, 5, 0), "17:05:00"},
               {kComma, Variant(Date{-1.25}), "29/12/1899 06:00:00"},
               {kComma, Variant::object(std::make_shared<Connection>()),
                "Provider=SQLite;Data Source=x.db"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.text);
    SettingsGuard guard(c.locale);
    EXPECT_EQ(to_text(c.value), c.text);
  }
  EXPECT_EQ(error_of([] { to_text(Variant::null()); }), 94);
  EXPECT_EQ(error_of([] { to_text(Variant::array(1)); }), 13);
}

TEST(Val, ReadsTheNumberAtTheStartWhateverTheLocale) {
  const struct {
    const char* text;
    double value;
  } cases[] = {{" 1 2 3", 123}, {"12abc", 12},      {"0,5", 0},         {"", 0},
               {"abc", 0},      {"-1.5e2", -150},   {"1D2", 100},       {"1e", 1},
               {"1e+", 1},      {"-.5", -0.5},      {"1.2.3", 1.2},     {"\t4\n2", 42},
               {"+ 7", 7},      {"--1", 0},         {"&H1F", 31},       {"&h1fz", 31},
               {"&O17", 15},    {"&HFFFF", -1},     {"&H8000", -32768}, {"&H10000", 65536},
               {"&H", 0},       {"&HFFFFFFFF", -1}, {"1,000", 1},       {"1e-400", 0}};
  for (const char* locale : {kComma, kPoint}) {
    SettingsGuard guard(locale);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(locale) + " [" + c.text + "]");
      EXPECT_DOUBLE_EQ(val(c.text), c.value);
    }
  }
  EXPECT_EQ(error_of([] { val("&H100000000"); }), 6);
  EXPECT_EQ(error_of([] { val("1e400"); }), 6);
}

TEST(Numeric, StringsUnderTheRegionalSettings) {
  const std::optional<double> no;
  const struct {
    const char* locale;
    const char* text;
    std::optional<double> value;  // empty: not numeric
  } cases[] = {{kComma, "10,5", 10.5},
               {kComma, "1.000", 1000},
               {kComma, "1.234,56", 1234.56},
               {kComma, "12.5", 125},
               {kComma, " -3 ", -3},
               {kComma, "+ 4", 4},
               {kComma, ",5", 0.5},
               {kComma, "5,", 5},
               {kComma, "1,5E3", 1500},
               {kComma, "2d-2", 0.02},
               {kComma, "&H1F", 31},
               {kComma, "1,2,3", no},
               {kComma, "1,234.5", no},
               {kComma, ".5", no},
               {kComma, "", no},
               {kComma, "   ", no},
               {kComma, "12abc", no},
               {kComma, "1e", no},
               {kComma, "-", no},
               {kComma, "16/09/2010", no},
               {kComma, "True", no},
               {kComma, "1e400", no},
               {kPoint, "10,5", 105},
               {kPoint, "10.5", 10.5},
               {kPoint, "1,000.25", 1000.25},
               {kPoint, ".5", 0.5},
               {kPoint, "1.2.3", no}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " [" + c.text + "]");
    SettingsGuard guard(c.locale);
    const Variant v(c.text);
    EXPECT_EQ(is_numeric(v), c.value.has_value());
    if (c.value)
      EXPECT_DOUBLE_EQ(to_double(v), *c.value);
    else
      EXPECT_NE(error_of([&] { to_double(v); }), 0);
  }
}

TEST(Numeric, OtherKinds) {
  EXPECT_TRUE(is_numeric(Variant()));  // Empty is, the empty text is not
  EXPECT_FALSE(is_numeric(Variant::null()));
  EXPECT_FALSE(is_numeric(date(2010, 9, 16)));
  EXPECT_TRUE(is_numeric(Variant(false)));
  EXPECT_EQ(to_double(Variant(true)), -1);
  EXPECT_EQ(to_double(Variant(Date{2.5})), 2.5);
  EXPECT_EQ(error_of([] { to_double(Variant::null()); }), 94);
  EXPECT_EQ(error_of([] { to_double(Variant::array(1)); }), 13);
}

TEST(Numeric, RoundingHalfToEvenAndOverflow) {
  const struct {
    Variant value;
    long as_long, as_integer;  // a value, or the Error number where marked
    bool long_fails, integer_fails;
  } cases[] = {{Variant(2.5), 2, 2, false, false},
               {Variant(3.5), 4, 4, false, false},
               {Variant(-2.5), -2, -2, false, false},
               {Variant(2.500001), 3, 3, false, false},
               {Variant("2,5"), 2, 2, false, false},
               {Variant(Currency{35000}), 4, 4, false, false},
               {Variant(32767.5), 32768, 6, false, true},
               {Variant(2147483647.5), 6, 6, true, true},
               {Variant(-2147483648.5), -2147483648, 6, false, true},
               {Variant::null(), 94, 94, true, true},
               {Variant("abc"), 13, 13, true, true}};
  SettingsGuard guard(kComma);
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (c.long_fails)
      EXPECT_EQ(error_of([&] { to_long(c.value); }), c.as_long);
    else
      EXPECT_EQ(to_long(c.value), c.as_long);
    if (c.integer_fails)
      EXPECT_EQ(error_of([&] { to_integer(c.value); }), c.as_integer);
    else
      EXPECT_EQ(to_integer(c.value), c.as_integer);
  }
}

TEST(Numeric, CurrencyAndBoolean) {
  SettingsGuard guard(kComma);
  EXPECT_EQ(to_currency(Variant("1.234,5678")), Currency{12345678});
  EXPECT_EQ(to_currency(Variant("0,00005")), Currency{0});  // ties to even, exactly
  EXPECT_EQ(to_currency(Variant("0,00015")), Currency{2});
  EXPECT_EQ(to_currency(Variant("0,000051")), Currency{1});
  EXPECT_EQ(error_of([] { to_currency(Variant("1e18")); }), 6);
  EXPECT_EQ(currency_from_decimal_text("922337203685477.5807"), Currency{INT64_MAX});
  EXPECT_EQ(error_of([] { currency_from_decimal_text("922337203685477.5808"); }), 6);
  EXPECT_EQ(error_of([] { currency_from_decimal_text("1,5"); }), 13);

  EXPECT_TRUE(to_boolean(Variant("true")));
  EXPECT_TRUE(to_boolean(Variant("0,5")));
  EXPECT_EQ(error_of([] { to_boolean(Variant("sim")); }), 13);
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
  const struct {
    const char* text;
    const char* date;  // yyyy-mm-dd hh:nn:ss, or nullptr when not a date
  } cases[] = {{"16/09/2010", "2010-09-16 00:00:00"},
               {"1/2/2003", "2003-02-01 00:00:00"},
               {" 16-09-2010 17:05 ", "2010-09-16 17:05:00"},
               {"16.09.2010 8:05:30", "2010-09-16 08:05:30"},
               {"10/13/2001", "2001-10-13 00:00:00"},
               {"2010/09/16 17:05", "2010-09-16 17:05:00"},
               {"1/2/29", "2029-02-01 00:00:00"},
               {"1/2/30", "1930-02-01 00:00:00"},
               {"29/02/2000", "2000-02-29 00:00:00"},
               {"08:10", "1899-12-30 08:10:00"},
               {"31/02/2001", nullptr},
               {"29/02/2001", nullptr},
               {"16/09", nullptr},
               {"24:00", nullptr},
               {"08:60", nullptr},
               {"16/09/2010x", nullptr},
               {"", nullptr},
               {"40437", nullptr}};
  for (const char* locale : {kComma, kPoint}) {
    SettingsGuard guard(locale);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(locale) + " [" + c.text + "]");
      const Variant v(c.text);
      EXPECT_EQ(is_date(v), c.date != nullptr);
      if (c.date)
        EXPECT_EQ(format_date(v, "yyyy-mm-dd hh:nn:ss"), c.date);
      else
        EXPECT_EQ(error_of([&] { to_date(v); }), 13);
    }
  }
  EXPECT_FALSE(is_date(Variant(40437)));  // converts, but is no date
  EXPECT_EQ(to_date(Variant(40437.75)).serial, 40437.75);
  EXPECT_EQ(to_date(Variant(true)).serial, -1);
  EXPECT_EQ(error_of([] { to_date(Variant::null()); }), 94);
  EXPECT_EQ(error_of([] { to_date(Variant(1e9)); }), 6);
}

TEST(Dates, Format) {
  const Variant d = date(2010, 9, 6, 7, 5, 9);
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {{"yyyy/mm/dd hh:mm", "2010/09/06 07:05"},
               {"YYYY/MM/DD hh:mm:ss", "2010/09/06 07:05:09"},
               {"dd/mm/yyyy", "06/09/2010"},
               {"hh:nn", "07:05"},
               {"h:m", "7:5"},
               {"mm:ss", "05:09"},
               {"d/m/yy", "6/9/10"},
               {"\"dia\" dd", "dia 06"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(format_date(d, c.pattern), c.text);
  }
  EXPECT_EQ(format_date(Variant("16/09/2010 17:05"), "yyyy/mm/dd hh:mm"), "2010/09/16 17:05");
  EXPECT_EQ(error_of([] { format_date(Variant("abc"), "yyyy"); }), 13);
}

// The comparison table, row by row (docs/values.md).
TEST(Compare, AgainstNumberLiteral) {
  const struct {
    const char* locale;
    Variant value;
    double literal;
    std::optional<int> result;
  } cases[] = {{kComma, Variant(), 0, 0},
               {kComma, Variant(71), 70, 1},
               {kComma, Variant(Currency{15000}), 1.5, 0},
               {kComma, date(2010, 9, 16), 40437, 0},
               {kComma, Variant(true), -1, 0},
               {kComma, Variant("71"), 71, 0},
               {kComma, Variant(" 10,5 "), 10.5, 0},
               {kComma, Variant("1.000"), 1000, 0},
               {kPoint, Variant("10,5"), 105, 0},
               {kPoint, Variant("10.5"), 10.5, 0},
               {kComma, Variant::null(), 0, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SettingsGuard guard(c.locale);
    EXPECT_EQ(compare(c.value, c.literal), c.result);
  }
  EXPECT_EQ(error_of([] { compare(Variant("abc"), 0); }), 13);
  EXPECT_EQ(error_of([] { compare(Variant(""), 0); }), 13);
  EXPECT_TRUE(equals(Variant("0"), 0));
  EXPECT_FALSE(equals(Variant::null(), 0));
}

TEST(Compare, AgainstTextLiteral) {
  const struct {
    const char* locale;
    Variant value;
    const char* literal;
    std::optional<int> result;
  } cases[] = {{kComma, Variant(), "", 0},
               {kComma, Variant(), "a", -1},
               {kComma, Variant(71), "71", 0},
               {kComma, Variant(10), "9", -1},  // as texts
               {kComma, Variant(0.5), "0,5", 0},
               {kPoint, Variant(0.5), "0.5", 0},
               {kComma, Variant(true), "True", 0},
               {kComma, date(2010, 9, 16), "16/09/2010", 0},
               {kComma, Variant("a"), "A", 1},  // binary
               {kComma, Variant::null(), "", std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SettingsGuard guard(c.locale);
    EXPECT_EQ(compare(c.value, c.literal), c.result);
  }
}

TEST(Compare, ValueAgainstValue) {
  const std::optional<int> null;
  const struct {
    const char* locale;
    Variant a, b;
    std::optional<int> result;
  } cases[] = {{kComma, Variant(10), Variant(9.5), 1},
               {kComma, date(2010, 9, 16), Variant(40437), 0},
               {kComma, Variant("10"), Variant("9"), -1},
               {kComma, Variant(), Variant(), 0},
               {kComma, Variant(), Variant(""), 0},
               {kComma, Variant("a"), Variant(), 1},
               {kComma, Variant(-3), Variant(), -1},
               {kComma, Variant(71), Variant("71"), 0},
               {kComma, Variant("71"), Variant(71), 0},
               {kComma, Variant(9), Variant("10"), -1},  // as numbers
               {kComma, Variant(0.5), Variant("0,5"), 0},
               {kPoint, Variant(0.5), Variant("0,5"), -1},  // "0,5" reads as 5 there
               {kComma, Variant(71), Variant("abc"), -1},   // as texts
               {kComma, Variant(10), Variant("9x"), -1},
               {kComma, Variant::null(), Variant(1), null},
               {kComma, Variant(1), Variant::null(), null}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    SettingsGuard guard(c.locale);
    EXPECT_EQ(compare_values(c.a, c.b), c.result);
  }
  EXPECT_EQ(error_of([] { compare_values(Variant::array(1), Variant(1)); }), 13);
}

TEST(Texts, CountCharactersNotBytes) {
  const std::string word = "Observação";
  EXPECT_EQ(text_length(word), 10u);
  EXPECT_EQ(left(word, 9), "Observaçã");
  EXPECT_EQ(right(word, 3), "ção");
  EXPECT_EQ(right(word, 20), word);
  EXPECT_EQ(mid(word, 8), "ção");
  EXPECT_EQ(mid(word, 8, 2), "çã");
  EXPECT_EQ(mid(word, 11), "");
  EXPECT_EQ(error_of([&] { mid(word, 0); }), 5);
  EXPECT_EQ(instr(word, "ão"), 9u);
  EXPECT_EQ(instr("a,b,c", ",", 3), 4u);
  EXPECT_EQ(instr("abc", "", 2), 2u);
  EXPECT_EQ(instr("abc", "a", 4), 0u);
  EXPECT_EQ(error_of([] { instr("abc", "a", 0); }), 5);
}

TEST(Texts, TrimRemovesBlanksOnly) {
  const struct {
    const char *text, *trimmed, *left_trimmed, *right_trimmed;
  } cases[] = {{"  a b  ", "a b", "a b  ", "  a b"},
               {"\ta\t", "\ta\t", "\ta\t", "\ta\t"},
               {"   ", "", "", ""},
               {" ção ", "ção", "ção ", " ção"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("[") + c.text + "]");
    EXPECT_EQ(trim(c.text), c.trimmed);
    EXPECT_EQ(ltrim(c.text), c.left_trimmed);
    EXPECT_EQ(rtrim(c.text), c.right_trimmed);
  }
}

}  // namespace
}  // namespace qrnmvl
