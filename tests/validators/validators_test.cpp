#include "validators/validators.hpp"

#include <tuple>

#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;

enum class Check { Data, Hora, Inteiro, Numero, String };
using enum Check;

const char* const kUntouched = "(untouched)";
const Variant none("");

struct Case {
  Check check;
  Variant value, minimum, maximum;     // minimum: the maximum length for String
  std::string message;                 // kUntouched: the check accepts
  const char* cleaned = nullptr;       // the caller's value afterwards, when it changes
  const char* converted = kUntouched;  // written by Data and Hora only
  Variant required = "S";
};

struct Outcome {
  bool accepted;
  Variant value, message, converted;
};

Outcome run(const Case& c, const Variant& user_id = Variant(25)) {
  const Variant label("Campo");
  Outcome out{false, c.value, Variant(kUntouched), Variant(kUntouched)};
  auto& [accepted, value, message, converted] = out;
  accepted = [&] {
    switch (c.check) {
      case Data:
        return gConsiste_Data(label, value, c.minimum, c.maximum, user_id, message, converted,
                              c.required);
      case Hora:
        return gConsiste_Hora(label, value, c.minimum, c.maximum, user_id, message, converted,
                              c.required);
      case Inteiro:
        return gConsiste_Inteiro(label, value, c.minimum, c.maximum, user_id, message, c.required);
      case Numero:
        return gConsiste_Numero(label, value, c.minimum, c.maximum, user_id, message, c.required);
      case String:
        return gConsiste_String(label, value, c.minimum, user_id, message, c.required);
    }
    return false;
  }();
  return out;
}

void expect_case(const Case& c) {
  const Outcome out = run(c);
  EXPECT_EQ(out.accepted, c.message == kUntouched);
  EXPECT_EQ(out.message, Variant(c.message));
  EXPECT_EQ(out.converted, Variant(c.converted));
  EXPECT_EQ(out.value, c.cleaned ? Variant(c.cleaned) : c.value);
}

std::string hour(const std::string& example) {
  return "Preencha Campo com uma hora válida, com 5 dígitos, no formato hh:mm (Exemplo: " +
         example + ")";
}

const std::string kThousands =
    "O campo Campo não permite a digitação de números com uso de separador de milhar(.)";
const std::string kNotNumeric = "Preencha Campo com valor numérico";

