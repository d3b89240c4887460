// The value and SQL-literal helpers every routine uses.
#pragma once

#include <optional>
#include <qrnmvl/variant.hpp>
#include <string>

namespace qrnmvl {

Variant gNormaliza_Valor(const Variant& value) noexcept;
Variant gFormata_Valor(const Variant& value, const Variant& default_value) noexcept;
Variant gMonta_Data_SQL(const Variant& value);
Variant gTrata_Nulo(const Variant& value) noexcept;
Variant gMonta_Numero_SQL(const Variant& value);
Variant gMonta_Texto_SQL(const Variant& value);
Variant gRetira_Caracteres_Especiais(const Variant& text);
Variant gValor_Padrao(const Variant& value,
                      const std::optional<Variant>& default_value = std::nullopt);

// The local decimal separator: the one the text form of a number uses (one half
// reads "0,5" or "0.5"), taken from the regional settings at each call.
char local_decimal_separator();

}  // namespace qrnmvl
