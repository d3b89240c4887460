// /v1/openapi.json against what the service does: the operations it lists,
// their parameters in order, which of them come back as arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "service_fixture.hpp"

namespace qrnmvl::service_test {
namespace {

using Json = nlohmann::ordered_json;

class Description : public ServiceTest {
 protected:
  std::vector<std::string> options() const override { return {"--max-array", "321"}; }

  Json get(const std::string& path) const {
    const auto answer = exchange(request_text("GET", path, ""));
    if (!answer || answer->status != 200) return nullptr;
    EXPECT_TRUE(in_the_one_layout(answer->body));
    return Json::parse(answer->body);
  }
};

// The schema a "$ref" names within the description.
const Json& resolve(const Json& doc, const Json& schema) {
  if (!schema.contains("$ref")) return schema;
  const Json* at = &doc;
  std::string path = schema["$ref"].get<std::string>().substr(2);
  for (std::size_t slash; !path.empty(); path = slash == std::string::npos ? "" : path.substr(slash + 1)) {
    slash = path.find('/');
    at = &(*at)[path.substr(0, slash)];
  }
  return *at;
}

TEST_F(Description, DescribesEveryOperationTheServiceLists) {
  const Json doc = get("/v1/openapi.json");
  const Json listed = get("/v1/operations");
  ASSERT_TRUE(doc.is_object());
  ASSERT_TRUE(listed.is_array());
  EXPECT_EQ(doc["openapi"], "3.1.0");
  EXPECT_EQ(doc["components"]["securitySchemes"]["bearer"]["scheme"], "bearer");
  // It is the token holder's, as the list is.
  const auto anonymous = exchange(request_text("GET", "/v1/openapi.json", "", {}, false));
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->status, 401);

  std::set<std::string> described;
  for (const auto& [path, item] : doc["paths"].items())
    if (path.rfind("/v1/operations/", 0) == 0) described.insert(path.substr(15));
  std::set<std::string> names;
  for (const Json& operation : listed) names.insert(operation["name"].get<std::string>());
  EXPECT_EQ(described, names);

  for (const Json& operation : listed) {
    const std::string name = operation["name"];
    SCOPED_TRACE(name);
    const Json& post = doc["paths"]["/v1/operations/" + name]["post"];
    EXPECT_EQ(post["operationId"], name);
    // The answer: every parameter, in the order the list gives.
    const Json& answer =
        resolve(doc, post["responses"]["200"]["content"]["application/json"]["schema"]);
    const Json& parameters = answer["properties"]["parameters"];
    EXPECT_EQ(parameters["required"], operation["parameters"]);
    Json in_order = Json::array();
    for (const auto& [parameter, schema] : parameters["properties"].items())
      in_order.push_back(parameter);
    EXPECT_EQ(in_order, operation["parameters"]);
    // The call: every parameter but the server's connection, nothing else.
    const Json& call =
        resolve(doc, post["requestBody"]["content"]["application/json"]["schema"]);
    EXPECT_EQ(call["additionalProperties"], false);
    Json callable = Json::array();
    for (const auto& [parameter, schema] : call["properties"].items()) callable.push_back(parameter);
    Json expected = operation["parameters"];
    expected.erase(std::find(expected.begin(), expected.end(), "invntConecta_db"));
    EXPECT_EQ(callable, expected);
    // Every refusal the service gives has its status and error body.
    for (const char* status : {"400", "401", "404", "408", "413", "415", "431", "503"})
      EXPECT_EQ(resolve(doc, post["responses"][status])["content"]["application/json"]["schema"],
                Json({{"$ref", "#/components/schemas/Error"}}))
          << status;
  }
}

// Each array in an answer of the demo's road is described as an array, with
// the service's limit, and no other parameter is.
TEST_F(Description, SaysWhichParametersAreArrays) {
  const Json doc = get("/v1/openapi.json");
  ASSERT_TRUE(doc.is_object());
  const std::pair<const char*, const char*> calls[] = {
      {"gConsulta_Porto_Ponto", kPorts},
      {"gConsulta_Ordem_Servico_Tipo",
       R"({"invntUsuario_internet_id": 25, "invntOrdem_Servico_Tipo_ID": 1004})"},
      {"gMonta_Lista_Tab_Tipo_Incidente",
       R"({"invntUsuario_internet_id": 25, "invntOrdem_Servico_Tipo_Ident": 1004})"},
  };
  for (const auto& [operation, body] : calls) {
    SCOPED_TRACE(operation);
    const auto answer = exchange(request_text("POST", std::string("/v1/operations/") + operation, body));
    ASSERT_TRUE(answer);
    const Json parameters = Json::parse(answer->body)["parameters"];
    const Json& call = resolve(
        doc, doc["paths"][std::string("/v1/operations/") + operation]["post"]["requestBody"]
                ["content"]["application/json"]["schema"]);
    int arrays = 0;
    for (const auto& [name, value] : parameters.items()) {
      if (name == "invntConecta_db") continue;
      const Json& schema = call["properties"][name];
      const bool described_as_array = schema.value("type", "") == "array";
      if (value.is_array()) {
        ++arrays;
        EXPECT_TRUE(described_as_array) << name;
        EXPECT_EQ(schema["maxItems"], 321) << name;
      } else if (described_as_array) {
        // An array parameter the operation left without rows comes back Empty.
        EXPECT_EQ(value, Json({{"$empty", true}})) << name;
      }
    }
    EXPECT_GT(arrays, 0);
  }
}

}  // namespace
}  // namespace qrnmvl::service_test
