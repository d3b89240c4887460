// A closing request on the demo order 501 for the closing's tests, and the
// database lookups scripted as the application database answers them.
#pragma once

#include <algorithm>
#include <nlohmann/json.hpp>
#include <qrnmvl/container_rules.hpp>
#include <string>
#include <utility>
#include <vector>

#include "closing/closing.hpp"
#include "closing/validation.hpp"
#include "common/json_value.hpp"
#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::closing {

using testing::TestDatabase;
using Changes = std::vector<std::pair<std::string, Variant>>;

// The lookups as the application database answers them for the demo order 501, issued on
// 13/10/2025 with 2 days of tolerance, "today" being 20/10/2025: a schedule must belong to its
// request, and a container may be in no other request.
inline void script_lookups(const TestDatabase& db) {
  db.redefine("SP_VLM_CON_DT_OS02", "OS",
              "SELECT '2025/10/13' AS data_emissao, 2 AS DIAS, '2025/10/11' AS DATA_PERMITIDA, "
              "'13/10/2025' AS data_emissao_tela, '20/10/2025' AS DATA_ATUAL WHERE :OS = 501");
  db.redefine(
      "SP_036_CONSISTE_SEC_AGEND_CONT", "AGEND, CHAVE, SOLICIT",
      "SELECT :SOLICIT IS NOT NULL AND NOT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER "
      "WHERE AGEND_CONTAINER_ID = :AGEND AND SOLICIT_EMBARQUE_CONTAINER_ID = :SOLICIT) AS "
      "retorno, 'Agendamento ' || :AGEND || ' de outra solicitação.' AS Msg_Ret");
  db.redefine("SP_036_DUP_SOLICIT8", "ORIGEM, NUM, TIPO, SOLICIT, OS",
              "SELECT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER JOIN CONTAINER USING "
              "(CONTAINER_ID) WHERE NUM_CONTAINER = :NUM AND SOLICIT_EMBARQUE_CONTAINER_ID <> "
              ":SOLICIT) AS retorno, 'Container em outra solicitação. ' AS Msg_Ret");
}

// A valid closing of the demo order 501 (record 1001: three containers, terminal fields in use).
// A change names a parameter, or an element of one as "name[i]".
struct ClosingRequest {
  std::vector<Variant> values;
  Variant start, end, withdrawal, delivery;

  explicit ClosingRequest(const TestDatabase& db, const Changes& changes = {}) {
    const auto request = nlohmann::json::parse(R"({"invntUsuario_internet_id": 25,
      "inVntBanco_Dados": "SQLSERVER", "invntOrdem_Servico_Tipo_ID": 1001,
      "invntData_Ini_Execucao": "15/10/2025", "invntHora_Ini_Execucao": "08:00",
      "invntData_Fim_Execucao": "15/10/2025", "invntHora_Fim_Execucao": "17:30",
      "INvntOrdem_Servico_ID": 501, "inarrvntSolicit_Embarque_Container_ID": [7001, 7002, 7003],
      "inarrvntNum_Container": ["TGHU8731457", "MSCU5529040", "HLXU2309177"],
      "inarrvntNum_Lacre_Cia_Maritima": ["ML4471203", "ML4471204", "ML4471205"],
      "inarrvntNum_Lacre_Receita_Federal": ["RFB0098812", "", ""],
      "inarrvntNum_Lacre_Min_Saude": ["", "", ""], "inarrvntTara": ["2200,5", "3900", ""],
      "inarrvntAgend_Container_ID": [6001, 6002, 6003], "invntvntQtde_Sol_Cont": 3,
      "invntObserv": "Armazém 3, doca 5.", "INvntTab_Tipo_Ordem_Servico_ID": 2,
      "arrTab_Tipo_Container_ID": [1, 3, 2], "outvntMsg_Ret": "",
      "invntData_Retirada": "15/10/2025", "invntHora_Retirada": "07:40",
      "invntData_Entrega": "15/10/2025", "invntHora_Entrega": "18:00",
      "invntTab_Tipo_Servico_ID": 1, "invntIndic_Mostra_Campo_Terminal": "S",
      "arrPeso": ["18450", "24100", ""], "arrValorNF": ["98450", "", ""],
      "INvntPlaca_Cavalo": "ABC1D23", "invnttab_tipo_docto_id": 1, "invntnum_documento": "004512",
      "invntflag_num_docto": "S"})");
    for (const char* name : Closing::names)
      values.push_back(request.contains(name) ? from_json(request[name]) : Variant());
    values[0] = db.connection();
    for (const auto& [name, value] : changes) (*this)[name] = value;
  }
  Variant& operator[](const std::string& name) {
    const auto bracket = name.find('[');
    const auto* names = std::begin(Closing::names);
    Variant& value =
        values.at(std::find(names, std::end(Closing::names), name.substr(0, bracket)) - names);
    return bracket == std::string::npos ? value : value.at(std::stoul(name.substr(bracket + 1)));
  }
  Closing parameters() {
#define QRNMVL_TEST_FIRST(name) (*this)[#name]
#define QRNMVL_TEST_NEXT(name) , (*this)[#name]
    return Closing{QRNMVL_PARAMETERS_gGrava_Fechamento(QRNMVL_TEST_FIRST, QRNMVL_TEST_NEXT)};
#undef QRNMVL_TEST_FIRST
#undef QRNMVL_TEST_NEXT
  }
  bool validate(ContainerRulesFactory rules = make_default_container_rules) {
    Closing p = parameters();
    Variant connection_text(to_text(values[0]));
    return mConsiste_Campos(connection_text, p, rules, start, end, withdrawal, delivery);
  }
  // The whole operation; its result.
  Variant close(ContainerRulesFactory rules = make_default_container_rules) {
    Closing p = parameters();
    return gGrava_Fechamento(p, rules);
  }
};

}  // namespace qrnmvl::closing
