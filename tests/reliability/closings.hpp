// Closings of the demo orders as a front end sends them, each marked so that
// what it wrote can be told apart from what an earlier closing wrote: its
// document number on the service-type record, its observation on every
// container line's schedule.
#pragma once

#include <qrnmvl/qrnmvl.hpp>
#include <string>

#include "closing_form.hpp"
#include "common/values.hpp"

namespace qrnmvl::testing {

// The demo records that close with the form below, and their container lines.
struct DemoRecord {
  int id;
  int service_order;
  int lines;
};
inline constexpr DemoRecord kClosableRecords[] = {
    {1001, 501, 3}, {1003, 502, 1}, {1004, 503, 2}, {1005, 504, 2}};

inline std::string document_of(int mark) { return std::to_string(100000 + mark); }
inline std::string observation_of(int mark) { return "K" + std::to_string(mark); }

// Loads the record and closes it with the marks of `mark`; the closing's
// result (0 or 10) and its message, or result 10 with the load's message when
// the load already failed.
struct ClosingAnswer {
  int result;
  std::string message;
  bool loaded = false;  // the load answered 0: the message is the closing's
};
inline ClosingAnswer close_marked(QrnMvl& component, const std::string& connection_text,
                                  int record, int mark) {
  tool::Session session;
  session.connection_text = connection_text;
  const tool::Call loaded = tool::load_order(component, session, Variant(record));
  if (!equals(loaded.result(), 0.0))
    return {10, piece(loaded["outvntMsg_Ret"])};
  tool::Call form = tool::closing_form(session, loaded);

  form["invntData_Ini_Execucao"] = Variant("17/10/2025");
  form["invntHora_Ini_Execucao"] = Variant("13:00");
  form["invntData_Fim_Execucao"] = Variant("17/10/2025");
  form["invntHora_Fim_Execucao"] = Variant("15:00");
  form["invntData_Retirada"] = Variant("17/10/2025");
  form["invntHora_Retirada"] = Variant("12:00");
  form["invntData_Entrega"] = Variant("17/10/2025");
  form["invntHora_Entrega"] = Variant("16:00");
  form["invntnum_documento"] = Variant(document_of(mark));
  form["invntObserv"] = Variant(observation_of(mark));
  // Orders of types 1 and 2 need the shipping-line seal on every line with a container.
  Variant& seals = form["inarrvntNum_Lacre_Cia_Maritima"];
  if (seals.is_array())
    for (std::size_t i = 0; i < seals.elements().size(); ++i)
      seals.elements()[i] = Variant("L" + std::to_string(i + 1));
  form.run(component);
  return {equals(form.result(), 0.0) ? 0 : 10, piece(form["outvntMsg_Ret"]), true};
}

}  // namespace qrnmvl::testing
