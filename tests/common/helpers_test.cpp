#include "common/helpers.hpp"

#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

const Variant zero(std::int16_t{0}), none(""), null_text("null");

struct Case {
  Variant input, expected;
  const char* locale = "pt_BR";
};

// A helper against its rows, each under its locale.
void expect_cases(Variant (*helper)(const Variant&), std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    testing::LocaleScope locale(c.locale);
    EXPECT_EQ(helper(c.input), c.expected) << c.locale << " " << ::testing::PrintToString(c.input);
  }
}

// Only a single foreign separator is turned into the local one, in any text.
TEST(Helpers, NormalizaValor) {
  expect_cases(gNormaliza_Valor, {{Variant::null(), zero},
                                  {"", zero},
                                  {"12.5", "12,5"},
                                  {"1.234.567", "1.234.567"},
                                  {"1.234,56", "1,234,56"},
                                  {42, 42},
                                  {12.5, 12.5},
                                  {"Av. Brasil", "Av, Brasil"},
                                  {"12,5", "12.5", "en_US"},
                                  {"12.5", "12.5", "en_US"},
                                  {Variant::array(2), zero, "en_US"}});
}

// Two decimals and always a comma; below one unit rounded to the cent, from one unit up cut;
// the integer part keeps ten characters.
TEST(Helpers, FormataValor) {
  expect_cases([](const Variant& v) { return gFormata_Valor(v, none); },
               {{Variant::null(), none},
                {"", none},
                {0, none},
                {12.5, "12,50"},
                {12.345, "12,34"},
                {3, "3,00"},
                {0.125, "0,12"},
                {-7.1, "-7,10"},
                {0.004, none},
                {0.999, "1,00"},
                {1.999, "1,99"},
                {12345678901.5, "1234567890,50"},
                {"2200,5", "2200,50"},
                {"abc", zero},
                {2200.5, "2200,50", "en_US"},
                {"2200.5", "2200,50", "en_US"}});
}

// "null" when the number at the start of the value's text is 0.
TEST(Helpers, MontaNumeroSql) {
  expect_cases(gMonta_Numero_SQL, {{0, null_text},
                                   {"0", null_text},
                                   {"abc", null_text},
                                   {"0,5", null_text},
                                   {"", null_text},
                                   {Variant(), null_text},
                                   {0.5, null_text},
                                   {0.5, 0.5, "en_US"},
                                   {12, 12},
                                   {"12", "12"},
                                   {" 25 ", " 25 "},
                                   {"12abc", "12abc", "en_US"}});
  EXPECT_EQ(error_number([] { gMonta_Numero_SQL(Variant::null()); }), err::invalid_use_of_null);
}

TEST(Helpers, LiteralsAndCleaning) {
  expect_cases(gMonta_Texto_SQL,
               {{"", null_text}, {Variant::null(), null_text}, {"ABC", "'ABC'"}, {0.5, "'0,5'"}});
  expect_cases(gMonta_Data_SQL, {{"", null_text},
                                 {Variant::null(), null_text},
                                 {Date::from_parts(2010, 9, 16, 17, 5, 42), "'2010/09/16 17:05'"},
                                 {"16/09/2010 07:05", "'2010/09/16 07:05'"}});
  expect_cases(gRetira_Caracteres_Especiais, {{"   ", ""},
                                              {" a(b)c; ", " abc "},
                                              {"50% & 10+1", "50  101"},
                                              {"<O'Neil \"Jr\">", "ONeil Jr"},
                                              {"Observação", "Observação"}});
  expect_cases([](const Variant& v) { return gValor_Padrao(v); },
               {{"", Variant::null()}, {Variant::null(), Variant::null()}});
  expect_cases([](const Variant& v) { return gValor_Padrao(v, Variant(5)); },
               {{"", 5}, {"x", "x"}});
  expect_cases(gTrata_Nulo, {{Variant::null(), ""}, {7, 7}});
}

}  // namespace
}  // namespace qrnmvl
