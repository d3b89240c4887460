#include "http_api.hpp"

#include <charconv>
#include <cstdio>
#include <qrnmvl/qrnmvl.hpp>

#include "common/json_value.hpp"
#include "common/text.hpp"

namespace qrnmvl::tool::http {
namespace {

using Json = nlohmann::ordered_json;

std::optional<std::string> longest_array(const nlohmann::json& value, const std::string& where,
                                         std::size_t max_array) {
  if (value.is_array()) {
    if (value.size() > max_array)
      return "parameter '" + where + "' holds " + std::to_string(value.size()) +
             " elements; at most " + std::to_string(max_array) + " are taken";
    for (std::size_t i = 0; i < value.size(); ++i)
      if (auto why = longest_array(value[i], where + "[" + std::to_string(i) + "]", max_array))
        return why;
  } else if (value.is_object()) {
    for (const auto& [key, item] : value.items())
      if (auto why = longest_array(item, where + "." + one_line(key), max_array)) return why;
  }
  return std::nullopt;
}

// A count as the component reads it: a number, or a text holding one.
std::optional<double> count_of(const nlohmann::json& value) {
  if (value.is_number()) return value.get<double>();
  if (!value.is_string()) return std::nullopt;
  const std::string_view text = ascii::trim_blanks(value.get_ref<const std::string&>());
  double number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

Json ref(const std::string& kind, const std::string& name) {
  return {{"$ref", "#/components/" + kind + "/" + name}};
}

Json json_content(const Json& schema) {
  return {{"application/json", {{"schema", schema}}}};
}

// The statuses every operation request may be answered with besides 200.
const std::pair<const char*, const char*> kRefusals[] = {
    {"400", "BadCall"},         {"401", "Unauthorized"},   {"404", "NotFound"},
    {"408", "RequestTimeout"},  {"413", "TooLarge"},       {"415", "Encoded"},
    {"431", "HeadTooLarge"},    {"500", "InternalError"},  {"501", "TransferEncoding"},
    {"503", "Unavailable"},
};

Json error_response(const std::string& description) {
  return {{"description", description}, {"content", json_content(ref("schemas", "Error"))}};
}

Json value_schemas() {
  Json schemas = Json::object();
  schemas["Value"] = {
      {"description",
       "A parameter value. JSON null is Null; integers come in as Long; other numbers are "
       "Double; strings, true/false and arrays are String, Boolean and Array; the objects "
       "below are Empty, Date, Currency and (in answers only) Object."},
      {"anyOf",
       Json::array({{{"type", "null"}},
                    {{"type", "boolean"}},
                    {{"type", "number"}},
                    {{"type", "string"}},
                    {{"type", "array"}, {"items", ref("schemas", "Value")}},
                    ref("schemas", "Empty"),
                    ref("schemas", "Date"),
                    ref("schemas", "Currency"),
                    ref("schemas", "Object")})}};
  schemas["Empty"] = {{"type", "object"},
                      {"required", Json::array({"$empty"})},
                      {"properties", {{"$empty", {{"const", true}}}}},
                      {"additionalProperties", false}};
  schemas["Date"] = {
      {"type", "object"},
      {"required", Json::array({"$date"})},
      {"properties",
       {{"$date",
         {{"type", "string"},
          {"pattern", "^[0-9]{4}-[0-9]{2}-[0-9]{2}( [0-9]{2}:[0-9]{2}:[0-9]{2})?$"}}}}},
      {"additionalProperties", false}};
  schemas["Currency"] = {{"type", "object"},
                         {"required", Json::array({"$currency"})},
                         {"properties", {{"$currency", {{"type", "string"}}}}},
                         {"additionalProperties", false}};
  schemas["Object"] = {{"type", "object"},
                       {"required", Json::array({"$object"})},
                       {"properties", {{"$object", {{"type", "string"}}}}},
                       {"additionalProperties", false}};
  schemas["Error"] = {{"type", "object"},
                      {"required", Json::array({"error"})},
                      {"properties", {{"error", {{"type", "string"}}}}},
                      {"additionalProperties", false}};
  return schemas;
}

Json call_schema(const OperationInfo& operation, std::size_t max_array) {
  Json properties = Json::object();
  for (const std::string& name : operation.parameters) {
    // The connection is the server's: a call that names it is refused.
    if (name == "invntConecta_db") continue;
    if (is_array_parameter(name))
      properties[name] = {{"type", "array"},
                          {"items", ref("schemas", "Value")},
                          {"maxItems", max_array}};
    else
      properties[name] = ref("schemas", "Value");
  }
  if (auto rows = row_count_parameter(operation.name))
    properties[*rows] = {
        {"allOf", Json::array({ref("schemas", "Value")})},
        {"description", "the rows of the arrays the operation visits; at most " +
                            std::to_string(max_array)}};
  return {{"type", "object"},
          {"description", "The call: parameter values by name; an absent parameter is Empty."},
          {"properties", properties},
          {"additionalProperties", false}};
}

Json answer_schema(const OperationInfo& operation) {
  Json properties = Json::object();
  for (const std::string& name : operation.parameters) {
    if (name == "invntConecta_db")
      properties[name] = ref("schemas", "Empty");
    else if (is_array_parameter(name))
      properties[name] = {
          {"anyOf", Json::array({{{"type", "array"}, {"items", ref("schemas", "Value")}},
                                 ref("schemas", "Value")})}};
    else
      properties[name] = ref("schemas", "Value");
  }
  return {{"type", "object"},
          {"required", Json::array({"result", "parameters"})},
          {"properties",
           {{"result",
             {{"type", "integer"},
              {"enum", {0, 10}},
              {"description", "0 the operation succeeded; 10 it failed, outvntMsg_Ret says why"}}},
            {"parameters",
             {{"type", "object"},
              {"description", "Every parameter, in call order, after the call."},
              {"required", operation.parameters},
              {"properties", properties},
              {"additionalProperties", false}}}}},
          {"additionalProperties", false}};
}

}  // namespace

bool is_array_parameter(std::string_view name) {
  return ascii::starts_with_name(name, "arr") || ascii::starts_with_name(name, "inarr") ||
         ascii::starts_with_name(name, "outarr");
}

std::optional<std::string> row_count_parameter(std::string_view operation) {
  if (operation == "gGrava_Fechamento") return "invntvntQtde_Sol_Cont";
  if (operation == "gGrava_Incidente") return "invntTam_Arr";
  return std::nullopt;
}

std::optional<std::string> oversized(const nlohmann::json& call, std::string_view operation,
                                     std::size_t max_array) {
  for (const auto& [name, value] : call.items())
    if (auto why = longest_array(value, one_line(name), max_array)) return why;
  if (auto rows = row_count_parameter(operation); rows && call.contains(*rows)) {
    const auto count = count_of(call[*rows]);
    if (count && *count > static_cast<double>(max_array))
      return "parameter '" + *rows + "' counts " + call[*rows].dump() + " rows; at most " +
             std::to_string(max_array) + " are taken";
  }
  return std::nullopt;
}

Json openapi_description(const ApiFacts& facts) {
  const auto seconds = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", value);
    return std::string(text);
  };
  Json doc = Json::object();
  doc["openapi"] = "3.1.0";
  doc["info"] = {
      {"title", "qrnmvl closing service"},
      {"version", version()},
      {"description",
       "The five operations of the closing component over HTTP. A call is a JSON object of "
       "parameter values keyed by name; the answer gives the result and every parameter after "
       "the call. Every answer, refusals included, is JSON laid out with two-space "
       "indentation."}};
  doc["security"] = Json::array({{{"bearer", Json::array()}}});

