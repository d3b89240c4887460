#include "common/values.hpp"
#include "demo.hpp"

namespace qrnmvl::tool {
namespace {

// The demo order is of order type 2, where incident 18 registered by hand must be justified.
constexpr int kDemoOrderType = 2;

// The checklist as the front end receives it: parallel arrays and their count.
struct Checklist {
  Variant count, ids, descriptions, selected, justifications, stub_flags, kinds;
};

bool load_checklist(DemoContext& demo, Checklist& list) {
  Variant connection(demo.connection_text), kind(demo.kind), user(kDemoUserId);
  Variant order(kDemoOrderTypeId), message;
  const Variant result = demo.component.gMonta_Lista_Tab_Tipo_Incidente(
      connection, kind, user, list.count, list.ids, list.descriptions, list.selected, order,
      list.justifications, list.stub_flags, message, list.kinds);
  demo.out << "  gMonta_Lista_Tab_Tipo_Incidente(order " << kDemoOrderTypeId << ") -> result "
           << display(result) << "\n\n";
  if (!equals(result, 0.0)) {
    print_wrapped(demo.out, "Message:", display(message));
    return false;
  }
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < list.ids.size(); ++i)
    rows.push_back({display(list.ids.at(i)), display(list.descriptions.at(i)),
                    display(list.selected.at(i)), display(list.justifications.at(i)),
                    display(list.stub_flags.at(i)), display(list.kinds.at(i))});
  print_table(demo.out, {"id", "incident", "chosen", "justification", "stub", "kind"}, rows);
  return true;
}

// The row of the checklist that holds an incident type.
std::size_t row_of(const Checklist& list, int incident_type) {
  for (std::size_t i = 0; i < list.ids.size(); ++i)
    if (equals(list.ids.at(i), static_cast<double>(incident_type))) return i;
  return list.ids.size();
}

Variant record(DemoContext& demo, Checklist& list, Variant& observation, Variant& message) {
  Variant connection(demo.connection_text), kind(demo.kind), user(kDemoUserId);
  Variant order(kDemoOrderTypeId), order_type(kDemoOrderType), store_observation("S");
  return demo.component.gGrava_Incidente(connection, kind, user, order, list.ids, list.selected,
                                         store_observation, list.count, observation,
                                         list.justifications, message, order_type, list.kinds);
}

}  // namespace

void demo_incidents(DemoContext& demo) {
  print_heading(demo.out, "3. The incident checklist of the demo order");
  Checklist list;
  if (!load_checklist(demo, list)) return;

  const std::size_t late = row_of(list, 18);
  const std::size_t seal = row_of(list, 3);
  if (late >= list.ids.size() || seal >= list.ids.size()) {
    demo.out << "\n  (the demo checklist lacks incident types 3 and 18)\n";
    return;
  }

  demo.out << "\n  Ticking incident 18 without saying why is refused on an order of type "
           << kDemoOrderType << ":\n\n";
  list.selected.at(late) = Variant("S");
  Variant observation("Entrega reagendada pelo cliente"), message;
  Variant result = record(demo, list, observation, message);
  demo.out << "  gGrava_Incidente -> result " << display(result) << "\n";
  print_wrapped(demo.out, "Message:", display(message));

  demo.out << "\n  With the justifications written (the apostrophe and parentheses are "
              "removed before sending):\n\n";
  list.justifications.at(late) = Variant("Nova janela (doca 4)");
  list.selected.at(seal) = Variant("S");
  list.justifications.at(seal) = Variant("Lacre trocado no 'gate'");
  message = Variant();
  result = record(demo, list, observation, message);
  demo.out << "  gGrava_Incidente -> result " << display(result) << "\n";
  if (!equals(result, 0.0)) {
    print_wrapped(demo.out, "Message:", display(message));
    return;
  }
  demo.out << "  Observation as sent: " << display(observation) << "\n\n";

  demo.out << "  The checklist again, with the choices recorded:\n\n";
  Checklist again;
  load_checklist(demo, again);
}

}  // namespace qrnmvl::tool
