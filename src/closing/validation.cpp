// The closing validation: every rule a closing request must pass before the
// closing writes anything, in the order the user is told about them.
#include "closing/validation.hpp"

#include <memory>
#include <string>

#include "closing/consistency.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "routine/frame.hpp"
#include "validators/validators.hpp"

namespace qrnmvl::closing {
namespace {

// Amounts of a container row (tare, cargo weight, invoice value) run from 0 to this.
constexpr double kMaximumAmount = 9999999.99;

// The classic Trim, which keeps a Null a Null (and so equal to nothing).
Variant trimmed(const Variant& value) {
  return value.is_null() ? value : Variant(trim(to_text(value)));
}

// Conditions as the classic comparisons read them: a Null comparison holds neither way.
bool greater(const Variant& value, const char* literal) {
  const auto comparison = compare(value, literal);
  return comparison.has_value() && *comparison > 0;
}
bool differs(const Variant& value, const char* literal) {
  const auto comparison = compare(value, literal);
  return comparison.has_value() && *comparison != 0;
}
bool differs(const Variant& value, double literal) {
  const auto comparison = compare(value, literal);
  return comparison.has_value() && *comparison != 0;
}

// dd/mm/yyyy rewritten as yyyy/mm/dd, which orders correctly as plain text.
std::string year_first(const std::string& date) {
  return mid(date, 7, 4) + "/" + mid(date, 4, 2) + "/" + mid(date, 1, 2);
}

// The cleaning of a form text: without the blanks around it, then without the
// characters that could break a command text.
void clean_trimmed(Variant& value) {
  value = gRetira_Caracteres_Especiais(Variant(trim(to_text(value))));
}

}  // namespace

std::int32_t container_rows(const Closing& p) {
  const Variant& count = p.invntvntQtde_Sol_Cont;
  if (count.is_empty() || count.is_null() || !is_numeric(count)) return 0;
  const double rows = to_double(count);
  if (rows < 1 || rows != static_cast<double>(static_cast<std::int64_t>(rows))) return 0;
  return to_long(count);
}

bool row_carries_data(const Closing& p, std::size_t row) {
  // Every test is made, as the classic "Or" evaluates all of them.
  const bool number = greater(p.inarrvntNum_Container.at(row), "");
  const bool first_seal = greater(trimmed(p.inarrvntNum_Lacre_Cia_Maritima.at(row)), "");
  const bool customs_seal = greater(p.inarrvntNum_Lacre_Receita_Federal.at(row), "");
  const bool health_seal = greater(p.inarrvntNum_Lacre_Min_Saude.at(row), "");
  const bool tare = differs(gNormaliza_Valor(p.inarrvntTara.at(row)), 0.0);
  return number || first_seal || customs_seal || health_seal || tare;
}

bool mConsiste_Campos(Variant& connection_text, Closing& p, ContainerRulesFactory& rules,
                      Variant& start, Variant& end, Variant& withdrawal, Variant& delivery) {
  int line = 0;
  Variant& user = p.invntUsuario_internet_id;
  Variant& kind = p.inVntBanco_Dados;
  Variant& message = p.outvntMsg_Ret;
  const FailureTarget target{kind, connection_text, user, message};

  auto body = [&] {
    const Variant none("");  // no limit
    const Variant required("S");
    const Variant optional("N");
    const Variant zero(0);
    const Variant maximum(kMaximumAmount);
    const Variant max_20(20);
    // The rows visited follow the count as the caller sent it, not the arrays'
    // size: a count beyond the arrays is a failure, rows beyond the count are
    // left alone. A count that is not a whole number is refused first, so
    // that the rows checked here are the rows the save visits.
    const auto rows = [&](auto&& visit) -> bool {
      const std::int32_t count = container_rows(p);
      for (std::int32_t i = 0; i < count; ++i)
        if (!visit(static_cast<std::size_t>(i), number_text(static_cast<long>(i) + 1)))
          return false;
      return true;
    };

    line = 1;
    if (!gConsiste_Inteiro(Variant("Quantidade de Containers"), p.invntvntQtde_Sol_Cont, none,
                           none, user, message, optional))
      return false;

    for (Variant* value :
         {&p.invntOrdem_Servico_Tipo_ID, &p.invntData_Ini_Execucao, &p.invntHora_Ini_Execucao,
          &p.invntData_Fim_Execucao, &p.invntHora_Fim_Execucao, &p.invntData_Retirada,
          &p.invntHora_Retirada, &p.invntData_Entrega, &p.invntHora_Entrega,
          &p.INvntOrdem_Servico_ID, &p.invntObserv, &p.INvntTab_Tipo_Ordem_Servico_ID,
          &p.invntTab_Tipo_Servico_ID})
      clean_trimmed(*value);
    // The plate and the document fields keep their blanks.
    for (Variant* value : {&p.INvntPlaca_Cavalo, &p.invnttab_tipo_docto_id, &p.invntnum_documento,
                           &p.invntflag_num_docto})
      *value = gRetira_Caracteres_Especiais(*value);

    const bool amounts_read = rows([&](std::size_t i, const std::string& row) {
      line = 1;
      for (Variant* column : {&p.inarrvntSolicit_Embarque_Container_ID, &p.inarrvntNum_Container,
                              &p.arrTab_Tipo_Container_ID, &p.inarrvntNum_Lacre_Cia_Maritima,
                              &p.inarrvntNum_Lacre_Receita_Federal, &p.inarrvntNum_Lacre_Min_Saude,
                              &p.inarrvntTara, &p.inarrvntAgend_Container_ID})
        clean_trimmed(column->at(i));

      // The amounts of a row are read as soon as it carries a tare.
      line = 2;
      if (!greater(gTrata_Nulo(p.inarrvntTara.at(i)), "")) return true;
      return gConsiste_Numero(Variant("Peso (Linha " + row + ")"), p.arrPeso.at(i), zero, maximum,
                              user, message, optional) &&
             gConsiste_Numero(Variant("Tara (Linha " + row + ")"), p.inarrvntTara.at(i), zero,
                              maximum, user, message, optional) &&
             gConsiste_Numero(Variant("Valor NF(Linha " + row + ")"), p.arrValorNF.at(i), zero,
                              maximum, user, message, optional);
    });
    if (!amounts_read) return false;

    line = 3;
    if (!gConsiste_Inteiro(Variant("Ordem Serviço Tipo id"), p.invntOrdem_Servico_Tipo_ID, none,
                           none, user, message, required))
      return false;
    if (!gConsiste_Inteiro(Variant("Ordem Serviço id"), p.INvntOrdem_Servico_ID, none, none, user,
                           message, required))
      return false;

    // A date and its hour, both required; the date comes back as yyyy/mm/dd.
    const auto date_and_hour = [&](const char* date_label, Variant& date, const char* hour_label,
                                   Variant& hour, Variant& day) {
      Variant converted_hour;
      return gConsiste_Data(Variant(date_label), date, none, none, user, message, day, required) &&
             gConsiste_Hora(Variant(hour_label), hour, none, none, user, message, converted_hour,
                            required);
    };

    line = 4;
    Variant start_date, end_date;
    if (!date_and_hour("Data Início Execução", p.invntData_Ini_Execucao, "Hora Início Execução",
                       p.invntHora_Ini_Execucao, start_date) ||
        !date_and_hour("Data Fim Execução", p.invntData_Fim_Execucao, "Hora fim Execução",
                       p.invntHora_Fim_Execucao, end_date))
      return false;

    line = 5;
    // The form sends the indicator as it showed the fields: exactly "S".
    const bool terminal_fields = equals(p.invntIndic_Mostra_Campo_Terminal, "S");
    Variant withdrawal_date, delivery_date;
    if (terminal_fields) {
      if (!date_and_hour("Data Retirada", p.invntData_Retirada, "Hora Retirada",
                         p.invntHora_Retirada, withdrawal_date) ||
          !date_and_hour("Data Entrega", p.invntData_Entrega, "Hora Entrega", p.invntHora_Entrega,
                         delivery_date))
        return false;
    } else {
      // Fields the form did not show are not saved, whatever they held.
      p.invntData_Retirada = Variant("");
      p.invntHora_Retirada = Variant("");
      p.invntData_Entrega = Variant("");
      p.invntHora_Entrega = Variant("");
    }

    line = 6;
    Variant data_emissao, DIAS, DATA_PERMITIDA, data_emissao_tela, DATA_ATUAL;
    if (!mConsulta_DT_OS(kind, p.INvntOrdem_Servico_ID, data_emissao, DIAS, DATA_PERMITIDA,
                         data_emissao_tela, DATA_ATUAL, user, connection_text, message))
      return false;
    const std::string today = year_first(to_text(DATA_ATUAL));

    // Dates compare as their yyyy/mm/dd texts, hours as their hh:mm texts.
    const std::string start_day = to_text(start_date);
    const std::string end_day = to_text(end_date);
    const std::string start_time = to_text(p.invntHora_Ini_Execucao);
    const std::string end_time = to_text(p.invntHora_Fim_Execucao);
    // Service type 1 may start some days before the order was issued.
    const bool issue_window = trim(to_text(p.invntTab_Tipo_Servico_ID)) == "1";
    const std::string issue_day = to_text(data_emissao);
    const std::string permitted_day = to_text(DATA_PERMITIDA);
    const std::string issue_shown = to_text(data_emissao_tela);
    const std::string window = " menos " + to_text(DIAS) + " dias ";

    line = 71;
    if (start_day > end_day) {
      message = Variant(
          "A Data/Hora de Início de Execução não pode ser maior que a Data/Hora Fim de Execução.");
      return false;
    }
    line = 72;
    if (start_day == end_day && start_time > end_time) {
      message =
          Variant("Hora de Início de Execução não pode ser maior que a Hora Fim de Execução.");
      return false;
    }
    line = 73;
    if (end_day > today) {
      message = Variant("A Data/ Hora de fim de Execução não pode ser maior que a Data de hoje " +
                        to_text(DATA_ATUAL));
      return false;
    }
    line = 74;
    if (issue_window ? start_day < permitted_day : start_day < issue_day) {
      message =
          Variant("A Data/Hora de Inicio de Execução " + to_text(p.invntData_Ini_Execucao) +
                  " não pode ser menor que a data de emissão da Ordem de Serviço: " + issue_shown +
                  (issue_window ? window : std::string()));
      return false;
    }

    if (terminal_fields) {
      const std::string withdrawal_day = to_text(withdrawal_date);
      const std::string delivery_day = to_text(delivery_date);

      line = 81;
      if (withdrawal_day > start_day) {
        message = Variant(
            "A Data/Hora de Retirada do Terminal não pode ser maior que a Data/Hora de Início de "
            "Execução.");
        return false;
      }
      line = 82;
      if (withdrawal_day == start_day && to_text(p.invntHora_Retirada) > start_time) {
        message = Variant(
            "Hora de Retirada do Terminal não pode ser maior que a Hora de Início de Execução.");
        return false;
      }
      line = 83;
      if (issue_window ? withdrawal_day < permitted_day : withdrawal_day < issue_day) {
        message = Variant("A Data/Hora de Retirada do Terminal " + to_text(p.invntData_Retirada) +
                          " não pode ser menor que a data de emissão da Ordem de Serviço: " +
                          issue_shown + (issue_window ? window : std::string()));
        return false;
      }
      line = 84;
      if (end_day > delivery_day) {
        message = Variant(
            "A Data/Hora de Fim de Execução não pode ser maior que a Data/Hora de Entrega no "
            "Terminal.");
        return false;
      }
      line = 85;
      if (to_text(p.invntData_Fim_Execucao) == to_text(p.invntData_Entrega) &&
          end_time > to_text(p.invntHora_Entrega)) {
        message = Variant(
            "Hora de Fim de Execução não pode ser maior que a Hora de Entrega no Terminal.");
        return false;
      }
      line = 86;
      if (delivery_day > today) {
        message =
            Variant("A Data/ Hora de Entrega no Terminal não pode ser maior que a Data de hoje " +
                    to_text(DATA_ATUAL));
        return false;
      }
    }

    line = 9;
    if (!gConsiste_String(Variant("Placa Cavalo"), p.INvntPlaca_Cavalo, Variant(7), user, message,
                          optional))
      return false;
    if (!gConsiste_Inteiro(Variant("Tipo de Documento"), p.invnttab_tipo_docto_id, none, none, user,
                           message, required))
      return false;
    const Variant number_required(equals(gTrata_Nulo(p.invntflag_num_docto), "S") ? "S" : "N");
    if (!gConsiste_Inteiro(Variant("Número do Documento"), p.invntnum_documento, none, none, user,
                           message, number_required))
      return false;

    line = 10;
    // Only container transport carries container rows; order types 12 and 9
    // close without them. Every side is judged, as the classic "And" does.
    const Variant order_type = gNormaliza_Valor(p.INvntTab_Tipo_Ordem_Servico_ID);
    const bool container_service = equals(gNormaliza_Valor(p.invntTab_Tipo_Servico_ID), 1.0);
    const bool not_12 = differs(order_type, 12.0);
    const bool not_9 = differs(order_type, 9.0);
    const bool check_rows = container_service && not_12 && not_9;
    // The order type as sent: a text holding the digits equals the number.
    Variant& sent_type = p.INvntTab_Tipo_Ordem_Servico_ID;
    long counted = 0;

    if (check_rows) {
      std::unique_ptr<ContainerRules> container_rules = rules();
      if (!container_rules) raise(err::object_not_set);

      const bool rows_checked = rows([&](std::size_t i, const std::string& row) {
        Variant& request_id = p.inarrvntSolicit_Embarque_Container_ID.at(i);
        Variant& number = p.inarrvntNum_Container.at(i);

        line = 101;
        if (!gConsiste_Inteiro(Variant("Solicit Embarque Container id (Linha " + row + ")"),
                               request_id, none, none, user, message, optional))
          return false;

        line = 102;
        if (!gConsiste_Inteiro(Variant("Agend Container id (Linha " + row + ")"),
                               p.inarrvntAgend_Container_ID.at(i), none, none, user, message,
                               required))
          return false;

        line = 103;
        if (!row_carries_data(p, i)) return true;

        line = 104;
        // Types 2, 7 and 8 move containers that were never scheduled here.
        if (differs(sent_type, 2.0) && differs(sent_type, 7.0) && differs(sent_type, 8.0)) {
          Variant second_key("");
          if (!mConsiste_SEC_Agend_Container(user, kind, connection_text,
                                             p.inarrvntAgend_Container_ID.at(i), second_key,
                                             request_id, message))
            return false;
        }

        line = 105;
        if (!gConsiste_String(Variant("Nº Container (Linha " + row + ")"), number, max_20, user,
                              message, required))
          return false;

        line = 106;
        Variant indicator;
        if (container_rules->check_property(user, kind, connection_text, request_id, indicator,
                                            message, p.invntOrdem_Servico_Tipo_ID) != 0) {
          message = Variant(piece(message) + "Acesso a prop. container.(Linha " + row +
                            ") - Nº Container " + piece(number));
          return false;
        }

        line = 107;
        if (differs(trimmed(indicator), "S") &&
            container_rules->check_number(user, kind, connection_text, number, message) != 0) {
          message = Variant(piece(message) + "(Linha " + row + ") - Nº Container " + piece(number));
          return false;
        }

        line = 108;
        if (differs(order_type, 2.0) && differs(order_type, 3.0) && differs(order_type, 5.0) &&
            differs(order_type, 6.0) &&
            !mConsiste_Dupl_Solicit(user, kind, connection_text, number,
                                    p.arrTab_Tipo_Container_ID.at(i), request_id,
                                    p.INvntOrdem_Servico_ID, message)) {
          message = Variant(piece(message) + "Acesso a solicitação do container.(Linha " + row +
                            ") - Nº Container " + piece(number));
          return false;
        }

        line = 109;
        if (equals(gTrata_Nulo(p.arrTab_Tipo_Container_ID.at(i)), "")) {
          message = Variant("Preencha o Tipo de Container (Linha " + row + ")");
          return false;
        }

        line = 110;
        if (!gConsiste_String(Variant("1º Lacre (Cia Maritíma) (Linha " + row + ")"),
                              p.inarrvntNum_Lacre_Cia_Maritima.at(i), max_20, user, message,
                              required))
          return false;
        if (!gConsiste_String(Variant("2º Lacre (Receita Federal) (Linha " + row + ")"),
                              p.inarrvntNum_Lacre_Receita_Federal.at(i), max_20, user, message,
                              optional))
          return false;
        if (!gConsiste_String(Variant("2º Lacre (Min. Saúde) (Linha " + row + ")"),
                              p.inarrvntNum_Lacre_Min_Saude.at(i), max_20, user, message, optional))
          return false;

        // Types 16 and 17 carry cargo that must be declared with its value.
        const bool declared_cargo = equals(sent_type, 16.0) || equals(sent_type, 17.0);
        line = 111;
        if (declared_cargo &&
            !gConsiste_Numero(Variant("Peso (Linha " + row + ")"), p.arrPeso.at(i), zero, maximum,
                              user, message, required))
          return false;
        line = 112;
        if (!gConsiste_Numero(Variant("Tara (Linha " + row + ")"), p.inarrvntTara.at(i), zero,
                              maximum, user, message, optional))
          return false;
        line = 113;
        if (declared_cargo &&
            !gConsiste_Numero(Variant("Valor NF(Linha " + row + ")"), p.arrValorNF.at(i), zero,
                              maximum, user, message, required))
          return false;

        line = 114;
        ++counted;
        return true;
      });
      if (!rows_checked) return false;
    }

    line = 11;
    if (check_rows && counted == 0) {
      message = Variant("Informe os Dados do Container.");
      return false;
    }

    line = 12;
    if (!gConsiste_String(Variant("Observação"), p.invntObserv, Variant(300), user, message,
                          optional))
      return false;

    line = 13;
    start = Variant(start_day + " " + start_time);
    end = Variant(end_day + " " + end_time);
    if (equals(trimmed(p.invntIndic_Mostra_Campo_Terminal), "S")) {
      withdrawal = Variant(to_text(withdrawal_date) + " " + to_text(p.invntHora_Retirada));
      delivery = Variant(to_text(delivery_date) + " " + to_text(p.invntHora_Entrega));
    } else {
      withdrawal = Variant("");
      delivery = Variant("");
    }
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mConsiste_Campos (", error, line);
  };

  return run_guarded(target, kClosingUnavailable, body, context);
}

}  // namespace qrnmvl::closing
