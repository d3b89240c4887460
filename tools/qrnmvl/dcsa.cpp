#include "dcsa.hpp"

#include <cstdio>
#include <regex>
#include <set>
#include <stdexcept>

#include "common/values.hpp"
#include "data/connection.hpp"

namespace qrnmvl::tool {
namespace {

// The reference database's events, as a person following a container sees
// them: empty containers leave and return to the yard (GTOT/GTIN, EMPTY),
// the truck drops the container at the shipper or the consignee and picks it
// up again (DROP/PICK), full containers enter and leave the terminals
// (GTIN/GTOT, LADEN), and the cargo taken out at the consignee or a
// distribution centre is a stripping (STRP, EMPTY after it). The pickup of
// fractional cargo moves no container.
const char* const kDefaultMapping = R"json({
  "eventIDNamespace": "8d3a6f0e-51c2-4e9b-a7d4-2c6b0f1e9a35",
  "orderReferenceType": "FF",
  "events": {
    "1":  {"event": "Retirada do vazio no CY", "equipmentEventTypeCode": "GTOT", "emptyIndicatorCode": "EMPTY"},
    "2":  {"event": "Chegada no embarcador", "equipmentEventTypeCode": "DROP", "emptyIndicatorCode": "EMPTY"},
    "3":  {"event": "Saída do embarcador", "equipmentEventTypeCode": "PICK", "emptyIndicatorCode": "LADEN"},
    "4":  {"event": "Entrega no ICT (coleta)", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "LADEN"},
    "5":  {"event": "Entrega no porto", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "LADEN"},
    "6":  {"event": "Saída do porto", "equipmentEventTypeCode": "GTOT", "emptyIndicatorCode": "LADEN"},
    "7":  {"event": "Chegada no ICT", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "LADEN"},
    "8":  {"event": "Chegada no recebedor", "equipmentEventTypeCode": "DROP", "emptyIndicatorCode": "LADEN"},
    "9":  {"event": "Entrega realizada", "equipmentEventTypeCode": "STRP", "emptyIndicatorCode": "EMPTY"},
    "10": {"event": "Devolução do vazio no CY após o CD", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "EMPTY"},
    "11": null,
    "12": {"event": "Chegada no CD para entrega", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "LADEN"},
    "13": {"event": "Saída do CD com a carga desconsolidada", "equipmentEventTypeCode": "STRP", "emptyIndicatorCode": "EMPTY"},
    "14": {"event": "Chegada no CD para entrega direta", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "LADEN"},
    "15": {"event": "Saída do CD em entrega direta", "equipmentEventTypeCode": "GTOT", "emptyIndicatorCode": "LADEN"},
    "16": {"event": "Devolução do vazio no CY", "equipmentEventTypeCode": "GTIN", "emptyIndicatorCode": "EMPTY"},
    "17": {"event": "Saída do ICT", "equipmentEventTypeCode": "GTOT", "emptyIndicatorCode": "LADEN"}
  }
}
)json";

const std::set<std::string> kEquipmentEventTypeCodes = {
    "LOAD", "DISC", "GTIN", "GTOT", "STUF", "STRP", "PICK", "DROP", "INSP", "RSEA", "RMVD"};
const std::set<std::string> kReferenceTypes = {"FF", "SI", "PO", "CR", "AAO", "EQ"};

std::string member_text(const nlohmann::json& object, const char* name, const std::string& where) {
  const auto found = object.find(name);
  if (found == object.end() || !found->is_string())
    throw std::invalid_argument(where + ": \"" + name + "\" must be a text");
  return found->get<std::string>();
}

// A UUID (RFC 9562, version 8) that the namespace and the event's id make
// alone: the namespace's first 60 bits, then the id. The same event always
// answers the same eventID, so a consumer that reads an export twice sees
// one event.
std::string event_uuid(const std::string& name_space, long tracking_id) {
  unsigned char bytes[16];
  std::size_t at = 0;
  for (std::size_t i = 0; i < name_space.size() && at < 16; ++i) {
    if (name_space[i] == '-') continue;
    bytes[at++] = static_cast<unsigned char>(std::stoi(name_space.substr(i, 2), nullptr, 16));
    ++i;
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x80);
  const auto id = static_cast<unsigned long long>(tracking_id);
  for (int i = 0; i < 8; ++i) bytes[15 - i] = static_cast<unsigned char>(id >> (8 * i));
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  std::string text;
  char hex[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    text += hex;
  }
  return text;
}

