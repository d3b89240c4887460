// Recording the incident checklist of one service-order type record: the
// chosen rows are validated and packed into delimited lists, and one procedure
// call replaces what was recorded for the record.
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "incidents/incidents.hpp"
#include "routine/frame.hpp"
#include "validators/validators.hpp"

namespace qrnmvl::incidents {
namespace {

// The classic Trim of a value, which keeps Null as Null; a Null joins as nothing
// and equals no text.
std::string trimmed(const Variant& value) {
  return value.is_null() ? std::string() : trim(to_text(value));
}

bool greater_than(const Variant& value, double literal) {
  const auto comparison = compare(value, literal);
  return comparison.has_value() && *comparison > 0;
}

// The refusals of the recording procedure are not run-time errors: their
// context carries the classic error line of "no error".
constexpr long kNoErrorLine = 0;

bool mInclui_Incidente(const Variant& invntConecta_db, const Variant& invntBase_dados,
                       const Variant& invntUsuario_internet_id,
                       const Variant& invntOrdem_Servico_Tipo_Ident,
                       const Variant& invntFlag_Grava_Observacao, const std::string& strIncidentes,
                       const Variant& invntObservacao, const std::string& strJustificativas,
                       const std::string& strSelecionados, Variant& outvntMsg_Ret,
                       const std::string& strTipos_Cadastro) {
  int line = 0;
  std::string sql;
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};
  constexpr const char* kMessage =
      "Problemas na inclusão do Incidente. Contacte o Administrador do Sistema.";

  auto body = [&] {
    line = 1;
    sql = "EXECUTE SP_036_INC_INCIDENTE3 " +
          to_text(gMonta_Numero_SQL(invntOrdem_Servico_Tipo_Ident)) + ", " +
          to_text(gMonta_Texto_SQL(invntFlag_Grava_Observacao)) + ", " +
          to_text(gMonta_Texto_SQL(Variant(strIncidentes))) + ", " +
          to_text(gMonta_Texto_SQL(invntObservacao)) + ", " +
          to_text(gMonta_Texto_SQL(Variant(strJustificativas))) + ", " +
          to_text(gMonta_Texto_SQL(Variant(strSelecionados))) + ", " +
          to_text(gMonta_Numero_SQL(invntUsuario_internet_id)) + ", " +
          to_text(gMonta_Texto_SQL(Variant(strTipos_Cadastro))) + " ";
    data::RowSet rs = data::open_rowset(sql, invntConecta_db);

    line = 2;
    if (!rs.is_open()) {
      report_failure(target, kMessage,
                     line_context(" - M036MVL.mInclui_Incidente( ", "State = 0", kNoErrorLine) +
                         "SQL: " + sql);
      return false;
    }

    line = 3;
    if (rs.eof()) {
      report_failure(
          target, kMessage,
          line_context(" - M036MVL.mInclui_Incidente( ", "Fim de Arquivo", kNoErrorLine) +
              "SQL: " + sql);
      return false;
    }

    line = 4;
    if (!equals(gNormaliza_Valor(rs.field("retorno")), 0.0)) {
      report_failure(target, kMessage,
                     line_context(" - M036MVL.mInclui_Incidente( ", "Retorno > 0 ", kNoErrorLine) +
                         "SQL: " + sql);
      rs.close();
      return false;
    }

    line = 5;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return line_context(" - M036MVL.mInclui_Incidente( ", error.description(), line) +
           "SQL: " + sql;
  };

  return run_guarded(target, kMessage, body, context);
}

}  // namespace

Variant gGrava_Incidente(args::gGrava_Incidente& p) {
  int line = 0;
  const FailureTarget target{p.invntBase_dados, p.invntConecta_db, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    std::string strIncidentes;
    std::string strJustificativas;
    std::string strSelecionados;
    std::string strTipos_Cadastro;

    line = 2;
    if (greater_than(gNormaliza_Valor(p.invntTam_Arr), 0.0)) {
      // The rows visited follow the count as the caller sent it, not the arrays'
      // size: a count beyond the arrays is a failure, not a shorter list.
      const double last = to_double(p.invntTam_Arr) - 1;
      for (std::size_t i = 0; static_cast<double>(i) <= last; ++i) {
        line = 2;
        // Both tests always run, as the classic "Or" evaluates both sides.
        const bool ticked = trimmed(p.inarrvntFlag_Selecionado.at(i)) == "S";
        const bool justified = !equals(gTrata_Nulo(p.INarrJustificativa.at(i)), "");
        if (!ticked && !justified) continue;

        line = 21;
        strIncidentes += trimmed(p.InarrvntTab_Tipo_Incidente_id.at(i)) + ",";

        line = 22;
        // Incident 18 of an order of type 2, registered by hand, must say why.
        // The incident id is only read as a number on orders of type 2: on any
        // other order an id travels to the procedure as it was given.
        const bool required_justification =
            equals(gNormaliza_Valor(p.inTAB_TIPO_ORDEM_SERVICO_iD), 2.0) &&
            equals(gNormaliza_Valor(p.InarrvntTab_Tipo_Incidente_id.at(i)), 18.0) &&
            equals(gTrata_Nulo(p.INarrflag_tipo_cadastro.at(i)), "M");
        const Variant required(required_justification ? "S" : "N");

        line = 23;
        strTipos_Cadastro += trimmed(p.INarrflag_tipo_cadastro.at(i)) + ",";

        line = 24;
        if (!gConsiste_String(Variant("Observação Indicador (Linha " +
                                      number_text(static_cast<long>(i) + 1) + ")"),
                              p.INarrJustificativa.at(i), Variant(255), p.invntUsuario_internet_id,
                              p.outvntMsg_Ret, required))
          return false;

        line = 25;
        strJustificativas += piece(p.INarrJustificativa.at(i)) + "|";

        line = 26;
        strSelecionados +=
            std::string(!equals(gTrata_Nulo(p.inarrvntFlag_Selecionado.at(i)), "") ? "S" : "N") +
            ",";
      }
    }

    line = 3;
    // Every element was followed by its separator; the last one goes.
    if (!strIncidentes.empty()) strIncidentes.pop_back();
    if (!strTipos_Cadastro.empty()) strTipos_Cadastro.pop_back();
    if (!strJustificativas.empty()) strJustificativas.pop_back();
    if (!strSelecionados.empty()) strSelecionados.pop_back();

    line = 4;
    if (!gConsiste_String(Variant("Observação"), p.invntObservacao, Variant(300),
                          p.invntUsuario_internet_id, p.outvntMsg_Ret, Variant("N")))
      return false;

    line = 5;
    return mInclui_Incidente(p.invntConecta_db, p.invntBase_dados, p.invntUsuario_internet_id,
                             p.invntOrdem_Servico_Tipo_Ident, p.invntFlag_Grava_Observacao,
                             strIncidentes, p.invntObservacao, strJustificativas, strSelecionados,
                             p.outvntMsg_Ret, strTipos_Cadastro);
  };

  // The operation runs no command of its own, so nothing follows "SQL: ".
  auto context = [&](const Error& error) {
    return line_context(" - M036MVL.gGrava_Incidente( ", error.description(), line) + "SQL: ";
  };

  return run_operation(target,
                       "Problemas na Gravação do Incidente. Contacte o Administrador do Sistema.",
                       body, context);
}

}  // namespace qrnmvl::incidents
