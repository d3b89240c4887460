// One container line of a closing: seals, tare, cargo weight, invoice value,
// the container and the observation, or, for the order types that keep no
// line data, the observation on the container's schedule alone.
#include <cmath>
#include <initializer_list>
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "persistence/persistence.hpp"
#include "persistence/shared.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::persistence {
namespace {

// The form leaves an amount out as the empty text. A Null amount has no text:
// rendering it raises (Error 94), and the line fails through its frame rather
// than sending a null the validation never saw (it reads the amounts of a row
// only when the row carries a tare).
std::string amount_text(const Variant& amount) { return to_text(amount); }

// An amount in the readable text of the call, with a decimal point.
std::string amount_sql(const Variant& amount) {
  std::string with_point;
  gTroca_Virgula_Ponto(amount_text(amount), with_point);
  return to_text(gMonta_Numero_SQL(Variant(with_point)));
}

// The form writes amounts with a decimal comma, whatever the server's settings.
void read_amount(Variant& amount) {
  if (!amount_text(amount).empty()) amount = Variant(gConverte_Decimal(amount, ","));
}

// A part of a decimal text as a number under the regional settings; an empty part is 0.
double part_value(const std::string& part) { return part.empty() ? 0.0 : to_double(Variant(part)); }

}  // namespace

bool gTroca_Virgula_Ponto(const std::string& strTexto, std::string& strSaida) {
  strSaida = strTexto;
  for (char& c : strSaida)
    if (c == ',') c = '.';
  return true;
}

double gConverte_Decimal(const Variant& vntValor, const std::string& strSeparador) noexcept {
  try {
    const std::string text = trim(to_text(vntValor));
    std::string integer_part;
    std::string fraction_part;
    bool in_fraction = false;
    for (std::size_t i = 0; i < text.size();) {
      if (!strSeparador.empty() && text.compare(i, strSeparador.size(), strSeparador) == 0) {
        in_fraction = true;
        i += strSeparador.size();
        continue;
      }
      (in_fraction ? fraction_part : integer_part) += text[i];
      ++i;
    }
    const double integer = part_value(integer_part);
    const double fraction =
        part_value(fraction_part) / std::pow(10.0, static_cast<double>(text_length(fraction_part)));
    // The fraction belongs to the number's magnitude: "-12,5" is -12.5.
    const bool negative = trim(integer_part).rfind('-', 0) == 0;
    return negative ? integer - fraction : integer + fraction;
  } catch (...) {
    return 0;
  }
}

