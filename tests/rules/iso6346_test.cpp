#include <gtest/gtest.h>

#include <qrnmvl/container_rules.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>
#include <string>

#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

TEST(DefaultContainerRules, CheckTheNumberAgainstIso6346) {
  const std::string length = " deve ter 11 caracteres: 4 letras e 7 algarismos. ";
  const std::string owner = " deve começar com as 3 letras maiúsculas do código do proprietário. ";
  const std::string digits = " deve ter 7 algarismos depois das 4 letras. ";
  const std::string check = " não confere. Confira o número digitado. ";
  // Numbers of the demo register, the textbook one, the categories J and Z, and sums whose
  // remainder is 10, whose check digit is written 0.
  const char* const valid[] = {"TGHU8731457", "MSCU5529040", "SEGU4473905", "CSQU3054383",
                               "TGHJ8731450", "ZIMZ1000008", "TGHU8731550", "CMAU1000000"};
  // A remainder of 10 taken for a 1, a digit mistyped, two digits swapped; then malformed numbers.
  const std::pair<const char*, std::string> refused[] = {
      {"TGHU8731551", "O dígito verificador do Nº Container TGHU8731551" + check},
      {"TGHU8731458", "O dígito verificador do Nº Container TGHU8731458" + check},
      {"TGHU8713457", "O dígito verificador do Nº Container TGHU8713457" + check},
      {"TGHU873145", "O Nº Container TGHU873145" + length},
      {"TGHU87314570", "O Nº Container TGHU87314570" + length},
      {"", "O Nº Container " + length},
      {"tghu8731457", "O Nº Container tghu8731457" + owner},
      {"T6HU8731457", "O Nº Container T6HU8731457" + owner},
      {"ÇGHU8731457", "O Nº Container ÇGHU8731457" + owner},
      {"TGHX8731457", "A 4ª letra do Nº Container TGHX8731457 deve ser U, J ou Z. "},
      {"TGHUB731457", "O Nº Container TGHUB731457" + digits},
      {"TGHU873145X", "O Nº Container TGHU873145X" + digits}};
  auto rules = make_default_container_rules();
  const auto answer = [&](const char* text, const std::string& refusal) {
    SCOPED_TRACE(text);
    Variant user(25), kind("SQLSERVER"), connection("Provider=SQLite"), number(text);
    Variant message("before");
    EXPECT_EQ(rules->check_number(user, kind, connection, number, message) == 0, refusal.empty());
    EXPECT_EQ(message, Variant(refusal.empty() ? "before" : refusal));
    EXPECT_EQ(number, Variant(text));
  };
  for (const char* number : valid) answer(number, "");
  for (const auto& [number, refusal] : refused) answer(number, refusal);
}

TEST(DefaultContainerRules, AcceptEveryPropertyWithTheIndicatorN) {
  auto rules = make_default_container_rules();
  Variant user(25), kind("SQLSERVER"), connection("Provider=SQLite"), request(7001);
  Variant indicator("S"), message("before"), record(1001);
  EXPECT_EQ(rules->check_property(user, kind, connection, request, indicator, message, record), 0);
  EXPECT_EQ(indicator, Variant("N"));
  EXPECT_EQ(message, Variant("before"));
}

TEST(DefaultContainerRules, AHostGivesItsOwnFactoryToTheComponent) {
  const long before = QrnMvl::objects_alive();
  {
    QrnMvl with_rules(make_default_container_rules);
    QrnMvl with_defaults;
    EXPECT_EQ(QrnMvl::objects_alive(), before + 2);
    EXPECT_THROW(QrnMvl{ContainerRulesFactory{}}, std::invalid_argument);
    EXPECT_EQ(QrnMvl::objects_alive(), before + 2);
  }
  EXPECT_EQ(QrnMvl::objects_alive(), before);
}

}  // namespace
}  // namespace qrnmvl
