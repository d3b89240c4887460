#include "common/values.hpp"
#include "demo.hpp"

namespace qrnmvl::tool {
namespace {

// Everything the order query answers, by its role on the closing form.
struct LoadedOrder {
  Variant order_id, service, supplier, service_date, number, start_date, start_hour, end_date,
      end_hour, payment_status, request_ids, containers, line_seals, customs_seals, health_seals,
      tares, schedule_ids, count, observation, order_type, container_types, message, in_payment,
      show_terminal, service_type, pickup_date, pickup_hour, delivery_date, delivery_hour,
      supplier_id, empty_terminal, full_terminal, ctac_flag, weights, invoice_values, plate,
      stub_control, document_type, document_number, document_flag;
};

// A date and its hour as one reading, or a dash while the closing has not said.
std::string when(const Variant& date, const Variant& hour) {
  const std::string text = trim(display(date) + " " + display(hour));
  return text.empty() ? "-" : text;
}

std::string or_dash(const Variant& value) {
  const std::string text = display(value);
  return text.empty() ? "-" : text;
}

void print_field(std::ostream& out, const std::string& label, const std::string& value) {
  const std::size_t width = text_length(label);
  out << "  " << label << std::string(width < 28 ? 28 - width : 1, ' ') << value << "\n";
}

}  // namespace

void demo_order(DemoContext& demo) {
  print_heading(demo.out, "2. The demo order loaded for closing");

  Variant connection(demo.connection_text), user(kDemoUserId), company(1), kind("SQLSERVER");
  Variant product("QRNMVL"), id(kDemoOrderTypeId);
  LoadedOrder o;
  const Variant result = demo.component.gConsulta_Ordem_Servico_Tipo(
      connection, user, company, kind, product, id, o.order_id, o.service, o.supplier,
      o.service_date, o.number, o.start_date, o.start_hour, o.end_date, o.end_hour,
      o.payment_status, o.request_ids, o.containers, o.line_seals, o.customs_seals, o.health_seals,
      o.tares, o.schedule_ids, o.count, o.observation, o.order_type, o.container_types, o.message,
      o.in_payment, o.show_terminal, o.service_type, o.pickup_date, o.pickup_hour, o.delivery_date,
      o.delivery_hour, o.supplier_id, o.empty_terminal, o.full_terminal, o.ctac_flag, o.weights,
      o.invoice_values, o.plate, o.stub_control, o.document_type, o.document_number,
      o.document_flag);
  demo.out << "  gConsulta_Ordem_Servico_Tipo(record " << kDemoOrderTypeId << ") -> result "
           << display(result) << "\n\n";
  if (!equals(result, 0.0)) {
    demo.out << "  Message: " << display(o.message) << "\n";
    return;
  }

  print_field(demo.out, "Order number", display(o.number) + " (id " + display(o.order_id) + ")");
  print_field(demo.out, "Order type", display(o.order_type));
  print_field(demo.out, "Service",
              display(o.service) + " (service type " + display(o.service_type) + ")");
  print_field(demo.out, "Carrier",
              display(o.supplier) + " (supplier " + display(o.supplier_id) +
                  ", receipt stubs controlled: " + or_dash(o.stub_control) + ")");
  print_field(demo.out, "Service date", or_dash(o.service_date));
  print_field(demo.out, "Execution start", when(o.start_date, o.start_hour));
  print_field(demo.out, "Execution end", when(o.end_date, o.end_hour));
  print_field(demo.out, "Terminal fields shown", display(o.show_terminal));
  print_field(demo.out, "Empty / full terminal",
              display(o.empty_terminal) + " / " + display(o.full_terminal));
  print_field(demo.out, "Pick-up at the terminal", when(o.pickup_date, o.pickup_hour));
  print_field(demo.out, "Delivery at the terminal", when(o.delivery_date, o.delivery_hour));
  print_field(demo.out, "Payment",
              display(o.payment_status) + " (in payment: " + or_dash(o.in_payment) + ")");
  print_field(demo.out, "Tractor plate", or_dash(o.plate));
  print_field(demo.out, "Transport document",
              "type " + display(o.document_type) + ", number " + or_dash(o.document_number) +
                  (equals(o.document_flag, "S") ? " (number required)" : ""));
  print_field(demo.out, "Travels under CTAC", or_dash(o.ctac_flag));
  print_field(demo.out, "Observation", or_dash(o.observation));

  demo.out << "\n  Container lines (" << display(o.count) << "):\n\n";
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < o.request_ids.size(); ++i)
    rows.push_back({display(o.request_ids.at(i)), display(o.containers.at(i)),
                    display(o.container_types.at(i)), display(o.line_seals.at(i)),
                    display(o.customs_seals.at(i)), display(o.health_seals.at(i)),
                    display(o.tares.at(i)), display(o.weights.at(i)),
                    display(o.invoice_values.at(i)), display(o.schedule_ids.at(i))});
  print_table(demo.out,
              {"request", "container", "type", "line seal", "customs seal", "health seal", "tare",
               "cargo weight", "invoice value", "schedule"},
              rows);
}

}  // namespace qrnmvl::tool
