#include "common/json_value.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qrnmvl {
namespace {

class Connection : public VariantObject {
 public:
  std::string kind() const override { return "connection"; }
  std::string default_text() const override { return "Provider=SQLite;Data Source=x.db"; }
};

Variant array_of(std::initializer_list<Variant> items) {
  Variant v = Variant::array(items.size());
  std::size_t i = 0;
  for (const Variant& item : items) v.at(i++) = item;
  return v;
}

TEST(JsonValue, RoundTrips) {
  const struct {
    Variant value;
    const char* json;
  } cases[] = {
      {Variant::null(), "null"},
      {Variant(), R"({"$empty":true})"},
      {Variant(71), "71"},
      {Variant(-2147483647 - 1), "-2147483648"},
      {Variant(0.5), "0.5"},
      {Variant(2.0), "2.0"},
      {Variant(1e20), "1e+20"},
      {Variant("Observação"), R"("Observação")"},
      {Variant(true), "true"},
      {Variant(Date::from_parts(2010, 9, 16, 17, 5, 0)), R"({"$date":"2010-09-16 17:05:00"})"},
      {Variant(Date::from_parts(1899, 12, 29, 6)), R"({"$date":"1899-12-29 06:00:00"})"},
      {Variant(Currency{12345000}), R"({"$currency":"1234.5"})"},
      {Variant(Currency{INT64_MAX}), R"({"$currency":"922337203685477.5807"})"},
      {Variant::array(0), "[]"},
      {array_of({Variant(1), Variant("a"), Variant(), array_of({Variant::null()})}),
       R"([1,"a",{"$empty":true},[null]])"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(to_json(c.value).dump(), c.json);
    EXPECT_EQ(from_json(nlohmann::json::parse(c.json)), c.value);
  }
}

TEST(JsonValue, WhatComesIn) {
  const struct {
    const char* json;
    Variant value;
  } cases[] = {
      {"3000000000", Variant(3000000000.0)},
      {"18446744073709551615", Variant(18446744073709551615.0)},
      {"1.0", Variant(1.0)},
      {R"({"$date":"2010-09-16"})", Variant(Date::from_parts(2010, 9, 16))},
      {R"({"$currency":"0.00005"})", Variant(Currency{0})},
      {R"({"$currency":"-12"})", Variant(Currency{-120000})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(from_json(nlohmann::json::parse(c.json)), c.value);
  }
  // A Double on its way in keeps its type even when it is whole.
  EXPECT_EQ(from_json(nlohmann::json::parse("2.0")).type(), VarType::Double);
  EXPECT_EQ(from_json(nlohmann::json::parse("2")).type(), VarType::Long);
}

TEST(JsonValue, IntegersAndObjectsGoingOut) {
  EXPECT_EQ(to_json(Variant(std::int16_t{-5})).dump(), "-5");
  EXPECT_EQ(to_json(Variant::object(std::make_shared<Connection>())).dump(),
            R"({"$object":"connection"})");
  EXPECT_EQ(to_json(Variant::object(nullptr)).dump(), R"({"$object":"Nothing"})");
}

TEST(JsonValue, RefusesWhatTheContractDoesNotKnow) {
  const char* cases[] = {
      R"({"$foo":1})",
      R"({"a":1})",
      R"({"$empty":true,"$date":"2010-09-16 00:00:00"})",
      R"({"$empty":false})",
      R"({"$object":"connection"})",
      R"({"$date":"2010-02-30 00:00:00"})",
      R"({"$date":"2010-09-16 24:00:00"})",
      R"({"$date":"2010-09-16T17:05:00"})",
      R"({"$currency":"abc"})",
      R"({"$currency":"1,5"})",
      R"({"$currency":1.5})",
  };
  for (const char* json : cases) {
    SCOPED_TRACE(json);
    try {
      from_json(nlohmann::json::parse(json));
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), err::type_mismatch);
      EXPECT_EQ(e.description().rfind("Type mismatch: ", 0), 0u) << e.description();
    }
  }
}

}  // namespace
}  // namespace qrnmvl
