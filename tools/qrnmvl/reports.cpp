#include "reports.hpp"

#include "common/values.hpp"
#include "data/connection.hpp"
#include "demo.hpp"

namespace qrnmvl::tool {
namespace {

// A stored value as a person reads it: nothing for Null, an amount in the tables' one form, a
// "yyyy/mm/dd hh:mm[:ss]" date as "dd/mm/yyyy hh:mm".
std::string cell(const Variant& stored) {
  if (stored.is_null()) return "";
  if (stored.type() == VarType::Double || stored.type() == VarType::Currency)
    return amount_cell(stored);
  const std::string text = display(stored);
  if (!stored.is_string() || text.size() < 10 || text[4] != '/' || text[7] != '/') return text;
  std::string out = text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
  if (text.size() >= 16) out += " " + text.substr(11, 5);
  return out;
}

}  // namespace

Report query_report(const std::string& connection_text, const std::string& sql,
                    std::vector<std::string> headings) {
  Report report{std::move(headings), {}};
  data::RowSet rs = data::open_rowset(sql, Variant(connection_text));
  for (; !rs.eof(); rs.move_next()) {
    std::vector<std::string> row;
    for (std::size_t i = 0; i < rs.columns().size(); ++i) {
      const Variant value = rs.field(rs.columns()[i]);
      row.push_back(cell(value));
    }
    report.rows.push_back(std::move(row));
  }
  return report;
}

nlohmann::ordered_json Report::to_json() const {
  auto list = nlohmann::ordered_json::array();
  for (const auto& row : rows) {
    nlohmann::ordered_json item;
    for (std::size_t i = 0; i < headings.size() && i < row.size(); ++i) item[headings[i]] = row[i];
    list.push_back(std::move(item));
  }
  return list;
}

Report tracking_events(const std::string& connection_text, long order_id) {
  return query_report(
      connection_text,
      "SELECT t.DATA_EVENTO, e.DESCRICAO, tm.SIGLA, d.NUM_DOCTO, c.NUM_CONTAINER, "
      "       n.NUM_NOTA, t.AGENDAMENTO_FRAC_ID "
      "  FROM TRACKING t "
      "  JOIN TAB_EVENTO_TRACKING e ON e.TAB_EVENTO_TRACKING_ID = t.TAB_EVENTO_TRACKING_ID "
      "  LEFT JOIN TERMINAL tm ON tm.FORNECEDOR_ID = t.TERMINAL_ID "
      "  LEFT JOIN DOCTO_TRANSPORTE d ON d.DOCTO_TRANSPORTE_ID = t.DOCTO_TRANSPORTE_ID "
      "  LEFT JOIN SOLICIT_EMBARQUE_CONTAINER s "
      "         ON s.SOLICIT_EMBARQUE_CONTAINER_ID = t.SOLICIT_EMBARQUE_CONTAINER_ID "
      "  LEFT JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID "
      "  LEFT JOIN NOTA_FISCAL n ON n.NOTA_FISCAL_ID = t.NOTA_FISCAL_ID "
      " WHERE t.ORDEM_SERVICO_ID = " +
          std::to_string(order_id) + " ORDER BY t.DATA_EVENTO, t.TRACKING_ID",
      {"when", "event", "terminal", "CTAC", "container", "invoice", "pickup"});
}

Report job_requests(const std::string& connection_text, long after_job_id) {
  return query_report(connection_text,
                      "SELECT g.Data_Inicio, g.LOG_GERADOR_ID, g.FUNCAO_ID, g.USUARIO_INTERNET_ID, "
                      "       g.Tab_Status_JOB_ID, g.TXT_QUERY "
                      "  FROM LOG_GERADOR g WHERE g.LOG_GERADOR_ID > " +
                          std::to_string(after_job_id) + " ORDER BY g.LOG_GERADOR_ID",
                      {"start", "job", "function", "user", "status", "parameters"});
}

void print_report(std::ostream& out, const Report& report) {
  if (report.rows.empty()) {
    out << "  (none)\n";
    return;
  }
  // Columns that are empty on every row say nothing.
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < report.headings.size(); ++i)
    for (const auto& row : report.rows)
      if (i < row.size() && !row[i].empty()) {
        shown.push_back(i);
        break;
      }
  std::vector<std::string> headings;
  for (std::size_t i : shown) headings.push_back(report.headings[i]);
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : report.rows) {
    std::vector<std::string> cells;
    for (std::size_t i : shown) cells.push_back(row[i]);
    rows.push_back(std::move(cells));
  }
  print_table(out, headings, rows);
}

}  // namespace qrnmvl::tool
