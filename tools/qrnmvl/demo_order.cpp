#include "closing_form.hpp"
#include "common/values.hpp"
#include "demo.hpp"

namespace qrnmvl::tool {
namespace {

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

  const Call o = load_order(demo.component, demo.session(), Variant(kDemoOrderTypeId));
  demo.out << "  gConsulta_Ordem_Servico_Tipo(record " << kDemoOrderTypeId << ") -> result "
           << display(o.result()) << "\n\n";
  if (!equals(o.result(), 0.0)) {
    print_wrapped(demo.out, "Message:", display(o["outvntMsg_Ret"]));
    return;
  }

  print_field(demo.out, "Order number",
              display(o["outvntnum_os"]) + " (id " + display(o["outvntordem_servico_id"]) + ")");
  print_field(demo.out, "Order type", display(o["outvntTAB_TIPO_ORDEM_SERVICO_iD"]));
  print_field(demo.out, "Service",
              display(o["outvntDESCR_TIPO_SERVICO"]) + " (service type " +
                  display(o["outvntTAB_TIPO_SERVICO_ID"]) + ")");
  print_field(
      demo.out, "Carrier",
      display(o["outvntFORNECEDOR"]) + " (supplier " + display(o["outvntfornecedor_id"]) + ")");
  print_field(demo.out, "Receipt stubs controlled", or_dash(o["outvntflag_contr_canhoto"]));
  print_field(demo.out, "Service date", or_dash(o["outvntdata_servico"]));
  print_field(demo.out, "Execution start",
              when(o["OUTvntData_Ini_Execucao"], o["outvntHORA_INI_EXECUCAO"]));
  print_field(demo.out, "Execution end",
              when(o["OUTvntData_Fim_Execucao"], o["outvntHORA_FIM_EXECUCAO"]));
  print_field(demo.out, "Terminal fields shown", display(o["outvntIndic_Mostra_Campo_Terminal"]));
  print_field(
      demo.out, "Empty / full terminal",
      display(o["outvntterminal_vazio_id"]) + " / " + display(o["outvntterminal_cheio_id"]));
  print_field(demo.out, "Pick-up at the terminal",
              when(o["OUTvntData_Retirada_Terminal"], o["outvntHora_Retirada_Terminal"]));
  print_field(demo.out, "Delivery at the terminal",
              when(o["OUTvntData_Entrega_Terminal"], o["outvntHora_Entrega_Terminal"]));
  print_field(demo.out, "Payment",
              display(o["outvntDESC_TAB_STATUS_PAGTO_OS"]) +
                  " (in payment: " + or_dash(o["outvntIndic_OS_Em_Pagamento"]) + ")");
  print_field(demo.out, "Tractor plate", or_dash(o["OUTvntPlaca_Cavalo"]));
  print_field(demo.out, "Transport document",
              "type " + display(o["outvnttab_tipo_docto_id"]) + ", number " +
                  or_dash(o["outvntnum_documento"]) +
                  (equals(o["outvntflag_num_docto"], "S") ? " (number required)" : ""));
  print_field(demo.out, "Travels under CTAC", or_dash(o["outvntflag_ctac_os"]));
  print_field(demo.out, "Observation", or_dash(o["ouvntObserv"]));

  demo.out << "\n  Container lines (" << display(o["outvntQtde_Sol_Cont"]) << "); "
           << amounts_note() << ":\n\n";
  std::vector<std::vector<std::string>> rows;
  const Variant& ids = o["outarrvntSOLICIT_EMBARQUE_CONTAINER_ID"];
  for (std::size_t i = 0; i < ids.size(); ++i)
    rows.push_back({display(ids.at(i)), display(o["outarrvntNUM_CONTAINER"].at(i)),
                    display(o["arrTab_Tipo_Container_ID"].at(i)),
                    display(o["outarrvntnum_lacre_cia_maritima"].at(i)),
                    display(o["outarrvntnum_lacre_receita_federal"].at(i)),
                    display(o["outarrvntnum_lacre_min_saude"].at(i)),
                    amount_cell(o["outarrvntTara"].at(i)), amount_cell(o["OUTarrPeso_Carga"].at(i)),
                    amount_cell(o["OUTarrValor_NF"].at(i)),
                    display(o["outarrvntAGEND_CONTAINER_ID"].at(i))});
  print_table(demo.out,
              {"request", "container", "type", "line seal", "customs", "health", "tare", "weight",
               "invoice", "schedule"},
              rows);
}

}  // namespace qrnmvl::tool
