#include "demo.hpp"

#include <algorithm>
#include <cstdlib>

#include "common/values.hpp"
#include "data/connection.hpp"

namespace qrnmvl::tool {

std::string display(const Variant& value) {
  if (value.is_null()) return "(null)";
  try {
    return to_text(value);
  } catch (const Error&) {
    return "(" + std::to_string(static_cast<int>(value.type())) + ")";
  }
}

std::string amount_cell(const Variant& value) {
  if (value.is_empty() || value.is_null()) return "";
  double amount = 0;
  if (value.is_number()) {
    amount = to_double(value);
  } else {
    std::string text = trim(display(value));
    if (text.empty()) return "";
    for (char& c : text)
      if (c == ',') c = '.';
    char* end = nullptr;
    amount = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return display(value);
  }
  return two_decimals(amount, regional_decimal_separator());
}

std::string amounts_note() {
  return regional_decimal_separator() == ',' ? "amounts with a decimal comma"
                                             : "amounts with a decimal point";
}

void print_wrapped(std::ostream& out, const std::string& label, const std::string& text) {
  constexpr std::size_t kWidth = 100;
  const std::size_t indent = 2 + text_length(label) + 1;
  std::string line = std::string(2, ' ') + label + " ";
  std::size_t column = indent;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (column > indent && column + 1 + text_length(word) > kWidth) {
      out << line << "\n";
      line = std::string(indent, ' ');
      column = indent;
    } else if (column > indent) {
      line += ' ';
      ++column;
    }
    line += word;
    column += text_length(word);
    start = end + 1;
  }
  out << line << "\n";
}

void print_heading(std::ostream& out, const std::string& title) {
  out << "\n== " << title << " "
      << std::string(text_length(title) < 70 ? 70 - text_length(title) : 0, '=') << "\n\n";
}

void print_table(std::ostream& out, const std::vector<std::string>& headers,
                 const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(headers.size(), 0);
  auto widen = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i)
      widths[i] = std::max(widths[i], text_length(cells[i]));
  };
  widen(headers);
  for (const auto& row : rows) widen(row);

  auto print_row = [&](const std::vector<std::string>& cells) {
    std::string line = "  ";
    for (std::size_t i = 0; i < widths.size(); ++i) {
      const std::string cell = i < cells.size() ? cells[i] : "";
      line += cell;
      if (i + 1 < widths.size()) line += std::string(widths[i] - text_length(cell) + 2, ' ');
    }
    out << rtrim(line) << "\n";
  };
  print_row(headers);
  std::string rule = "  ";
  for (std::size_t i = 0; i < widths.size(); ++i)
    rule += std::string(widths[i], '-') + (i + 1 < widths.size() ? "  " : "");
  out << rule << "\n";
  for (const auto& row : rows) print_row(row);
}

namespace {

// The newest message-log row, as the operator would look it up.
void print_last_log_row(DemoContext& demo) {
  data::RowSet rs = data::open_rowset(
      "SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, DATA_LOG, MSG01, MSG02 FROM LOG_MSG "
      "ORDER BY LOG_MSG_ID DESC LIMIT 1",
      Variant(demo.connection_text));
  if (rs.eof()) {
    demo.out << "  (no message-log row)\n";
    return;
  }
  demo.out << "  Message log (LOG_MSG), newest row:\n"
           << "    type " << display(rs.field("TAB_TIPO_MSG_ID")) << ", user "
           << display(rs.field("USUARIO_INTERNET_ID")) << ", at " << display(rs.field("DATA_LOG"))
           << "\n"
           << "\n";
  print_wrapped(demo.out, "  MSG01:", display(rs.field("MSG01")));
  if (!rs.field("MSG02").is_null()) print_wrapped(demo.out, "  MSG02:", display(rs.field("MSG02")));
}

void show_ports(DemoContext& demo, int user_id) {
  Variant user(user_id), connection(demo.connection_text), kind(demo.kind);
  Variant point, count, ports, message, names;
  const Variant result = demo.component.gConsulta_Porto_Ponto(user, connection, kind, point, count,
                                                              ports, message, names);
  demo.out << "  gConsulta_Porto_Ponto(user " << user_id << ") -> result " << display(result)
           << "\n";
  if (equals(result, 0.0)) {
    demo.out << "  Operation point: " << display(point) << "\n"
             << "  Ports (" << display(count) << "):\n\n";
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < ports.size(); ++i)
      rows.push_back({display(ports.at(i)), display(names.at(i))});
    print_table(demo.out, {"PORTO_ID", "nome_porto"}, rows);
  } else {
    print_wrapped(demo.out, "Message:", display(message));
    demo.out << "\n";
    print_last_log_row(demo);
  }
}

}  // namespace

void run_demo(DemoContext& demo) {
  demo_ports(demo);
  demo_order(demo);
  demo_incidents(demo);
  demo_closings(demo);
}

void demo_ports(DemoContext& demo) {
  print_heading(demo.out, "1. The ports of the user's branch");
  show_ports(demo, kDemoUserId);
  demo.out << "\n  A user that no branch knows is refused, and the refusal is logged:\n\n";
  show_ports(demo, kUnknownUserId);
}

}  // namespace qrnmvl::tool
