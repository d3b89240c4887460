// The incident checklist of one service-order type record: every incident type
// that applies to it, with what was already recorded for each.
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "incidents/incidents.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::incidents {
namespace {

using IncidentList = args::gMonta_Lista_Tab_Tipo_Incidente;

bool mMonta_Lista_Tab_Tipo_Incidente(IncidentList& p) {
  int line = 0;
  std::string sql;
  const FailureTarget target{p.invntBase_dados, p.invntConecta_db, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    sql = "EXECUTE SP_036_CON_LISTA_TIPO_INCIDENTE_OS4 " +
          to_text(gMonta_Numero_SQL(p.invntOrdem_Servico_Tipo_Ident)) + " ";
    data::RowSet rs = data::open_rowset(sql, p.invntConecta_db, data::kStaticReadOnly);

    line = 2;
    // An order without incident types leaves the caller's count and arrays as they were.
    if (rs.eof()) {
      rs.close();
      return true;
    }

    line = 3;
    rs.move_last();
    rs.move_first();
    const long count = rs.record_count();
    p.outvntTam_arr = Variant(static_cast<std::int32_t>(count));

    line = 4;
    const auto size = static_cast<std::size_t>(count);
    p.outarrvntTab_Tipo_Incidente_id.redim(size);
    p.outarrvntDesc_Tipo_Incidente.redim(size);
    p.outarrvntFlag_Selecionado.redim(size);
    p.OUTarrJustificativa.redim(size);
    p.OUTarrFlag_contr_canhoto.redim(size);
    p.outarrflag_tipo_cadastro.redim(size);

    line = 5;
    for (std::size_t i = 0; i < size; ++i) {
      p.outarrvntTab_Tipo_Incidente_id.at(i) = gNormaliza_Valor(rs.field("tab_tipo_incidente_id"));
      p.outarrvntDesc_Tipo_Incidente.at(i) = gTrata_Nulo(rs.field("descricao"));
      p.outarrvntFlag_Selecionado.at(i) = gTrata_Nulo(rs.field("Flag_Selecionado"));
      p.OUTarrJustificativa.at(i) = gTrata_Nulo(rs.field("justificativa"));
      p.OUTarrFlag_contr_canhoto.at(i) = gTrata_Nulo(rs.field("flag_contr_canhoto"));
      p.outarrflag_tipo_cadastro.at(i) = gTrata_Nulo(rs.field("flag_tipo_cadastro"));
      rs.move_next();
    }

    line = 6;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return line_context(" - M036TTI.mMonta_Lista_Tab_Tipo_Incidente( ", error.description(), line) +
           "SQL: " + sql;
  };

  return run_guarded(
      target, "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.",
      body, context);
}

}  // namespace

Variant gMonta_Lista_Tab_Tipo_Incidente(IncidentList& p) {
  int line = 0;
  const FailureTarget target{p.invntBase_dados, p.invntConecta_db, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    return mMonta_Lista_Tab_Tipo_Incidente(p);
  };

  // The operation builds no command of its own, so nothing follows "SQL: ".
  auto context = [&](const Error& error) {
    return line_context(" - M036MVL.gMonta_Lista_Tab_Tipo_Incidente( ", error.description(), line) +
           "SQL: ";
  };

  return run_operation(
      target, "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.",
      body, context);
}

}  // namespace qrnmvl::incidents
