// The container lines and the transport-document flag of a service order being
// loaded for closing. Neither routine handles its own failures: they belong to
// the operation that loads the order.
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "lookups/ordem_servico.hpp"

namespace qrnmvl::lookups {

bool mConsulta_Campos_SOLICIT_EMBARQUE_CONTAINER(const Variant& connection_text, OrderQuery& p) {
  const std::string sql =
      "EXEC SP_VLM_CON_SOL_CONT_OS_FECHA11 " + to_text(gMonta_Numero_SQL(p.outvntordem_servico_id));
  data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

  if (!rs.is_open()) {
    p.outvntMsg_Ret =
        "Não foi encontrado nenhum container para fechamento desta OS. Favor contactar o "
        "Administrador do Sistema.";
    return false;
  }

  Variant* const arrays[] = {&p.outarrvntSOLICIT_EMBARQUE_CONTAINER_ID,
                             &p.outarrvntNUM_CONTAINER,
                             &p.outarrvntnum_lacre_cia_maritima,
                             &p.outarrvntnum_lacre_receita_federal,
                             &p.outarrvntnum_lacre_min_saude,
                             &p.outarrvntTara,
                             &p.outarrvntAGEND_CONTAINER_ID,
                             &p.arrTab_Tipo_Container_ID,
                             &p.OUTarrPeso_Carga,
                             &p.OUTarrValor_NF};

  // An order without container lines still gets one empty line, for the user to fill in.
  if (rs.eof()) {
    p.outvntQtde_Sol_Cont = Variant(std::int16_t{1});
    for (Variant* array : arrays) array->redim(1);
    return true;
  }

  rs.move_last();
  rs.move_first();
  const long count = rs.record_count();
  p.outvntQtde_Sol_Cont = Variant(static_cast<std::int32_t>(count));
  for (Variant* array : arrays) array->redim(static_cast<std::size_t>(count));
  p.ouvntObserv = gTrata_Nulo(rs.field("Observ"));

  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    p.outarrvntSOLICIT_EMBARQUE_CONTAINER_ID.at(i) =
        gTrata_Nulo(rs.field("SOLICIT_EMBARQUE_CONTAINER_ID"));
    p.outarrvntNUM_CONTAINER.at(i) = gTrata_Nulo(rs.field("NUM_CONTAINER"));
    p.outarrvntnum_lacre_cia_maritima.at(i) = gTrata_Nulo(rs.field("num_lacre_cia_maritima"));
    p.outarrvntnum_lacre_receita_federal.at(i) = gTrata_Nulo(rs.field("num_lacre_receita_federal"));
    p.outarrvntnum_lacre_min_saude.at(i) = gTrata_Nulo(rs.field("num_lacre_min_saude"));
    // The tare is shown as an amount with two decimals; a missing or zero tare as nothing.
    p.outarrvntTara.at(i) = gFormata_Valor(gNormaliza_Valor(rs.field("TARA")), Variant(""));
    p.outarrvntAGEND_CONTAINER_ID.at(i) = gTrata_Nulo(rs.field("AGEND_CONTAINER_iD"));
    p.arrTab_Tipo_Container_ID.at(i) = gTrata_Nulo(rs.field("TAB_TIPO_CONTAINER_ID"));
    p.OUTarrPeso_Carga.at(i) = gTrata_Nulo(rs.field("peso_carga"));
    p.OUTarrValor_NF.at(i) = gTrata_Nulo(rs.field("valor"));
    rs.move_next();
  }

  rs.close();
  return true;
}

bool mVerifica_CTAC_OS(const Variant& connection_text, OrderQuery& p) {
  const std::string sql =
      "EXEC SP_VLM_CON_OS_CTAC " + to_text(gMonta_Numero_SQL(p.outvntordem_servico_id));
  data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

  if (rs.eof()) {
    p.outvntflag_ctac_os = "N";
    return true;
  }

  p.outvntflag_ctac_os = gTrata_Nulo(rs.field("flag_ctac_os"));
  rs.close();
  return true;
}

}  // namespace qrnmvl::lookups
