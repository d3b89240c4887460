// The value conversions and comparisons every rule is written in, on any value
// a caller or a database could hand them, under both regional settings.
#include "common/values.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "common/helpers.hpp"

namespace {

using qrnmvl::Variant;

Variant value_from(FuzzedDataProvider& in, int depth = 0) {
  switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
      return Variant();
    case 1:
      return Variant::null();
    case 2:
      return Variant(in.ConsumeIntegral<std::int16_t>());
    case 3:
      return Variant(in.ConsumeIntegral<std::int32_t>());
    case 4:
      return Variant(in.ConsumeFloatingPoint<double>());
    case 5:
      return Variant(qrnmvl::Currency{in.ConsumeIntegral<std::int64_t>()});
    case 6:
      return Variant(qrnmvl::Date{in.ConsumeFloatingPoint<double>()});
    case 7:
      return Variant(in.ConsumeBool());
    case 8: {
      if (depth >= 2) return Variant();
      Variant array = Variant::array(in.ConsumeIntegralInRange<std::size_t>(0, 3));
      for (auto& element : array.elements()) element = value_from(in, depth + 1);
      return array;
    }
    default:
      return Variant(in.ConsumeRandomLengthString(64));
  }
}

// Errors are answers; anything else escaping is a fault.
template <class Action>
void attempt(Action&& action) {
  try {
    action();
  } catch (const qrnmvl::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Variant value = value_from(in);
  const Variant other = value_from(in);
  const double number = in.ConsumeFloatingPoint<double>();
  const std::string text = in.ConsumeRandomLengthString(32);
  for (const char* locale : {"pt_BR", "en_US"}) {
    qrnmvl::set_regional_settings(qrnmvl::regional_settings_for(locale));
    attempt([&] { qrnmvl::val(qrnmvl::to_text(value)); });
    attempt([&] { qrnmvl::val(text); });
    attempt([&] { qrnmvl::is_numeric(value); });
    attempt([&] { qrnmvl::is_date(value); });
    attempt([&] { qrnmvl::to_date(value); });
    attempt([&] { qrnmvl::format_date(value, "yyyy/mm/dd hh:mm"); });
    attempt([&] { qrnmvl::to_long(value); });
    attempt([&] { qrnmvl::to_currency(value); });
    attempt([&] { qrnmvl::compare(value, number); });
    attempt([&] { qrnmvl::compare(value, std::string_view(text)); });
    attempt([&] { qrnmvl::compare_values(value, other); });
    attempt([&] { qrnmvl::gNormaliza_Valor(value); });
    attempt([&] { qrnmvl::gMonta_Numero_SQL(value); });
    attempt([&] { qrnmvl::gMonta_Texto_SQL(value); });
    attempt([&] { qrnmvl::gMonta_Data_SQL(value); });
  }
  return 0;
}