  Json paths = Json::object();
  Json schemas = value_schemas();
  for (const OperationInfo& operation : operations()) {
    const std::string name = operation.name;
    schemas[name + "_call"] = call_schema(operation, facts.max_array);
    schemas[name + "_answer"] = answer_schema(operation);
    Json responses = {{"200",
                       {{"description",
                         "The operation ran, whatever its result; result 10 and outvntMsg_Ret "
                         "say why it failed."},
                        {"content", json_content(ref("schemas", name + "_answer"))}}}};
    for (const auto& [status, response] : kRefusals) responses[status] = ref("responses", response);
    paths["/v1/operations/" + name] = {
        {"post",
         {{"operationId", name},
          {"summary", "Runs " + name + " with the parameters of the call"},
          {"requestBody",
           {{"required", true},
            {"content", json_content(ref("schemas", name + "_call"))}}},
          {"responses", responses}}}};
  }
  const Json listed = {
      {"type", "object"},
      {"required", Json::array({"name", "parameters"})},
      {"properties",
       {{"name", {{"type", "string"}}},
        {"parameters", {{"type", "array"}, {"items", {{"type", "string"}}}}}}}};
  paths["/v1/operations"] = {
      {"get",
       {{"operationId", "listOperations"},
        {"summary", "The operations and their parameter names, in call order"},
        {"responses",
         {{"200",
           {{"description", "The operations"},
            {"content", json_content({{"type", "array"}, {"items", listed}})}}},
          {"401", ref("responses", "Unauthorized")}}}}}};
  paths["/v1/orders/{id}/events"] = {
      {"get",
       {{"operationId", "orderEvents"},
        {"summary",
         "The tracking events of a service order as DCSA Track & Trace 2.2 equipment events"},
        {"parameters",
         Json::array({{{"name", "id"},
                       {"in", "path"},
                       {"required", true},
                       {"description", "The service order (ORDEM_SERVICO_ID)"},
                       {"schema", {{"type", "integer"}, {"minimum", 1}}}}})},
        {"responses",
         {{"200",
           {{"description", "The order's equipment events, in the order they happened"},
            {"content", json_content({{"type", "array"}, {"items", {{"type", "object"}}}})}}},
          {"400", ref("responses", "BadCall")},
          {"401", ref("responses", "Unauthorized")},
          {"404", ref("responses", "NotFound")},
          {"503", ref("responses", "Unavailable")}}}}}};
  paths["/v1/openapi.json"] = {
      {"get",
       {{"operationId", "describe"},
        {"summary", "This description"},
        {"responses",
         {{"200", {{"description", "The OpenAPI description"},
                   {"content", json_content({{"type", "object"}})}}},
          {"401", ref("responses", "Unauthorized")}}}}}};
  paths["/healthz"] = {
      {"get",
       {{"operationId", "health"},
        {"summary", "Whether the database answers"},
        {"security", Json::array()},
        {"responses",
         {{"200",
           {{"description", "The database answers"},
            {"content",
             json_content({{"type", "object"},
                           {"required", Json::array({"status"})},
                           {"properties", {{"status", {{"const", "ok"}}}}}})}}},
          {"503", ref("responses", "Unavailable")}}}}}};
  paths["/metrics"] = {
      {"get",
       {{"operationId", "metrics"},
        {"summary", "Request counts, latency histograms and connection counts"},
        {"security", Json::array()},
        {"responses",
         {{"200",
           {{"description", "Prometheus text format"},
            {"content", {{"text/plain", {{"schema", {{"type", "string"}}}}}}}}}}}}}};
  doc["paths"] = paths;

