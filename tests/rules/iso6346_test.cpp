#include <gtest/gtest.h>

#include <qrnmvl/container_rules.hpp>

#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

struct NumberCase {
  const char* number;
  const char* refusal;  // nullptr: accepted
};

TEST(DefaultContainerRules, CheckTheNumberAgainstIso6346) {
  const NumberCase cases[] = {
      // Numbers of the demo register, and the textbook one.
      {"TGHU8731457", nullptr},
      {"MSCU5529040", nullptr},
      {"HLXU2309177", nullptr},
      {"SEGU4473905", nullptr},
      {"CSQU3054383", nullptr},
      // Sums whose remainder is 10: the check digit is written 0.
      {"TGHU8731550", nullptr},
      {"CMAU1000000", nullptr},
      {"TGHU8731551",
       "O dígito verificador do Nº Container TGHU8731551 não confere. "
       "Confira o número digitado. "},
      // The categories J and Z; then one digit typed wrong and two digits swapped.
      {"TGHJ8731450", nullptr},
      {"ZIMZ1000008", nullptr},
      {"TGHU8731458",
       "O dígito verificador do Nº Container TGHU8731458 não confere. "
       "Confira o número digitado. "},
      {"TGHU8713457",
       "O dígito verificador do Nº Container TGHU8713457 não confere. "
       "Confira o número digitado. "},
      {"ZIMZ1000005",
       "O dígito verificador do Nº Container ZIMZ1000005 não confere. "
       "Confira o número digitado. "},
      {"TGHU873145", "O Nº Container TGHU873145 deve ter 11 caracteres: 4 letras e 7 algarismos. "},
      {"TGHU87314570",
       "O Nº Container TGHU87314570 deve ter 11 caracteres: 4 letras e 7 algarismos. "},
      {"", "O Nº Container  deve ter 11 caracteres: 4 letras e 7 algarismos. "},
      {"tghu8731457",
       "O Nº Container tghu8731457 deve começar com as 3 letras maiúsculas do "
       "código do proprietário. "},
      {"T6HU8731457",
       "O Nº Container T6HU8731457 deve começar com as 3 letras maiúsculas do "
       "código do proprietário. "},
      {"ÇGHU8731457",
       "O Nº Container ÇGHU8731457 deve começar com as 3 letras maiúsculas do "
       "código do proprietário. "},
      {"TGHX8731457", "A 4ª letra do Nº Container TGHX8731457 deve ser U, J ou Z. "},
      {"TGH18731457", "A 4ª letra do Nº Container TGH18731457 deve ser U, J ou Z. "},
      {"TGHUB731457", "O Nº Container TGHUB731457 deve ter 7 algarismos depois das 4 letras. "},
      {"TGHU873145X", "O Nº Container TGHU873145X deve ter 7 algarismos depois das 4 letras. "},
  };
  auto rules = make_default_container_rules();
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.number);
    Variant user(25), kind("SQLSERVER"), connection("Provider=SQLite"), number(c.number);
    Variant message("before");
    const long answer = rules->check_number(user, kind, connection, number, message);
    EXPECT_EQ(answer == 0, c.refusal == nullptr);
    EXPECT_EQ(message, Variant(c.refusal ? c.refusal : "before"));
    EXPECT_EQ(number, Variant(c.number));
  }
}

TEST(DefaultContainerRules, AcceptEveryPropertyWithTheIndicatorN) {
  auto rules = make_default_container_rules();
  Variant user(25), kind("SQLSERVER"), connection("Provider=SQLite"), request(7001);
  Variant indicator("S"), message("before"), record(1001);
  EXPECT_EQ(rules->check_property(user, kind, connection, request, indicator, message, record), 0);
  EXPECT_EQ(indicator, Variant("N"));
  EXPECT_EQ(message, Variant("before"));
}

}  // namespace
}  // namespace qrnmvl
