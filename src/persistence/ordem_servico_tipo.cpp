// The first write of a closing: the order-level data on the service-type record.
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "persistence/persistence.hpp"
#include "persistence/shared.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::persistence {
namespace {

// Pick-up and delivery are empty texts when the order does not use the
// terminal fields: they travel as null.
std::string terminal_date(const Variant& value) {
  if (equals(gTrata_Nulo(value), "")) return "null";
  return to_text(gMonta_Data_SQL(value));
}

}  // namespace

bool mAltera_Campos_ORDEM_SERVICO_TIPO(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& /*invntEmpresa_id*/,
    Variant& invntBase_dados, Variant& /*invntNome_Produto*/, Variant& invntOrdem_Servico_Tipo_ID,
    Variant& invntData_Hora_Ini_Execucao, Variant& invntData_Hora_Fim_Execucao,
    Variant& invntTab_Status_OS_Tipo_ID, Variant& outvntMsg_Ret, Variant& invntData_Hora_Retirada,
    Variant& invntData_Hora_Entrega, Variant& invntPlaca_Cavalo, Variant& invnttab_tipo_docto_id,
    Variant& invntnum_documento) noexcept {
  int line = 0;
  std::string strsq;

  // The refusals below reach the user only through the closing stopping:
  // they write neither the message nor the log.
  auto body = [&] {
    line = 1;
    strsq = "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 " +
            to_text(gMonta_Numero_SQL(invntOrdem_Servico_Tipo_ID)) + ", " +
            to_text(gMonta_Data_SQL(invntData_Hora_Ini_Execucao)) + ", " +
            to_text(gMonta_Data_SQL(invntData_Hora_Fim_Execucao)) + ", " +
            terminal_date(invntData_Hora_Retirada) + ", " + terminal_date(invntData_Hora_Entrega) +
            ", " + to_text(gMonta_Numero_SQL(invntTab_Status_OS_Tipo_ID)) + ", " +
            to_text(gMonta_Texto_SQL(invntPlaca_Cavalo)) + ", " +
            to_text(gMonta_Numero_SQL(invntUsuario_internet_id)) + ", " +
            to_text(gMonta_Numero_SQL(invnttab_tipo_docto_id)) + ", " +
            to_text(gMonta_Texto_SQL(invntnum_documento)) + " ";
    data::RowSet rs = data::open_rowset(strsq, invntConecta_db);

    line = 2;
    if (!rs.is_open()) return false;

    line = 3;
    if (rs.eof()) return false;

    line = 4;
    const bool accepted = retorno_zero(rs);
    rs.close();
    return accepted;
  };

  return run_guarded_with_command(
      {invntBase_dados, invntConecta_db, invntUsuario_internet_id, outvntMsg_Ret},
      kClosingUnavailable, " - QrnMvl.mAltera_Campos_ORDEM_SERVICO_TIPO (", line, strsq, body);
}

}  // namespace qrnmvl::persistence