// Rules that read the same under a decimal comma and a decimal point.
const std::vector<Case> kCases = {
    // The common opening; Null counts as empty.
    {Data, "", none, none, "Preencha Campo"},
    {Data, "", none, none, kUntouched, nullptr, kUntouched, "N"},
    {Data, Variant::null(), none, none, kUntouched, nullptr, kUntouched, "N"},
    {String, "   ", 10, none, "Preencha Campo", ""},
    // Dates.
    {Data, "1/10/2001", none, none,
     "Preencha Campo com uma data válida, com 10 dígitos, no formato dd/mm/aaaa (Exemplo: "
     "13/10/2001)"},
    {Data, "31/02/2001", none, none,
     "Preencha Campo com uma data válida, no formato dd/mm/aaaa (Exemplo: 13/10/2001)"},
    {Data, "10/13/2001", none, none, "O mês da data do campo Campo deve ser menor ou igual a 12"},
    {Data, "13/10/'2001", none, none, kUntouched, "13/10/2001", "2001/10/13"},
    {Data, "31/12/2001", "01/01/2002", none, "Campo deve ser igual ou maior que 01/01/2002",
     nullptr, "2001/12/31"},
    {Data, "01/01/2002", none, "31/12/2001", "Campo deve ser igual ou menor que 31/12/2001",
     nullptr, "2002/01/01"},
    {Data, "13/10/2001", "13/10/2001", "13/10/2001", kUntouched, nullptr, "2001/10/13"},
    // Hours: the example hour tells which rule refused.
    {Hora, "8:10", none, none, hour("08:10")},
    {Hora, "08.10", none, none, hour("08:15")},
    {Hora, "a8:10", none, none, hour("08:20")},
    {Hora, "08:1x", none, none, hour("08:25")},
    {Hora, "24:00", none, none, hour("08:30")},
    {Hora, "08:60", none, none, hour("08:35")},
    {Hora, "1 :10", none, none,
     "Preencha Campo com uma hora válida, no formato hh:mm (Exemplo: 08:40)"},
    {Hora, "0'8:10", none, none, kUntouched, "08:10", "08:10"},
    {Hora, "08:10", "09:00", none, "Campo deve ser igual ou maior que 09:00.", nullptr, "08:10"},
    {Hora, "18:10", none, "18:00", "Campo deve ser igual ou menor que 18:00.", nullptr, "18:10"},
    // Integers: both separators are refused before the numeric test.
    {Inteiro, "1.000", none, none, kThousands},
    {Inteiro, "10,5", none, none,
     "O campo Campo não permite a digitação de números com casas decimais(,)"},
    {Inteiro, "abc", none, none, kNotNumeric},
    {Inteiro, "9", 10, none, "Campo deve ser igual ou maior que 10"},
    {Inteiro, "11", none, 10, "Campo deve ser igual ou menor que 10"},
    {Inteiro, "1'0", 10, 10, kUntouched, "10"},
    {Inteiro, 7, 1, 10, kUntouched, "7"},
    // Numbers: the decimal comma is the form's own.
    {Numero, "1'0,5", 0, 9999999.99, kUntouched, "10,5"},
    {Numero, "1.000", none, none, kThousands},
    {Numero, "x1", none, none, kNotNumeric},
    {Numero, "-1", 0, none, "Campo deve ser igual ou maior que 0"},
    // Texts: lengths in characters; 0 or an empty maximum means any length.
    {String, "abcd", 3, none, "Preencha Campo com, no máximo, 3 caracteres."},
    {String, "Observação", 10, none, kUntouched},
    {String, "abcd", 0, none, kUntouched},
    {String, "abcd", none, none, kUntouched},
    {String, " d'Ávila (x); ", 20, none, kUntouched, " dÁvila x "},
};

// Every row reads the same under either decimal separator; only a maximum shown back to the
// user takes the server's own.
TEST(Validators, EveryRuleInOrderUnderBothSeparators) {
  for (const auto& [locale, maximum] :
       {std::pair{"pt_BR", "9999999,99"}, {"en_US", "9999999.99"}}) {
    LocaleScope scope(locale);
    for (std::size_t i = 0; i < kCases.size(); ++i) {
      SCOPED_TRACE(std::string(locale) + " case " + std::to_string(i));
      expect_case(kCases[i]);
    }
    SCOPED_TRACE(locale);
    expect_case({Numero, "10000000", 0, 9999999.99,
                 std::string("Campo deve ser igual ou menor que ") + maximum});
  }
}

TEST(Validators, AnUnexpectedFailureAnswersTheUnavailabilityText) {
  auto unavailable = [](const char* what) {
    return "Acesso a consistência de " + std::string(what) +
           " não disponível. Favor tentar mais tarde. ";
  };
  const std::tuple<Check, const char*, std::string> cases[] = {
      {Data, "gConsiste_Data", unavailable("datas")},
      {Hora, "gConsiste_Hora", unavailable("Hora")},
      {Inteiro, "gConsiste_Inteiro", unavailable("campo inteiro")},
      {Numero, "gConsiste_Numero", unavailable("campo numérico")},
      {String, "gConsiste_String", unavailable("campos alfanuméricos")},
  };
  for (const auto& [check, name, text] : cases) {
    SCOPED_TRACE(name);
    // An array has no text form: the first rule fails.
    const Case failing{check, Variant::array(1), none, none, ""};
    const Outcome out = run(failing);
    EXPECT_FALSE(out.accepted);
    EXPECT_EQ(out.message, Variant(text));
    EXPECT_EQ(run(failing, Variant(1)).message,
              Variant(text + " - ZELCCA." + name + " (Type mismatch : 13)   No Nº 1"));
  }
}

}  // namespace
}  // namespace qrnmvl
