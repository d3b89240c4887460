#include "order.hpp"

#include <algorithm>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "demo.hpp"
#include "oplog.hpp"

namespace qrnmvl::tool {
namespace {

constexpr const char* kOrderExitCodes =
    "Exit codes: 0 shown; 1 the database cannot be read, or an internal error; 2 a usage\n"
    "error (bad arguments, neither RECORD nor --order, neither --db nor --connection, a --db\n"
    "file that does not exist); 3 no such record or order, or it is cancelled (then shown\n"
    "all the same).";
// TAB_STATUS_OS_TIPO of a record that was called off: it is never closed.
constexpr int kCancelled = 3;

struct OrderView {
  Report header, records, lines, containers, events, jobs, log;
};

long id_of(const Variant& value) { return static_cast<long>(to_double(value)); }

OrderView read_order(const std::string& text, long record_id, long order_id) {
  if (record_id != 0) {
    data::RowSet rs = data::open_rowset(
        "SELECT ORDEM_SERVICO_ID FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = " +
            std::to_string(record_id),
        Variant(text));
    if (rs.eof()) throw NotFound("no service-order type record " + std::to_string(record_id));
    order_id = to_long(rs.field("ORDEM_SERVICO_ID"));
  } else {
    require_order(text, order_id);
  }
  const std::string order = std::to_string(order_id);
  OrderView view;
  view.header = query_report(
      text,
      "SELECT o.ORDEM_SERVICO_ID, o.NUM_OS, o.TAB_TIPO_ORDEM_SERVICO_ID, tt.DESCRICAO, "
      "       o.TAB_STATUS_PAGTO_OS_ID, p.DESC_TAB_STATUS_PAGTO_OS, f.NOME, o.EMBARCADOR, "
      "       o.DATA_EMISSAO, o.DATA_SERVICO, po.NOME_PORTO, tv.SIGLA, tc.SIGLA, o.FLAG_CTAC, "
      "       o.OBSERVACAO "
      "  FROM ORDEM_SERVICO o "
      "  LEFT JOIN TAB_TIPO_ORDEM_SERVICO tt "
      "         ON tt.TAB_TIPO_ORDEM_SERVICO_ID = o.TAB_TIPO_ORDEM_SERVICO_ID "
      "  LEFT JOIN TAB_STATUS_PAGTO_OS p ON p.TAB_STATUS_PAGTO_OS_ID = o.TAB_STATUS_PAGTO_OS_ID "
      "  LEFT JOIN FORNECEDOR f ON f.FORNECEDOR_ID = o.FORNECEDOR_ID "
      "  LEFT JOIN PORTO po ON po.PORTO_ID = o.PORTO_ID "
      "  LEFT JOIN TERMINAL tv ON tv.FORNECEDOR_ID = o.TERMINAL_VAZIO_ID "
      "  LEFT JOIN TERMINAL tc ON tc.FORNECEDOR_ID = o.TERMINAL_CHEIO_ID "
      " WHERE o.ORDEM_SERVICO_ID = " +
          order,
      {{"order", Kind::Integer},
       {"number", Kind::Text},
       {"order_type_code", Kind::Integer, Show::JsonOnly},
       {"order_type", Kind::Text},
       {"payment_status_code", Kind::Integer, Show::JsonOnly},
       {"payment_status", Kind::Text},
       {"carrier", Kind::Text},
       {"shipper", Kind::Text},
       {"issued", Kind::Moment},
       {"service_date", Kind::Moment},
       {"port", Kind::Text},
       {"empty_terminal", Kind::Text},
       {"full_terminal", Kind::Text},
       {"under_ctac", Kind::Text},
       {"observation", Kind::Text}});
  view.records = query_report(
      text,
      "SELECT t.ORDEM_SERVICO_TIPO_ID, t.TAB_TIPO_SERVICO_ID, ts.DESCRICAO, "
      "       t.TAB_STATUS_OS_TIPO_ID, st.DESCRICAO, t.VALOR_SERVICO, t.DATA_INI_EXECUCAO, "
      "       t.DATA_FIM_EXECUCAO, t.DATA_RETIRADA_TERMINAL, t.DATA_ENTREGA_TERMINAL, t.PLACA, "
      "       dt.SIGLA, t.ID_SISTEMA_EXTERNO, t.DATA_FECHAMENTO, t.USUARIO_FECHAMENTO_ID "
      "  FROM ORDEM_SERVICO_TIPO t "
      "  LEFT JOIN TAB_TIPO_SERVICO ts ON ts.TAB_TIPO_SERVICO_ID = t.TAB_TIPO_SERVICO_ID "
      "  LEFT JOIN TAB_STATUS_OS_TIPO st ON st.TAB_STATUS_OS_TIPO_ID = t.TAB_STATUS_OS_TIPO_ID "
      "  LEFT JOIN TAB_TIPO_DOCTO dt ON dt.TAB_TIPO_DOCTO_ID = t.TAB_TIPO_DOCTO_ID "
      " WHERE " +
          (record_id != 0 ? "t.ORDEM_SERVICO_TIPO_ID = " + std::to_string(record_id)
                          : "t.ORDEM_SERVICO_ID = " + order) +
          " ORDER BY t.ORDEM_SERVICO_TIPO_ID",
      {{"record", Kind::Integer},
       {"service_type_code", Kind::Integer, Show::JsonOnly},
       {"service_type", Kind::Text},
       {"status_code", Kind::Integer, Show::JsonOnly},
       {"status", Kind::Text},
       {"value", Kind::Number},
       {"start", Kind::Moment},
       {"end", Kind::Moment},
       {"withdrawal", Kind::Moment},
       {"delivery", Kind::Moment},
       {"plate", Kind::Text},
       {"document_type", Kind::Text},
       {"document_number", Kind::Text},
       {"closed", Kind::Moment},
       {"closed_by", Kind::Integer}});
  view.lines = query_report(
      text,
      "SELECT s.SOLICIT_EMBARQUE_CONTAINER_ID, s.AGEND_CONTAINER_ID, c.NUM_CONTAINER, k.SIGLA, "
      "       s.NUM_LACRE_CIA_MARITIMA, s.NUM_LACRE_RECEITA_FEDERAL, s.NUM_LACRE_MIN_SAUDE, "
      "       s.TARA, s.PESO_CARGA, s.VALOR_NF, a.OBSERV, s.DATA_ALTERACAO, "
      "       s.USUARIO_ALTERACAO_ID "
      "  FROM SOLICIT_EMBARQUE_CONTAINER s "
      "  LEFT JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID "
      "  LEFT JOIN TAB_TIPO_CONTAINER k ON k.TAB_TIPO_CONTAINER_ID = s.TAB_TIPO_CONTAINER_ID "
      "  LEFT JOIN AGEND_CONTAINER a ON a.AGEND_CONTAINER_ID = s.AGEND_CONTAINER_ID "
      " WHERE s.ORDEM_SERVICO_ID = " +
          order + " ORDER BY s.SOLICIT_EMBARQUE_CONTAINER_ID",
      {{"request", Kind::Integer},
       {"schedule", Kind::Integer},
       {"container", Kind::Text},
       {"type", Kind::Text},
       {"line_seal", Kind::Text},
       {"customs_seal", Kind::Text},
       {"health_seal", Kind::Text},
       {"tare", Kind::Number},
       {"weight", Kind::Number},
       {"invoice_value", Kind::Number},
       {"schedule_note", Kind::Text},
       {"changed", Kind::Moment},
       {"changed_by", Kind::Integer}});
  view.containers = query_report(
      text,
      "SELECT c.CONTAINER_ID, c.NUM_CONTAINER, k.SIGLA, k.CODIGO_ISO, c.TARA, c.DATA_CADASTRO, "
      "       c.USUARIO_CADASTRO_ID, c.DATA_ALTERACAO, c.USUARIO_ALTERACAO_ID "
      "  FROM CONTAINER c "
      "  LEFT JOIN TAB_TIPO_CONTAINER k ON k.TAB_TIPO_CONTAINER_ID = c.TAB_TIPO_CONTAINER_ID "
      " WHERE c.CONTAINER_ID IN (SELECT CONTAINER_ID FROM SOLICIT_EMBARQUE_CONTAINER "
      "                           WHERE ORDEM_SERVICO_ID = " +
          order + ") ORDER BY c.CONTAINER_ID",
      {{"id", Kind::Integer},
       {"number", Kind::Text},
       {"type", Kind::Text},
       {"iso_code", Kind::Text},
       {"tare", Kind::Number},
       {"registered", Kind::Moment},
       {"registered_by", Kind::Integer},
       {"changed", Kind::Moment},
       {"changed_by", Kind::Integer}});
  view.events = tracking_events(text, order_id);
  std::vector<long> event_ids;
  for (std::size_t row = 0; row < view.events.rows.size(); ++row)
    event_ids.push_back(id_of(view.events.at(row, "id")));
  view.jobs = jobs_of_events(text, event_ids);
  std::vector<long> named{order_id};
  for (std::size_t row = 0; row < view.records.rows.size(); ++row)
    named.push_back(id_of(view.records.at(row, "record")));
  view.log = message_log_naming(text, named);
  return view;
}

// The cancelled records of what was asked: the record, or every record of the order.
std::vector<long> cancelled_records(const OrderView& view) {
  std::vector<long> cancelled;
  for (std::size_t row = 0; row < view.records.rows.size(); ++row)
    if (equals(view.records.at(row, "status_code"), kCancelled))
      cancelled.push_back(id_of(view.records.at(row, "record")));
  if (cancelled.size() != view.records.rows.size()) cancelled.clear();
  return cancelled;
}

// One row of a report as "heading  value" lines, the empty ones left out.
void print_fields(std::ostream& out, const Report& report, std::size_t row) {
  std::vector<std::pair<std::string, std::string>> fields;
  std::size_t width = 0;
  for (std::size_t i = 0; i < report.columns.size(); ++i) {
    if (report.columns[i].show == Show::JsonOnly) continue;
    const std::string value = cell_text(report.rows[row][i]);
    if (value.empty()) continue;
    fields.emplace_back(report.columns[i].heading, value);
    width = std::max(width, report.columns[i].heading.size());
  }
  for (const auto& [heading, value] : fields)
    out << "  " << heading << std::string(width - heading.size() + 2, ' ') << value << "\n";
}

void print_section(std::ostream& out, const std::string& title, const Report& report,
                   bool detail = false) {
  out << "\n" << title << ":\n";
  print_report(out, report, detail);
}

nlohmann::ordered_json view_json(const OrderView& view, const TimeZone& zone) {
  nlohmann::ordered_json json;
  json["order"] = view.header.to_json(zone).at(0);
  json["records"] = view.records.to_json(zone);
  json["lines"] = view.lines.to_json(zone);
  json["containers"] = view.containers.to_json(zone);
  json["events"] = view.events.to_json(zone);
  json["jobs"] = view.jobs.to_json(zone);
  json["log"] = view.log.to_json(zone);
  return json;
}

}  // namespace

nlohmann::ordered_json order_json(const std::string& connection_text, long record_id, long order_id,
                                  const TimeZone& zone) {
  return view_json(read_order(connection_text, record_id, order_id), zone);
}

CLI::App* add_order_command(CLI::App& app, OrderOptions& options) {
  auto* order = app.add_subcommand(
      "order",
      "Show a service order as its closing left it: header and status, the closing fields of\n"
      "its records, container lines, containers, tracking events, the jobs queued for them\n"
      "and the message-log rows that name it.");
  options.record_option = order->add_option(
      "record", options.record_id,
      "Service-order type record id (ORDEM_SERVICO_TIPO_ID), as the front end names it");
  options.order_option =
      order->add_option("--order", options.order_id, "Service order id (ORDEM_SERVICO_ID) instead")
          ->excludes(options.record_option);
  add_database_options(order, options.db, options.connection);
  order->add_flag("--json", options.json, "Print JSON instead of tables");
  add_time_zone_option(order, options.time_zone);
  order->footer(kOrderExitCodes);
  return order;
}

int run_order(const OrderOptions& options, std::ostream& out, std::ostream& err) {
  return run_command(err, [&] {
    const bool by_record = options.record_option != nullptr && options.record_option->count() > 0;
    const bool by_order = options.order_option != nullptr && options.order_option->count() > 0;
    if (!by_record && !by_order) throw std::invalid_argument("order: give RECORD or --order ID");
    const TimeZone zone = TimeZone::named(options.time_zone);
    const std::string text = database_text(options.db, options.connection, true);
    const long record_id = by_record ? options.record_id : 0;
    const OrderView view = read_order(text, record_id, by_record ? 0 : options.order_id);

    if (options.json) {
      const nlohmann::ordered_json json = view_json(view, zone);
      out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    } else {
      out << "Service order (ORDEM_SERVICO):\n";
      print_fields(out, view.header, 0);
      for (std::size_t row = 0; row < view.records.rows.size(); ++row) {
        out << "\nService-order type record (ORDEM_SERVICO_TIPO):\n";
        print_fields(out, view.records, row);
      }
      print_section(out, "Container lines (SOLICIT_EMBARQUE_CONTAINER), " + amounts_note(),
                    view.lines);
      print_section(out, "Containers (CONTAINER)", view.containers);
      print_section(out, "Tracking events, oldest first (TRACKING)", view.events, true);
      print_section(out, "Jobs queued for its events (LOG_GERADOR)", view.jobs);
      print_section(out, "Message-log rows that name the order or its records (LOG_MSG)", view.log);
    }

    const std::vector<long> cancelled = cancelled_records(view);
    if (cancelled.empty()) return 0;
    const std::string order = display(view.header.at(0, "order"));
    if (record_id != 0)
      err << "qrnmvl: record " << record_id << " of order " << order << " is cancelled\n";
    else
      err << "qrnmvl: order " << order << " is cancelled: every record of it is\n";
    return kExitMissing;
  });
}

}  // namespace qrnmvl::tool
