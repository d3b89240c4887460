// The incident checklist of one service-order type record: every incident type
// that applies to it, with what was already recorded for each.
#include <string>

#include "common/frame.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/data.hpp"
#include "incidents/incidents.hpp"

namespace qrnmvl::incidents {
namespace {

bool mMonta_Lista_Tab_Tipo_Incidente(
    Variant& invntConecta_db, Variant& invntBase_dados, Variant& invntUsuario_internet_id,
    Variant& outvntTam_arr, Variant& outarrvntTab_Tipo_Incidente_id,
    Variant& outarrvntDesc_Tipo_Incidente, Variant& outarrvntFlag_Selecionado,
    Variant& invntOrdem_Servico_Tipo_Ident, Variant& OUTarrJustificativa,
    Variant& OUTarrFlag_contr_canhoto, Variant& outvntMsg_Ret, Variant& outarrflag_tipo_cadastro) {
  int line = 0;
  std::string sql;
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    sql = "EXECUTE SP_036_CON_LISTA_TIPO_INCIDENTE_OS4 " +
          to_text(gMonta_Numero_SQL(invntOrdem_Servico_Tipo_Ident)) + " ";
    data::RowSet rs = data::open_rowset(sql, invntConecta_db, data::kStaticReadOnly);

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
    outvntTam_arr = Variant(static_cast<std::int32_t>(count));

    line = 4;
    const auto size = static_cast<std::size_t>(count);
    outarrvntTab_Tipo_Incidente_id.redim(size);
    outarrvntDesc_Tipo_Incidente.redim(size);
    outarrvntFlag_Selecionado.redim(size);
    OUTarrJustificativa.redim(size);
    OUTarrFlag_contr_canhoto.redim(size);
    outarrflag_tipo_cadastro.redim(size);

    line = 5;
    for (std::size_t i = 0; i < size; ++i) {
      outarrvntTab_Tipo_Incidente_id.at(i) = gNormaliza_Valor(rs.field("tab_tipo_incidente_id"));
      outarrvntDesc_Tipo_Incidente.at(i) = gTrata_Nulo(rs.field("descricao"));
      outarrvntFlag_Selecionado.at(i) = gTrata_Nulo(rs.field("Flag_Selecionado"));
      OUTarrJustificativa.at(i) = gTrata_Nulo(rs.field("justificativa"));
      OUTarrFlag_contr_canhoto.at(i) = gTrata_Nulo(rs.field("flag_contr_canhoto"));
      outarrflag_tipo_cadastro.at(i) = gTrata_Nulo(rs.field("flag_tipo_cadastro"));
      rs.move_next();
    }

    line = 6;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return " - M036TTI.mMonta_Lista_Tab_Tipo_Incidente( " + error.description() + " : " +
           " No Nº " + number_text(line) + ")" + "SQL: " + sql;
  };

  return run_guarded(
      target, "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.",
      body, context);
}

}  // namespace

Variant gMonta_Lista_Tab_Tipo_Incidente(
    Variant& invntConecta_db, Variant& invntBase_dados, Variant& invntUsuario_internet_id,
    Variant& outvntTam_arr, Variant& outarrvntTab_Tipo_Incidente_id,
    Variant& outarrvntDesc_Tipo_Incidente, Variant& outarrvntFlag_Selecionado,
    Variant& invntOrdem_Servico_Tipo_Ident, Variant& OUTarrJustificativa,
    Variant& OUTarrFlag_contr_canhoto, Variant& outvntMsg_Ret, Variant& outarrflag_tipo_cadastro) {
  int line = 0;
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    return mMonta_Lista_Tab_Tipo_Incidente(
        invntConecta_db, invntBase_dados, invntUsuario_internet_id, outvntTam_arr,
        outarrvntTab_Tipo_Incidente_id, outarrvntDesc_Tipo_Incidente, outarrvntFlag_Selecionado,
        invntOrdem_Servico_Tipo_Ident, OUTarrJustificativa, OUTarrFlag_contr_canhoto, outvntMsg_Ret,
        outarrflag_tipo_cadastro);
  };

  // The operation builds no command of its own, so nothing follows "SQL: ".
  auto context = [&](const Error& error) {
    return " - M036MVL.gMonta_Lista_Tab_Tipo_Incidente( " + error.description() + " : " +
           " No Nº " + number_text(line) + ")" + "SQL: ";
  };

  return run_operation(
      target, "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.",
      body, context);
}

}  // namespace qrnmvl::incidents