  const std::string body = std::to_string(facts.max_body);
  Json responses = Json::object();
  responses["BadCall"] = error_response(
      "The call is refused before the operation runs: the body is empty, not JSON, not an "
      "object, nested deeper than 64 levels, holds a number beyond a double or a text with a "
      "NUL, names a parameter the operation does not have or a value the contract does not "
      "know, names invntConecta_db, holds an array of more than " +
      std::to_string(facts.max_array) + " elements or a row count above it.");
  responses["Unauthorized"] = error_response("No bearer token, or not the service's.");
  responses["Unauthorized"]["headers"] = {
      {"WWW-Authenticate", {{"schema", {{"type", "string"}, {"const", "Bearer"}}}}}};
  responses["NotFound"] = error_response("No such operation or endpoint.");
  responses["RequestTimeout"] =
      error_response("The request did not arrive whole within " +
                     seconds(facts.receive_timeout) + " of its first line.");
  responses["TooLarge"] =
      error_response("The body is larger than " + body + " bytes (counted as it arrives).");
  responses["Encoded"] =
      error_response("The body has a Content-Encoding other than identity; it is not read.");
  responses["HeadTooLarge"] =
      error_response("The request line and header fields are too large or too many.");
  responses["InternalError"] = error_response("An internal error.");
  responses["TransferEncoding"] =
      error_response("A Transfer-Encoding other than chunked; the body is not read.");
  responses["Unavailable"] = error_response(
      "The operation did not answer within " + seconds(facts.request_timeout) +
      ", the service is stopping, or (for /healthz) the database does not answer.");

  doc["components"] = {
      {"securitySchemes",
       {{"bearer",
         {{"type", "http"},
          {"scheme", "bearer"},
          {"description", "The token of the service's --token-file, compared in constant time."}}}}},
      {"schemas", schemas},
      {"responses", responses}};
  return doc;
}

}  // namespace qrnmvl::tool::http
