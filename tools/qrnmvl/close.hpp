// `qrnmvl close`: closes a service-type record from a shell, the way the
// front end does it — load the order, change what the carrier reported, save.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "closing_form.hpp"

namespace qrnmvl::tool {

struct CloseOptions {
  Session session;
  long record_id = 0;
  // "dd/mm/yyyy hh:mm" each; empty leaves what the order holds.
  std::string start, end, withdrawal, delivery;
  std::string plate, document_number, observation;
  // A JSON object of gGrava_Fechamento parameters, applied after the flags.
  std::string params_json;
  // NAME=VALUE, the value read as JSON when it is JSON and as a text otherwise; applied last.
  std::vector<std::string> sets;
  // Only the closing's validation (what gGrava_Fechamento checks before it
  // writes anything): the answer says whether the form would be accepted.
  bool validate_only = false;
  // A result of 10 (the load or the closing refused) is exit code 3, not 0.
  bool fail_on_refusal = false;
};

// Loads the record, applies the changes, saves (or only validates). Writes the
// JSON answer of the closing (or of the load, when the load is refused) to out,
// the connection's password masked, and returns the closing's result (10 when
// the load was refused). std::invalid_argument for a parameter name the
// closing does not have or a value that is not what it says.
int close_order(QrnMvl& component, const CloseOptions& options, std::ostream& out);

}  // namespace qrnmvl::tool
