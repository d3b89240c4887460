// The tracking events of an order as DCSA Track & Trace 2.2 equipment events,
// for shippers whose systems read that standard instead of this system's own
// event codes (docs/dcsa.md). Which event of TAB_EVENTO_TRACKING is which
// DCSA equipment event is configuration: a small JSON mapping, with a built-in
// default for the reference database's events.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "reports.hpp"

namespace qrnmvl::tool {

struct DcsaMapping {
  struct Equipment {
    std::string event_type_code;  // LOAD, DISC, GTIN, GTOT, STUF, STRP, PICK, DROP, ...
    std::string empty_indicator;  // EMPTY or LADEN
  };
  // By TAB_EVENTO_TRACKING_ID; an event that is not here (or mapped to null) is not exported.
  std::map<long, Equipment> events;
  // The DCSA reference type the order number goes out as (FF: the forwarder's reference).
  std::string order_reference_type = "FF";
  // The first half of every eventID: one per database, so that the events of
  // two databases never share an id.
  std::string event_id_namespace;
};

// The mapping for the reference database's events (TAB_EVENTO_TRACKING of db/demo.sql).
const DcsaMapping& default_dcsa_mapping();
// The default mapping as the JSON file that states it.
const std::string& default_dcsa_mapping_json();
// A mapping from its JSON text; std::invalid_argument saying what is wrong.
DcsaMapping read_dcsa_mapping(const std::string& json_text);

struct DcsaExport {
  nlohmann::ordered_json events = nlohmann::ordered_json::array();
  // Events of the order with no equipment event: none in the mapping, or no
  // container (fractional cargo travels without one).
  std::size_t left_out = 0;
};

// The order's events as DCSA equipment events, in the order they happened.
// NotFound for an unknown order; Error when the database cannot be read.
DcsaExport dcsa_events(const std::string& connection_text, long order_id,
                       const DcsaMapping& mapping = default_dcsa_mapping(),
                       const TimeZone& zone = TimeZone::host());

// The same as a JSON array text, with the default mapping and the host's zone:
// the body of GET /v1/orders/{id}/events. NotFound for an unknown order.
std::string dcsa_events_json(const std::string& connection_text, long order_id);

}  // namespace qrnmvl::tool