bool mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& /*invntEmpresa_id*/,
    Variant& invntBase_dados, Variant& /*invntNome_Produto*/,
    Variant& invntSolicit_Embarque_Container_ID, Variant& invntContainer_id,
    Variant& invntNum_Lacre_Cia_Maritima, Variant& invntNum_Lacre_Receita_Federal,
    Variant& invntNum_Lacre_Min_Saude, Variant& invntTara, Variant& invntAgend_Container_ID,
    Variant& invntOrdem_Servico_ID, Variant& invntObserv, Variant& invntPeso, Variant& invntValorNF,
    Variant& outvntMsg_Ret) noexcept {
  int line = 0;
  std::string strsq;  // the call as a text, for the failure context only

  // The refusals below reach the user only through the closing's row
  // decoration: they write neither the message nor the log.
  auto body = [&] {
    line = 1;
    strsq = "EXECUTE SP_VLM_GRA_SOL_CONT_OS_FECHA5 " +
            to_text(gMonta_Numero_SQL(invntOrdem_Servico_ID)) + ", " +
            to_text(gMonta_Numero_SQL(invntAgend_Container_ID)) + ", " +
            to_text(gMonta_Texto_SQL(invntObserv)) + ", " +
            to_text(gMonta_Numero_SQL(invntSolicit_Embarque_Container_ID)) + ", " +
            to_text(gMonta_Numero_SQL(invntContainer_id)) + ", " +
            to_text(gMonta_Texto_SQL(invntNum_Lacre_Cia_Maritima)) + ", " +
            to_text(gMonta_Texto_SQL(invntNum_Lacre_Receita_Federal)) + ", " +
            to_text(gMonta_Texto_SQL(invntNum_Lacre_Min_Saude)) + ", " + amount_sql(invntTara) +
            ", " + amount_sql(invntPeso) + ", " + amount_sql(invntValorNF) + ", " +
            to_text(gMonta_Numero_SQL(invntUsuario_internet_id));

    line = 2;
    for (Variant* id : {&invntOrdem_Servico_ID, &invntAgend_Container_ID,
                        &invntSolicit_Embarque_Container_ID, &invntContainer_id})
      empty_when_zero(*id);

    line = 3;
    for (Variant* amount : {&invntTara, &invntPeso, &invntValorNF}) read_amount(*amount);

    line = 4;
    const std::shared_ptr<data::Connection> connection = data::connection_for(invntConecta_db);

    line = 5;
    data::RowSet rs;
    if (connection->is_open()) {
      using data::DataType;
      data::Command command = procedure_command(connection, "SP_VLM_GRA_SOL_CONT_OS_FECHA5");
      append_input(command, "Ordem_Servico_ID", DataType::Integer, 0, invntOrdem_Servico_ID);
      append_input(command, "Agend_Container_ID", DataType::Integer, 0, invntAgend_Container_ID);
      append_input(command, "Observ", DataType::VarChar, 300, invntObserv);
      append_input(command, "Solicit_Embarque_Container_ID", DataType::Integer, 0,
                   invntSolicit_Embarque_Container_ID);
      append_input(command, "container_id", DataType::Integer, 0, invntContainer_id);
      append_input(command, "num_lacre_cia_maritima", DataType::VarChar, 20,
                   invntNum_Lacre_Cia_Maritima);
      append_input(command, "num_lacre_receita_federal", DataType::VarChar, 20,
                   invntNum_Lacre_Receita_Federal);
      append_input(command, "num_lacre_min_saude", DataType::VarChar, 20, invntNum_Lacre_Min_Saude);
      append_input(command, "Tara", DataType::Currency, 0, invntTara);
      append_input(command, "Peso", DataType::Currency, 0, invntPeso);
      append_input(command, "ValorNF", DataType::Currency, 0, invntValorNF);
      append_input(command, "Usuario_internet_id", DataType::Integer, 0, invntUsuario_internet_id);
      rs = command.execute();
    }

    line = 6;
    if (!rs.is_open()) return false;

    line = 7;
    if (rs.eof()) {
      rs.close();
      return false;
    }

    line = 8;
    if (!retorno_zero(rs)) {
      rs.close();
      return false;
    }

    line = 9;
    // The closing compares this id with the next line's to find where a
    // container request ends.
    invntSolicit_Embarque_Container_ID =
        gNormaliza_Valor(rs.field("SOLICIT_EMBARQUE_CONTAINER_ID"));
    rs.close();
    return true;
  };

  return run_guarded_with_command(
      {invntBase_dados, invntConecta_db, invntUsuario_internet_id, outvntMsg_Ret},
      kClosingUnavailable, " - QrnMvl.mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER (", line, strsq,
      body);
}

bool mGrava_Obs_Agend_CONTAINER(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                Variant& /*invntEmpresa_id*/, Variant& /*invntBase_dados*/,
                                Variant& /*invntNome_Produto*/, Variant& invntAgend_Container_ID,
                                Variant& invntOrdem_Servico_ID, Variant& invntObserv,
                                Variant& /*outvntMsg_Ret*/) {
  const std::string sql = "EXEC SP_VLM_ALT_AGEN_CONT_OS_FEC " +
                          to_text(gMonta_Numero_SQL(invntOrdem_Servico_ID)) + ", " +
                          to_text(gMonta_Numero_SQL(invntAgend_Container_ID)) + ", " +
                          to_text(gMonta_Texto_SQL(invntObserv)) + ", " +
                          to_text(gMonta_Numero_SQL(invntUsuario_internet_id));
  data::RowSet rs = data::open_rowset(sql, invntConecta_db);
  if (!rs.is_open() || rs.eof()) return false;

  const bool accepted = retorno_zero(rs);
  rs.close();
  return accepted;
}

}  // namespace qrnmvl::persistence
