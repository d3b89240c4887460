#include "common/helpers.hpp"

#include <gtest/gtest.h>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;

Variant text(const char* s) { return Variant(s); }
Variant zero() { return Variant(std::int16_t{0}); }

struct Case {
  const char* locale;
  Variant input;
  Variant expected;
};

TEST(Helpers, NormalizaValor) {
  const Case cases[] = {
      {"pt_BR", Variant::null(), zero()},
      {"pt_BR", text(""), zero()},
      {"pt_BR", text("12.5"), text("12,5")},
      {"pt_BR", text("1.234.567"), text("1.234.567")},
      {"pt_BR", text("1.234,56"), text("1,234,56")},
      {"pt_BR", Variant(42), Variant(42)},
      {"pt_BR", Variant(12.5), Variant(12.5)},
      {"pt_BR", text("abc"), text("abc")},
      {"pt_BR", text("Av. Brasil"), text("Av, Brasil")},
      {"en_US", text("12,5"), text("12.5")},
      {"en_US", text("12.5"), text("12.5")},
      {"en_US", text("1,234,567"), text("1,234,567")},
      {"en_US", Variant::array(2), zero()},
  };
  for (const Case& c : cases) {
    LocaleScope locale(c.locale);
    SCOPED_TRACE(std::string(c.locale) + " " + (c.input.is_string() ? c.input.as_string() : ""));
    EXPECT_EQ(gNormaliza_Valor(c.input), c.expected);
  }
}

TEST(Helpers, FormataValor) {
  const Variant none("");
  const Case cases[] = {
      {"pt_BR", Variant::null(), none},
      {"pt_BR", text(""), none},
      {"pt_BR", Variant(0), none},
      {"pt_BR", Variant(12.5), text("12,50")},
      {"pt_BR", Variant(12.345), text("12,34")},
      {"pt_BR", Variant(3), text("3,00")},
      {"pt_BR", Variant(0.125), text("0,12")},
      {"pt_BR", Variant(-7.1), text("-7,10")},
      {"pt_BR", Variant(0.004), none},
      {"pt_BR", Variant(0.999), text("1,00")},
      {"pt_BR", Variant(1.999), text("1,99")},
      {"pt_BR", Variant(12345678901.5), text("1234567890,50")},
      {"pt_BR", text("2200,5"), text("2200,50")},
      {"pt_BR", text("abc"), zero()},
      {"en_US", Variant(2200.5), text("2200,50")},
      {"en_US", text("2200.5"), text("2200,50")},
  };
  for (const Case& c : cases) {
    LocaleScope locale(c.locale);
    SCOPED_TRACE(std::string(c.locale) + " " + (c.input.is_null() ? "null" : to_text(c.input)));
    EXPECT_EQ(gFormata_Valor(c.input, none), c.expected);
  }
}

TEST(Helpers, MontaNumeroSql) {
  const Variant null_text("null");
  const Case cases[] = {
      {"pt_BR", Variant(0), null_text},      {"pt_BR", text("0"), null_text},
      {"pt_BR", text("abc"), null_text},     {"pt_BR", text("0,5"), null_text},
      {"pt_BR", text(""), null_text},        {"pt_BR", Variant(), null_text},
      {"pt_BR", Variant(0.5), null_text},    {"en_US", Variant(0.5), Variant(0.5)},
      {"pt_BR", Variant(12), Variant(12)},   {"pt_BR", text("12"), text("12")},
      {"pt_BR", text(" 25 "), text(" 25 ")}, {"en_US", text("12abc"), text("12abc")},
  };
  for (const Case& c : cases) {
    LocaleScope locale(c.locale);
    SCOPED_TRACE(std::string(c.locale) + " " + to_text(c.input));
    EXPECT_EQ(gMonta_Numero_SQL(c.input), c.expected);
  }
  try {
    gMonta_Numero_SQL(Variant::null());
    FAIL() << "a null value has no number";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), err::invalid_use_of_null);
  }
}

TEST(Helpers, LiteralsAndCleaning) {
  LocaleScope locale("pt_BR");
  const Variant null_text("null");
  EXPECT_EQ(gMonta_Texto_SQL(text("")), null_text);
  EXPECT_EQ(gMonta_Texto_SQL(Variant::null()), null_text);
  EXPECT_EQ(gMonta_Texto_SQL(text("ABC")), text("'ABC'"));
  EXPECT_EQ(gMonta_Texto_SQL(Variant(0.5)), text("'0,5'"));

  EXPECT_EQ(gMonta_Data_SQL(text("")), null_text);
  EXPECT_EQ(gMonta_Data_SQL(Variant::null()), null_text);
  EXPECT_EQ(gMonta_Data_SQL(Variant(Date::from_parts(2010, 9, 16, 17, 5, 42))),
            text("'2010/09/16 17:05'"));
  EXPECT_EQ(gMonta_Data_SQL(text("16/09/2010 07:05")), text("'2010/09/16 07:05'"));

  EXPECT_EQ(gRetira_Caracteres_Especiais(text("   ")), text(""));
  EXPECT_EQ(gRetira_Caracteres_Especiais(text(" a(b)c; ")), text(" abc "));
  EXPECT_EQ(gRetira_Caracteres_Especiais(text("50% & 10+1")), text("50  101"));
  EXPECT_EQ(gRetira_Caracteres_Especiais(text("<O'Neil \"Jr\">")), text("ONeil Jr"));
  EXPECT_EQ(gRetira_Caracteres_Especiais(text("Observação")), text("Observação"));

  EXPECT_EQ(gValor_Padrao(text("")), Variant::null());
  EXPECT_EQ(gValor_Padrao(Variant::null()), Variant::null());
  EXPECT_EQ(gValor_Padrao(text(""), Variant(5)), Variant(5));
  EXPECT_EQ(gValor_Padrao(text("x"), Variant(5)), text("x"));

  EXPECT_EQ(gTrata_Nulo(Variant::null()), text(""));
  EXPECT_EQ(gTrata_Nulo(Variant(7)), Variant(7));
}

}  // namespace
}  // namespace qrnmvl
