// The default container rules: every container's properties are accepted, and
// its number must be a well-formed ISO 6346 number, so that a mistyped number
// is caught at the closing and never registered as a new container.
#include <array>
#include <qrnmvl/container_rules.hpp>
#include <string>

#include "common/text.hpp"
#include "common/values.hpp"

namespace qrnmvl {

ContainerRules::~ContainerRules() = default;

namespace {

constexpr bool is_capital(char c) noexcept { return c >= 'A' && c <= 'Z'; }

// The value of each capital letter in the check-digit sum: A is 10 and the
// count goes on skipping every multiple of 11 (K 21, L 23, U 32, V 34).
constexpr std::array<int, 26> kLetterValues = [] {
  std::array<int, 26> values{};
  int value = 10;
  for (int& letter : values) {
    if (value % 11 == 0) ++value;
    letter = value++;
  }
  return values;
}();

// The check digit of the ten characters before it: each character's value
// weighted by 2 to the power of its position, summed, modulo 11; a remainder of
// 10 is written as 0.
int check_digit(const std::string& number) {
  int sum = 0;
  for (std::size_t i = 0; i < 10; ++i) {
    const char c = number[i];
    const int value = is_capital(c) ? kLetterValues[static_cast<std::size_t>(c - 'A')] : c - '0';
    sum += value << i;
  }
  return sum % 11 % 10;
}

class Iso6346Rules final : public ContainerRules {
 public:
  long check_property(Variant&, Variant&, Variant&, Variant&, Variant& indicator, Variant&,
                      Variant&) override {
    indicator = Variant("N");
    return 0;
  }

  long check_number(Variant&, Variant&, Variant&, Variant& container_number,
                    Variant& message) override {
    const std::string number = to_text(container_number);
    const std::string refusal = refusal_of(number);
    if (refusal.empty()) return 0;
    message = Variant(refusal);
    return 1;
  }

 private:
  // Why the number is refused; empty when it is accepted.
  static std::string refusal_of(const std::string& number) {
    if (text_length(number) != 11)
      return "O Nº Container " + number + " deve ter 11 caracteres: 4 letras e 7 algarismos. ";
    // Positions count characters, so a letter outside ASCII ("Ç") is refused as
    // what its place asks for, not as a wrong length.
    const auto at = [&number](std::size_t position) {
      const std::string c = mid(number, position + 1, 1);
      return c.size() == 1 ? c[0] : '\0';
    };
    for (std::size_t i = 0; i < 3; ++i)
      if (!is_capital(at(i)))
        return "O Nº Container " + number +
               " deve começar com as 3 letras maiúsculas do código do proprietário. ";
    if (at(3) != 'U' && at(3) != 'J' && at(3) != 'Z')
      return "A 4ª letra do Nº Container " + number + " deve ser U, J ou Z. ";
    for (std::size_t i = 4; i < 11; ++i)
      if (!ascii::is_digit(at(i)))
        return "O Nº Container " + number + " deve ter 7 algarismos depois das 4 letras. ";
    if (check_digit(number) != number[10] - '0')
      return "O dígito verificador do Nº Container " + number +
             " não confere. Confira o número digitado. ";
    return std::string();
  }
};

}  // namespace

std::unique_ptr<ContainerRules> make_default_container_rules() {
  return std::make_unique<Iso6346Rules>();
}

}  // namespace qrnmvl
