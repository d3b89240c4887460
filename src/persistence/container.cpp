// The container register: each container of a closing is found by its number
// and given the type the closing reports, or created with it.
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "persistence/persistence.hpp"
#include "persistence/shared.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::persistence {
namespace {

std::int32_t container_id_of(const data::RowSet& rs) {
  return to_long(gNormaliza_Valor(rs.field("container_id")));
}

}  // namespace

bool gConsulta_Ordem_Servico(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                             Variant& invntEmpresa_id, Variant& invntBase_dados,
                             Variant& invntNome_Produto, Variant& invntNum_Container,
                             std::int32_t& outlngContainer_id, Variant& invntTab_Tipo_Container_ID,
                             Variant& outvntMsg_Ret) noexcept {
  int line = 0;
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    if (!mConsulta_Campos_CONTAINER_ID(invntConecta_db, invntUsuario_internet_id, invntEmpresa_id,
                                       invntBase_dados, invntNome_Produto, invntNum_Container,
                                       outlngContainer_id, outvntMsg_Ret))
      return false;

    line = 2;
    if (outlngContainer_id != 0) {
      Variant container_id(outlngContainer_id);
      return mAltera_Tipo_Container(invntBase_dados, container_id, invntTab_Tipo_Container_ID,
                                    invntUsuario_internet_id, invntConecta_db, outvntMsg_Ret);
    }
    // Another closing may register the same number between the lookup and
    // this call: creation then answers that container, which is as good.
    return mConsulta_Campos_vENDERECO_PESSOA(invntConecta_db, invntUsuario_internet_id,
                                             invntEmpresa_id, invntBase_dados, invntNome_Produto,
                                             invntNum_Container, invntTab_Tipo_Container_ID,
                                             outlngContainer_id, outvntMsg_Ret);
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.gConsulta_Ordem_Servico (", error, line);
  };

  return run_guarded(target, kClosingUnavailable, body, context);
}

bool mConsulta_Campos_CONTAINER_ID(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                   Variant& /*invntEmpresa_id*/, Variant& invntBase_dados,
                                   Variant& /*invntNome_Produto*/, Variant& invntNum_Container,
                                   std::int32_t& outlngContainer_id,
                                   Variant& outvntMsg_Ret) noexcept {
  int line = 0;
  std::string strsq;

  auto body = [&] {
    line = 1;
    strsq = "EXEC SP_VLM_CON_CONTAINER_OS_FECHA   " + to_text(gMonta_Texto_SQL(invntNum_Container));
    data::RowSet rs = data::open_rowset(strsq, invntConecta_db, data::kStaticReadOnly);
    if (rs.eof()) return true;

    line = 2;
    outlngContainer_id = container_id_of(rs);
    rs.close();
    return true;
  };

  return run_guarded_with_command(
      {invntBase_dados, invntConecta_db, invntUsuario_internet_id, outvntMsg_Ret},
      kClosingUnavailable, " - QrnMvl.mConsulta_Campos_CONTAINER_ID (", line, strsq, body);
}

bool mConsulta_Campos_vENDERECO_PESSOA(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                       Variant& /*invntEmpresa_id*/, Variant& invntBase_dados,
                                       Variant& /*invntNome_Produto*/, Variant& invntNum_Container,
                                       Variant& invntTab_Tipo_Container_ID,
                                       std::int32_t& outlngContainer_id,
                                       Variant& outvntMsg_Ret) noexcept {
  int line = 0;
  std::string strsq;

  // A refused creation leaves the message to the closing's row decoration.
  auto body = [&] {
    line = 1;
    strsq = "EXEC SP_VLM_INC_CONTAINER_OS_FECHA2   " +
            to_text(gMonta_Texto_SQL(invntNum_Container)) + ", " +
            to_text(gMonta_Numero_SQL(invntTab_Tipo_Container_ID)) + ", " +
            to_text(gMonta_Numero_SQL(invntUsuario_internet_id));
    data::RowSet rs = data::open_rowset(strsq, invntConecta_db);
    if (!rs.is_open() || rs.eof()) return false;

    line = 2;
    if (!retorno_zero(rs)) {
      rs.close();
      return false;
    }

    line = 3;
    outlngContainer_id = container_id_of(rs);
    rs.close();
    return true;
  };

  return run_guarded_with_command(
      {invntBase_dados, invntConecta_db, invntUsuario_internet_id, outvntMsg_Ret},
      kClosingUnavailable, " - QrnMvl.mConsulta_Campos_vENDERECO_PESSOA (", line, strsq, body);
}

bool mAltera_Tipo_Container(Variant& /*invntBase_dados*/, Variant& invntContainer_id,
                            Variant& invntTab_Tipo_Container_ID, Variant& invntUsuario_internet_id,
                            Variant& invntConecta_db, Variant& outvntMsg_Ret) {
  const std::string sql = "EXEC SP_VLM_ALT_TP_CONT2   " +
                          to_text(gMonta_Numero_SQL(invntContainer_id)) + ", " +
                          to_text(gMonta_Numero_SQL(invntTab_Tipo_Container_ID)) + ", " +
                          to_text(gMonta_Numero_SQL(invntUsuario_internet_id));
  data::RowSet rs = data::open_rowset(sql, invntConecta_db);
  if (!rs.is_open() || rs.eof()) return false;

  if (retorno_zero(rs)) {
    rs.close();
    return true;
  }

  outvntMsg_Ret = gTrata_Nulo(rs.field("Msg_Ret"));
  rs.close();
  return false;
}

}  // namespace qrnmvl::persistence