std::string text_of(const Variant& value) {
  return value.is_null() || value.is_empty() ? std::string() : trim(to_text(value));
}

}  // namespace

const std::string& default_dcsa_mapping_json() {
  static const std::string text = kDefaultMapping;
  return text;
}

const DcsaMapping& default_dcsa_mapping() {
  static const DcsaMapping mapping = read_dcsa_mapping(kDefaultMapping);
  return mapping;
}

DcsaMapping read_dcsa_mapping(const std::string& json_text) {
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(json_text);
  } catch (const nlohmann::json::exception& e) {
    throw std::invalid_argument(std::string("the DCSA mapping is not JSON: ") + e.what());
  }
  if (!document.is_object()) throw std::invalid_argument("the DCSA mapping must be an object");
  for (const auto& [name, value] : document.items())
    if (name != "eventIDNamespace" && name != "orderReferenceType" && name != "events")
      throw std::invalid_argument("the DCSA mapping has no member \"" + name + "\"");

  DcsaMapping mapping;
  mapping.event_id_namespace = member_text(document, "eventIDNamespace", "the DCSA mapping");
  static const std::regex uuid("^[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}$");
  if (!std::regex_match(mapping.event_id_namespace, uuid))
    throw std::invalid_argument("the DCSA mapping: eventIDNamespace must be a UUID");
  if (document.contains("orderReferenceType")) {
    mapping.order_reference_type = member_text(document, "orderReferenceType", "the DCSA mapping");
    if (!kReferenceTypes.count(mapping.order_reference_type))
      throw std::invalid_argument(
          "the DCSA mapping: orderReferenceType must be FF, SI, PO, CR, AAO or EQ");
  }
  const auto events = document.find("events");
  if (events == document.end() || !events->is_object())
    throw std::invalid_argument("the DCSA mapping: \"events\" must be an object");
  for (const auto& [key, entry] : events->items()) {
    const std::string where = "the DCSA mapping, event " + key;
    static const std::regex number("^[1-9][0-9]{0,9}$");
    if (!std::regex_match(key, number))
      throw std::invalid_argument(where + ": the key must be a TAB_EVENTO_TRACKING_ID");
    if (entry.is_null()) continue;
    if (!entry.is_object()) throw std::invalid_argument(where + ": must be an object or null");
    for (const auto& [name, value] : entry.items())
      if (name != "event" && name != "equipmentEventTypeCode" && name != "emptyIndicatorCode")
        throw std::invalid_argument(where + " has no member \"" + name + "\"");
    DcsaMapping::Equipment equipment{member_text(entry, "equipmentEventTypeCode", where),
                                     member_text(entry, "emptyIndicatorCode", where)};
    if (!kEquipmentEventTypeCodes.count(equipment.event_type_code))
      throw std::invalid_argument(where + ": \"" + equipment.event_type_code +
                                  "\" is not a DCSA equipmentEventTypeCode");
    if (equipment.empty_indicator != "EMPTY" && equipment.empty_indicator != "LADEN")
      throw std::invalid_argument(where + ": emptyIndicatorCode must be EMPTY or LADEN");
    mapping.events[std::stol(key)] = equipment;
  }
  return mapping;
}

