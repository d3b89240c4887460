// The closings of the demo: what the validation refuses, one closing of each
// kind of order with everything it changed, and a closing refused part-way.
#include <functional>

#include "closing_form.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "demo.hpp"
#include "reports.hpp"

namespace qrnmvl::tool {
namespace {

// What the carrier reports for one demo record, on top of what the order already holds.
struct CarrierReport {
  long record;
  const char* what;
  std::function<void(Call&)> report;
};

// The execution on the order's service date, with the pick-up before it and the delivery
// after, as a carrier reports a day's work.
void report_day(Call& form, const std::string& day) {
  form["invntData_Ini_Execucao"] = Variant(day);
  form["invntHora_Ini_Execucao"] = Variant("08:00");
  form["invntData_Fim_Execucao"] = Variant(day);
  form["invntHora_Fim_Execucao"] = Variant("17:30");
  form["invntData_Retirada"] = Variant(day);
  form["invntHora_Retirada"] = Variant("07:10");
  form["invntData_Entrega"] = Variant(day);
  form["invntHora_Entrega"] = Variant("18:20");
}

Variant texts(std::initializer_list<const char*> values) {
  Variant::Array items;
  for (const char* value : values) items.emplace_back(value);
  return Variant(std::move(items));
}

long last_job(const std::string& connection_text) {
  data::RowSet rs = data::open_rowset(
      "SELECT coalesce(max(LOG_GERADOR_ID), 0) AS id FROM LOG_GERADOR", Variant(connection_text));
  return to_long(rs.field("id"));
}

void print_section(std::ostream& out, const std::string& title, const Report& report) {
  out << "\n  " << title << ":\n\n";
  print_report(out, report);
}

// Everything a closing of the order may have written, read back from the database.
void print_changes(DemoContext& demo, long record, const Variant& order_id, long jobs_before) {
  const std::string order = display(order_id);
  print_section(
      demo.out, "The order's closing fields (ORDEM_SERVICO_TIPO)",
      query_report(demo.connection_text,
                   "SELECT t.DATA_INI_EXECUCAO, t.DATA_FIM_EXECUCAO, t.DATA_RETIRADA_TERMINAL, "
                   "       t.DATA_ENTREGA_TERMINAL, t.PLACA, s.DESCRICAO "
                   "  FROM ORDEM_SERVICO_TIPO t "
                   "  LEFT JOIN TAB_STATUS_OS_TIPO s USING (TAB_STATUS_OS_TIPO_ID) "
                   " WHERE t.ORDEM_SERVICO_TIPO_ID = " +
                       std::to_string(record),
                   {"start", "end", "pick-up", "delivery", "plate", "status"}));
  print_section(demo.out, "Container lines (SOLICIT_EMBARQUE_CONTAINER), " + amounts_note(),
                query_report(demo.connection_text,
                             "SELECT s.SOLICIT_EMBARQUE_CONTAINER_ID, c.NUM_CONTAINER, "
                             "       s.NUM_LACRE_CIA_MARITIMA, s.TARA, s.PESO_CARGA, s.VALOR_NF, "
                             "       a.OBSERV "
                             "  FROM SOLICIT_EMBARQUE_CONTAINER s "
                             "  LEFT JOIN CONTAINER c USING (CONTAINER_ID) "
                             "  LEFT JOIN AGEND_CONTAINER a USING (AGEND_CONTAINER_ID) "
                             " WHERE s.ORDEM_SERVICO_ID = " +
                                 order + " ORDER BY 1",
                             {"request", "container", "line seal", "tare", "weight", "invoice",
                              "schedule note"}));
  print_section(
      demo.out, "Containers registered (CONTAINER)",
      query_report(demo.connection_text,
                   "SELECT c.CONTAINER_ID, c.NUM_CONTAINER, k.SIGLA, k.DESCRICAO "
                   "  FROM CONTAINER c LEFT JOIN TAB_TIPO_CONTAINER k USING "
                   "(TAB_TIPO_CONTAINER_ID) "
                   " WHERE c.CONTAINER_ID IN (SELECT CONTAINER_ID FROM SOLICIT_EMBARQUE_CONTAINER "
                   "                          WHERE ORDEM_SERVICO_ID = " +
                       order + ") ORDER BY 1",
                   {"id", "number", "type", "description"}));
  print_section(demo.out, "Tracking events, oldest first (TRACKING)",
                tracking_events(demo.connection_text, to_long(order_id)));
  print_section(demo.out, "Jobs queued by this closing (LOG_GERADOR)",
                job_requests(demo.connection_text, jobs_before));
}

// Loads the record, applies the carrier's report, saves; prints the answer. The closing form,
// as it went, is handed back.
Call close_record(DemoContext& demo, const CarrierReport& closing) {
  const Call loaded = load_order(demo.component, demo.session(),
                                 Variant(static_cast<std::int32_t>(closing.record)));
  Call form = closing_form(demo.session(), loaded);
  report_day(form, display(loaded["outvntdata_servico"]));
  closing.report(form);
  form.run(demo.component);
  demo.out << "  gGrava_Fechamento(record " << closing.record << ", order "
           << display(form["INvntOrdem_Servico_ID"]) << ", order type "
           << display(form["INvntTab_Tipo_Ordem_Servico_ID"]) << ") -> result "
           << display(form.result()) << "\n";
  const std::string message = display(form["outvntMsg_Ret"]);
  if (!message.empty()) print_wrapped(demo.out, "Message:", message);
  return form;
}

void show_closing(DemoContext& demo, const CarrierReport& closing) {
  print_heading(demo.out, closing.what);
  const long jobs_before = last_job(demo.connection_text);
  const Call form = close_record(demo, closing);
  print_changes(demo, closing.record, form["INvntOrdem_Servico_ID"], jobs_before);
}

}  // namespace

void demo_closings(DemoContext& demo) {
  print_heading(demo.out, "4. Closings the validation refuses: nothing is written");
  const CarrierReport refused[] = {
      {1003, "", [](Call& form) { form["invntHora_Fim_Execucao"] = Variant("07:30"); }},
      {1003, "", [](Call& form) { form["inarrvntNum_Container"] = texts({"CMAU6014828"}); }},
  };
  for (const auto& closing : refused) {
    close_record(demo, closing);
    demo.out << "\n";
  }
  demo.out << "  The first ends the work before it starts; the second mistypes the last digit of\n"
              "  the container number, its check digit.\n";

  const CarrierReport closings[] = {
      {1003, "5. A closing of order type 1: the container line written in full",
       [](Call& form) {
         form["inarrvntNum_Lacre_Cia_Maritima"] = texts({"ML5530011"});
         form["inarrvntTara"] = texts({"3750,00"});
         form["arrPeso"] = texts({"21300,50"});
         form["arrValorNF"] = texts({"98700,00"});
         form["INvntPlaca_Cavalo"] = Variant("RIO2A18");
       }},
      {1001, "6. Order type 2: the schedule observation instead of the line; jobs queued",
       [](Call& form) {
         form["inarrvntNum_Lacre_Cia_Maritima"] = texts({"ML4471203", "ML4471204", "ML4471205"});
         form["invntnum_documento"] = Variant("004512");
         form["invntObserv"] = Variant("Armazém 3, doca 5.");
       }},
      {1004, "7. Order type 7: deliveries at the port",
       [](Call& form) { form["invntnum_documento"] = Variant("004530"); }},
      {1005, "8. Order type 8: from the port to the inland terminal",
       [](Call& form) { form["invntnum_documento"] = Variant("004541"); }},
      {1006, "9. Order type 9, fractional: collection and deliveries by invoice",
       [](Call& form) { form["invntnum_documento"] = Variant("004550"); }},
  };
  for (const auto& closing : closings) show_closing(demo, closing);

  show_closing(
      demo, {1007, "10. Refused part-way: the database refuses row 2, row 1 stays written",
             [](Call& form) {
               form["invntnum_documento"] = Variant("004560");
               form["inarrvntNum_Lacre_Cia_Maritima"] = texts({"TS1180021", "TS1180022"});
               form["arrPeso"] = texts({"12000,00", "15500,00"});
               form["arrValorNF"] = texts({"45000,00", "61000,00"});
               form["arrTab_Tipo_Container_ID"] = Variant(Variant::Array{Variant(1), Variant(99)});
             }});
  demo.out << "\n  Each stage commits on its own: the order's fields and row 1 stay written.\n"
              "  Correct row 2 and close again; the rows written are written again.\n";
}

}  // namespace qrnmvl::tool
