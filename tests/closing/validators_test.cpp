#include "closing/validators.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/json_value.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {

// Readable values in failure messages.
[[maybe_unused]] static void PrintTo(const Variant& value, std::ostream* out) {
  *out << to_json(value).dump();
}

namespace {

using testing::LocaleScope;

enum class Check { Data, Hora, Inteiro, Numero, String };

const char* const kUntouched = "(untouched)";

struct Case {
  Check check;
  Variant value;
  Variant minimum;  // the maximum length for Check::String
  Variant maximum;
  Variant required;
  bool accepted;
  std::string message;                   // kUntouched when the check accepts
  std::optional<std::string> cleaned;    // the caller's value afterwards
  std::optional<std::string> converted;  // Data and Hora: the converted value afterwards
};

struct Outcome {
  bool accepted;
  Variant value, message, converted;
};

Outcome run(const Case& c, const Variant& user_id = Variant(25)) {
  const Variant label("Campo");
  Outcome out{false, c.value, Variant(kUntouched), Variant(kUntouched)};
  switch (c.check) {
    case Check::Data:
      out.accepted = gConsiste_Data(label, out.value, c.minimum, c.maximum, user_id, out.message,
                                    out.converted, c.required);
      break;
    case Check::Hora:
      out.accepted = gConsiste_Hora(label, out.value, c.minimum, c.maximum, user_id, out.message,
                                    out.converted, c.required);
      break;
    case Check::Inteiro:
      out.accepted = gConsiste_Inteiro(label, out.value, c.minimum, c.maximum, user_id, out.message,
                                       c.required);
      break;
    case Check::Numero:
      out.accepted = gConsiste_Numero(label, out.value, c.minimum, c.maximum, user_id, out.message,
                                      c.required);
      break;
    case Check::String:
      out.accepted =
          gConsiste_String(label, out.value, c.minimum, user_id, out.message, c.required);
      break;
  }
  return out;
}

void expect_case(const Case& c) {
  const Outcome out = run(c);
  EXPECT_EQ(out.accepted, c.accepted);
  EXPECT_EQ(out.message, Variant(c.message));
  if (c.cleaned) {
    EXPECT_EQ(out.value, Variant(*c.cleaned));
  }
  if (c.converted) {
    EXPECT_EQ(out.converted, Variant(*c.converted));
  }
}

const Variant S("S"), N("N"), none("");

std::string hour(const char* example) {
  return std::string(
             "Preencha Campo com uma hora válida, com 5 dígitos, no formato hh:mm (Exemplo: ") +
         example + ")";
}

// Rules that read the same under a decimal comma and a decimal point.
const std::vector<Case> kCases = {
    // The common opening.
    {Check::Data, Variant(""), none, none, S, false, "Preencha Campo", {}, kUntouched},
    {Check::Data, Variant(""), none, none, N, true, kUntouched, {}, kUntouched},
    {Check::Data, Variant::null(), none, none, N, true, kUntouched, {}, kUntouched},
    {Check::String, Variant("   "), Variant(10), none, S, false, "Preencha Campo", "", {}},
    // Dates.
    {Check::Data,
     Variant("1/10/2001"),
     none,
     none,
     S,
     false,
     "Preencha Campo com uma data válida, com 10 dígitos, no formato dd/mm/aaaa (Exemplo: "
     "13/10/2001)",
     {},
     kUntouched},
    {Check::Data,
     Variant("31/02/2001"),
     none,
     none,
     S,
     false,
     "Preencha Campo com uma data válida, no formato dd/mm/aaaa (Exemplo: 13/10/2001)",
     {},
     kUntouched},
    {Check::Data,
     Variant("10/13/2001"),
     none,
     none,
     S,
     false,
     "O mês da data do campo Campo deve ser menor ou igual a 12",
     {},
     kUntouched},
    {Check::Data, Variant("13/10/'2001"), none, none, S, true, kUntouched, "13/10/2001",
     "2001/10/13"},
    {Check::Data,
     Variant("31/12/2001"),
     Variant("01/01/2002"),
     none,
     S,
     false,
     "Campo deve ser igual ou maior que 01/01/2002",
     {},
     "2001/12/31"},
    {Check::Data,
     Variant("01/01/2002"),
     none,
     Variant("31/12/2001"),
     S,
     false,
     "Campo deve ser igual ou menor que 31/12/2001",
     {},
     "2002/01/01"},
    {Check::Data,
     Variant("13/10/2001"),
     Variant("13/10/2001"),
     Variant("13/10/2001"),
     S,
     true,
     kUntouched,
     {},
     "2001/10/13"},
    // Hours: the example hour tells which rule refused.
    {Check::Hora, Variant("8:10"), none, none, S, false, hour("08:10"), {}, kUntouched},
    {Check::Hora, Variant("08.10"), none, none, S, false, hour("08:15"), {}, kUntouched},
    {Check::Hora, Variant("a8:10"), none, none, S, false, hour("08:20"), {}, kUntouched},
    {Check::Hora, Variant("08:1x"), none, none, S, false, hour("08:25"), {}, kUntouched},
    {Check::Hora, Variant("24:00"), none, none, S, false, hour("08:30"), {}, kUntouched},
    {Check::Hora, Variant("08:60"), none, none, S, false, hour("08:35"), {}, kUntouched},
    {Check::Hora,
     Variant("1 :10"),
     none,
     none,
     S,
     false,
     "Preencha Campo com uma hora válida, no formato hh:mm (Exemplo: 08:40)",
     {},
     kUntouched},
    {Check::Hora, Variant("0'8:10"), none, none, S, true, kUntouched, "08:10", "08:10"},
    {Check::Hora,
     Variant("08:10"),
     Variant("09:00"),
     none,
     S,
     false,
     "Campo deve ser igual ou maior que 09:00.",
     {},
     "08:10"},
    {Check::Hora,
     Variant("18:10"),
     none,
     Variant("18:00"),
     S,
     false,
     "Campo deve ser igual ou menor que 18:00.",
     {},
     "18:10"},
    // Integers: both separators are refused before the numeric test.
    {Check::Inteiro,
     Variant("1.000"),
     none,
     none,
     S,
     false,
     "O campo Campo não permite a digitação de números com uso de separador de milhar(.)",
     {},
     {}},
    {Check::Inteiro,
     Variant("10,5"),
     none,
     none,
     S,
     false,
     "O campo Campo não permite a digitação de números com casas decimais(,)",
     {},
     {}},
    {Check::Inteiro,
     Variant("abc"),
     none,
     none,
     S,
     false,
     "Preencha Campo com valor numérico",
     {},
     {}},
    {Check::Inteiro,
     Variant("9"),
     Variant(10),
     none,
     S,
     false,
     "Campo deve ser igual ou maior que 10",
     {},
     {}},
    {Check::Inteiro,
     Variant("11"),
     none,
     Variant(10),
     S,
     false,
     "Campo deve ser igual ou menor que 10",
     {},
     {}},
    {Check::Inteiro, Variant("1'0"), Variant(10), Variant(10), S, true, kUntouched, "10", {}},
    {Check::Inteiro, Variant(7), Variant(1), Variant(10), S, true, kUntouched, "7", {}},
    // Numbers: the decimal comma is the form's own.
    {Check::Numero, Variant("10,5"), Variant(0), Variant(9999999.99), S, true, kUntouched, {}, {}},
    {Check::Numero,
     Variant("1.000"),
     none,
     none,
     S,
     false,
     "O campo Campo não permite a digitação de números com uso de separador de milhar(.)",
     {},
     {}},
    {Check::Numero,
     Variant("x1"),
     none,
     none,
     S,
     false,
     "Preencha Campo com valor numérico",
     {},
     {}},
    {Check::Numero,
     Variant("-1"),
     Variant(0),
     none,
     S,
     false,
     "Campo deve ser igual ou maior que 0",
     {},
     {}},
    {Check::Numero, Variant("1'0"), Variant(0), none, S, true, kUntouched, "10", {}},
    // Texts: lengths in characters; 0 or an empty maximum means any length.
    {Check::String, Variant("abc"), Variant(3), none, S, true, kUntouched, "abc", {}},
    {Check::String,
     Variant("abcd"),
     Variant(3),
     none,
     S,
     false,
     "Preencha Campo com, no máximo, 3 caracteres.",
     {},
     {}},
    {Check::String, Variant("Observação"), Variant(10), none, S, true, kUntouched, {}, {}},
    {Check::String, Variant("abcd"), Variant(0), none, S, true, kUntouched, {}, {}},
    {Check::String, Variant("abcd"), Variant(""), none, S, true, kUntouched, {}, {}},
    {Check::String, Variant(""), Variant(3), none, N, true, kUntouched, "", {}},
    {Check::String,
     Variant(" d'Ávila (x); "),
     Variant(20),
     none,
     S,
     true,
     kUntouched,
     " dÁvila x ",
     {}},
};

TEST(Validators, EveryRuleInOrderUnderBothSeparators) {
  for (const char* locale : {"pt_BR", "en_US"}) {
    LocaleScope scope(locale);
    for (std::size_t i = 0; i < kCases.size(); ++i) {
      SCOPED_TRACE(std::string(locale) + " case " + std::to_string(i));
      expect_case(kCases[i]);
    }
  }
}

TEST(Validators, TheMaximumIsPrintedInTheServersNumberFormat) {
  const struct {
    const char* locale;
    const char* message;
  } cases[] = {{"pt_BR", "Campo deve ser igual ou menor que 9999999,99"},
               {"en_US", "Campo deve ser igual ou menor que 9999999.99"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    LocaleScope scope(c.locale);
    expect_case({Check::Numero,
                 Variant("10000000"),
                 Variant(0),
                 Variant(9999999.99),
                 S,
                 false,
                 c.message,
                 {},
                 {}});
  }
}

TEST(Validators, AnUnexpectedFailureAnswersTheUnavailabilityText) {
  const struct {
    Check check;
    const char* name;
    const char* text;
  } cases[] = {
      {Check::Data, "gConsiste_Data",
       "Acesso a consistência de datas não disponível. Favor tentar mais tarde. "},
      {Check::Hora, "gConsiste_Hora",
       "Acesso a consistência de Hora não disponível. Favor tentar mais tarde. "},
      {Check::Inteiro, "gConsiste_Inteiro",
       "Acesso a consistência de campo inteiro não disponível. Favor tentar mais tarde. "},
      {Check::Numero, "gConsiste_Numero",
       "Acesso a consistência de campo numérico não disponível. Favor tentar mais tarde. "},
      {Check::String, "gConsiste_String",
       "Acesso a consistência de campos alfanuméricos não disponível. Favor tentar mais tarde. "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An array has no text form: the first rule fails.
    const Case failing{c.check, Variant::array(1), none, none, S, false, "", {}, {}};
    EXPECT_FALSE(run(failing).accepted);
    EXPECT_EQ(run(failing).message, Variant(c.text));
    EXPECT_EQ(
        run(failing, Variant(1)).message,
        Variant(std::string(c.text) + " - ZELCCA." + c.name + " (Type mismatch : 13)   No Nº 1"));
  }
}

}  // namespace
}  // namespace qrnmvl
