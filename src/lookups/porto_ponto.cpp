// The ports and the operation point linked to the user's branch.
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "lookups/lookups.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::lookups {

Variant gConsulta_Porto_Ponto(args::gConsulta_Porto_Ponto& p) {
  int line = 0;
  std::string sql;
  const FailureTarget target{p.invntBase_dados, p.invntConecta_db, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    line = 1;
    sql =
        "EXEC SP_QRN_CON_PORTO_PONTO3   " + to_text(gMonta_Numero_SQL(p.invntUsuario_internet_id));
    data::RowSet rs = data::open_rowset(sql, p.invntConecta_db, data::kStaticReadOnly);

    line = 2;
    if (rs.eof()) {
      report_failure(
          target,
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
    p.outvntTam_arr = Variant(static_cast<std::int32_t>(count));

    line = 4;
    p.outvntPONTO_OPERACAO_ID = gNormaliza_Valor(rs.field("PONTO_OPERACAO_ID"));

    line = 5;
    p.outarrvntPORTO_ID.redim(static_cast<std::size_t>(count));
    p.outarrvntnome_porto.redim(static_cast<std::size_t>(count));

    line = 6;
    for (long i = 0; i < count; ++i) {
      p.outarrvntPORTO_ID.at(i) = gNormaliza_Valor(rs.field("PORTO_ID"));
      p.outarrvntnome_porto.at(i) = gNormaliza_Valor(rs.field("nome_porto"));
      rs.move_next();
    }

    line = 7;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return line_context(" - QRNMVL.gConsulta_Porto_Ponto -(", error.description(), line) + sql;
  };

  return run_operation(
      target,
      "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o Administrador "
      "do Sistema.",
      body, context);
}

}  // namespace qrnmvl::lookups
