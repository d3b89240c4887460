// The helpers run on every field of every row: they must stay cheap.
#include "common/helpers.hpp"
#include "common/values.hpp"

#include <benchmark/benchmark.h>

namespace {

using qrnmvl::Variant;

void use_comma() { qrnmvl::set_regional_settings(qrnmvl::regional_settings_for("pt_BR")); }

void BM_gNormaliza_Valor_text(benchmark::State& state) {
  use_comma();
  const Variant value("2200.5");
  for (auto _ : state) benchmark::DoNotOptimize(qrnmvl::gNormaliza_Valor(value));
}
BENCHMARK(BM_gNormaliza_Valor_text);

void BM_gNormaliza_Valor_long(benchmark::State& state) {
  use_comma();
  const Variant value(std::int32_t{101});
  for (auto _ : state) benchmark::DoNotOptimize(qrnmvl::gNormaliza_Valor(value));
}
BENCHMARK(BM_gNormaliza_Valor_long);

void BM_gFormata_Valor(benchmark::State& state) {
  use_comma();
  const Variant value(2200.5);
  const Variant empty("");
  for (auto _ : state) benchmark::DoNotOptimize(qrnmvl::gFormata_Valor(value, empty));
}
BENCHMARK(BM_gFormata_Valor);

void BM_gMonta_Numero_SQL(benchmark::State& state) {
  use_comma();
  const Variant value(std::int32_t{25});
  for (auto _ : state) benchmark::DoNotOptimize(qrnmvl::gMonta_Numero_SQL(value));
}
BENCHMARK(BM_gMonta_Numero_SQL);

}  // namespace
