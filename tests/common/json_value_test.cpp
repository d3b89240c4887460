#include "common/json_value.hpp"

#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using nlohmann::json;

TEST(JsonValue, BothWaysAndOneWay) {
  const std::pair<Variant, const char*> both_ways[] = {
      {-2147483647 - 1, "-2147483648"},
      {2.0, "2.0"},
      {1e20, "1e+20"},
      {"Observação", R"("Observação")"},
      {true, "true"},
      {Date::from_parts(2010, 9, 16, 17, 5, 0), R"({"$date":"2010-09-16 17:05:00"})"},
      {Date::from_parts(1899, 12, 29, 6), R"({"$date":"1899-12-29 06:00:00"})"},
      {Currency{12345000}, R"({"$currency":"1234.5"})"},
      {Currency{INT64_MAX}, R"({"$currency":"922337203685477.5807"})"},
      {Variant::Array{1, "a", Variant(), Variant::Array{Variant::null()}},
       R"([1,"a",{"$empty":true},[null]])"}};
  for (const auto& [value, text] : both_ways) {
    SCOPED_TRACE(text);
    EXPECT_EQ(to_json(value).dump(), text);
    EXPECT_EQ(from_json(json::parse(text)), value);
  }
  const std::pair<const char*, Variant> coming_in[] = {
      {"3000000000", 3000000000.0},
      {"18446744073709551615", 18446744073709551615.0},
      {"1.0", 1.0},
      {R"({"$date":"2010-09-16"})", Date::from_parts(2010, 9, 16)},
      {R"({"$currency":"0.00005"})", Currency{0}},
      {R"({"$currency":"-12"})", Currency{-120000}}};
  for (const auto& [text, value] : coming_in)
    EXPECT_EQ(from_json(json::parse(text)), value) << text;
  EXPECT_EQ(to_json(Variant(std::int16_t{-5})).dump(), "-5");
  EXPECT_EQ(to_json(connection_object()).dump(), R"({"$object":"connection"})");
  EXPECT_EQ(to_json(Variant::object(nullptr)).dump(), R"({"$object":"Nothing"})");
}

TEST(JsonValue, RefusesWhatTheContractDoesNotKnow) {
  const char* cases[] = {
      R"({"$foo":1})",       R"({"$object":"connection"})", R"({"$empty":true,"$currency":"1"})",
      R"({"a":1})",          R"({"$currency":"1,5"})",      R"({"$date":"2010-02-30 00:00:00"})",
      R"({"$empty":false})", R"({"$currency":1.5})",        R"({"$date":"2010-09-16T17:05:00"})"};
  for (const char* text : cases) {
    const Error e = error_of([&] { from_json(json::parse(text)); });
    EXPECT_EQ(e.number(), err::type_mismatch) << text;
    EXPECT_EQ(e.description().rfind("Type mismatch: ", 0), 0u) << e.description();
  }
}

}  // namespace
}  // namespace qrnmvl
