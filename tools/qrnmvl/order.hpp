// `qrnmvl order`: everything about one service order that an operator needs
// to see what its closing did, without the schema at hand — its header and
// status in words, the closing fields of its service-type records, its
// container lines and containers, its tracking timeline, the jobs queued for
// its events and the message-log rows that name it.
#pragma once

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "reports.hpp"

namespace qrnmvl::tool {

struct OrderOptions {
  std::string db, connection;
  long record_id = 0;  // ORDEM_SERVICO_TIPO_ID, as the front end names what it closes
  long order_id = 0;   // or ORDEM_SERVICO_ID with --order
  bool json = false;
  std::string time_zone;

  CLI::Option* record_option = nullptr;
  CLI::Option* order_option = nullptr;
};

CLI::App* add_order_command(CLI::App& app, OrderOptions& options);

// Exit codes: 0 shown; 1 the database cannot be read; 2 a usage error; 3 no
// such record or order, or it is cancelled (shown all the same, with a line on err).
int run_order(const OrderOptions& options, std::ostream& out, std::ostream& err);

// What `qrnmvl order --json` prints. NotFound for an unknown record or order.
// A record id of 0 means the whole order.
nlohmann::ordered_json order_json(const std::string& connection_text, long record_id, long order_id,
                                  const TimeZone& zone = TimeZone::host());

}  // namespace qrnmvl::tool
