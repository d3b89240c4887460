// The ports and the operation point linked to the user's branch.
#include "common/frame.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/data.hpp"
#include "lookups/lookups.hpp"

namespace qrnmvl::lookups {

Variant gConsulta_Porto_Ponto(Variant& invntUsuario_internet_id, Variant& invntConecta_db,
                              Variant& invntBase_dados, Variant& outvntPONTO_OPERACAO_ID,
                              Variant& outvntTam_arr, Variant& outarrvntPORTO_ID,
                              Variant& outvntMsg_Ret, Variant& outarrvntnome_porto) {
  int line = 0;
  std::string sql;
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    sql = "EXEC SP_QRN_CON_PORTO_PONTO3   " + to_text(gMonta_Numero_SQL(invntUsuario_internet_id));
    data::RowSet rs = data::open_rowset(sql, invntConecta_db, data::kStaticReadOnly);

    line = 2;
    if (rs.eof()) {
      report_failure(target,
                     "Problemas ao identificar os Portos relacionado à Filial do Usuário.Contacte o "
                     "Administrador do Sistema.",
                     " - M036CA.mConsulta_Porto_Ponto -( State = 0: " + std::string(" No Nº ") +
                         number_text(line) + ")" + sql);
      return false;
    }

    line = 3;
    rs.move_last();
    rs.move_first();
    const long count = rs.record_count();
    outvntTam_arr = Variant(static_cast<std::int32_t>(count));

    line = 4;
    outvntPONTO_OPERACAO_ID = gNormaliza_Valor(rs.field("PONTO_OPERACAO_ID"));

    line = 5;
    outarrvntPORTO_ID.redim(static_cast<std::size_t>(count));
    outarrvntnome_porto.redim(static_cast<std::size_t>(count));

    line = 6;
    for (long i = 0; i < count; ++i) {
      outarrvntPORTO_ID.at(i) = gNormaliza_Valor(rs.field("PORTO_ID"));
      outarrvntnome_porto.at(i) = gNormaliza_Valor(rs.field("nome_porto"));
      rs.move_next();
    }

    line = 7;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return " - QRNMVL.gConsulta_Porto_Ponto -(" + error.description() + " : " + " No Nº " +
           number_text(line) + ")" + sql;
  };

  return run_operation(
      target,
      "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o Administrador "
      "do Sistema.",
      body, context);
}

}  // namespace qrnmvl::lookups