DcsaExport dcsa_events(const std::string& connection_text, long order_id,
                       const DcsaMapping& mapping, const TimeZone& zone) {
  require_order(connection_text, order_id);
  data::RowSet rs = data::open_rowset(
      "SELECT t.TRACKING_ID, t.TAB_EVENTO_TRACKING_ID, t.DATA_EVENTO, t.DATA_INCLUSAO, "
      "       c.NUM_CONTAINER, k.CODIGO_ISO, d.NUM_DOCTO, f.NOME AS TERMINAL_NOME, "
      "       p.SIGLA AS PORTO_SIGLA, o.NUM_OS "
      "  FROM TRACKING t "
      "  JOIN ORDEM_SERVICO o ON o.ORDEM_SERVICO_ID = t.ORDEM_SERVICO_ID "
      "  LEFT JOIN SOLICIT_EMBARQUE_CONTAINER s "
      "         ON s.SOLICIT_EMBARQUE_CONTAINER_ID = t.SOLICIT_EMBARQUE_CONTAINER_ID "
      "  LEFT JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID "
      "  LEFT JOIN TAB_TIPO_CONTAINER k "
      "         ON k.TAB_TIPO_CONTAINER_ID = COALESCE(s.TAB_TIPO_CONTAINER_ID, "
      "                                               c.TAB_TIPO_CONTAINER_ID) "
      "  LEFT JOIN DOCTO_TRANSPORTE d ON d.DOCTO_TRANSPORTE_ID = t.DOCTO_TRANSPORTE_ID "
      "  LEFT JOIN FORNECEDOR f ON f.FORNECEDOR_ID = t.TERMINAL_ID "
      "  LEFT JOIN TERMINAL tm ON tm.FORNECEDOR_ID = t.TERMINAL_ID "
      "  LEFT JOIN PORTO p ON p.PORTO_ID = tm.PORTO_ID "
      " WHERE t.ORDEM_SERVICO_ID = " +
          std::to_string(order_id) + " ORDER BY t.DATA_EVENTO, t.TRACKING_ID",
      Variant(connection_text));

  DcsaExport exported;
  static const std::regex un_location("^[A-Z]{2}[A-Z2-9]{3}$");
  for (; !rs.eof(); rs.move_next()) {
    const std::string container = text_of(rs.field("NUM_CONTAINER"));
    const auto mapped = mapping.events.find(to_long(rs.field("TAB_EVENTO_TRACKING_ID")));
    if (container.empty() || mapped == mapping.events.end()) {
      ++exported.left_out;
      continue;
    }
    const auto moment = [&](const char* column) {
      const std::string stored = text_of(rs.field(column));
      const auto iso = zone.iso(stored);
      if (!iso) throw std::runtime_error("tracking event with a date that is not one: " + stored);
      return *iso;
    };
    nlohmann::ordered_json event;
    event["eventID"] = event_uuid(mapping.event_id_namespace, to_long(rs.field("TRACKING_ID")));
    event["eventCreatedDateTime"] = moment("DATA_INCLUSAO");
    event["eventType"] = "EQUIPMENT";
    event["eventClassifierCode"] = "ACT";
    event["eventDateTime"] = moment("DATA_EVENTO");
    event["equipmentEventTypeCode"] = mapped->second.event_type_code;
    event["equipmentReference"] = container;
    if (const std::string iso_code = text_of(rs.field("CODIGO_ISO")); !iso_code.empty())
      event["ISOEquipmentCode"] = iso_code;
    event["emptyIndicatorCode"] = mapped->second.empty_indicator;
    if (const std::string terminal = text_of(rs.field("TERMINAL_NOME")); !terminal.empty()) {
      auto& location = event["eventLocation"] = {{"locationName", terminal}};
      const std::string port = text_of(rs.field("PORTO_SIGLA"));
      if (std::regex_match(port, un_location)) location["UNLocationCode"] = port;
    }
    event["references"] =
        nlohmann::ordered_json::array({{{"referenceType", mapping.order_reference_type},
                                        {"referenceValue", text_of(rs.field("NUM_OS"))}}});
    if (const std::string document = text_of(rs.field("NUM_DOCTO")); !document.empty())
      event["documentReferences"] = nlohmann::ordered_json::array(
          {{{"documentReferenceType", "TRD"}, {"documentReferenceValue", document}}});
    exported.events.push_back(std::move(event));
  }
  return exported;
}

std::string dcsa_events_json(const std::string& connection_text, long order_id) {
  return dcsa_events(connection_text, order_id)
      .events.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace qrnmvl::tool
