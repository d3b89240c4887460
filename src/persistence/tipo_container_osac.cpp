// The container type on the order: after each container line of a closing,
// the order's container record follows the type the closing reports. The
// procedure decides whether anything changes; this side passes the keys and
// reports a refusal.
#include <string>
#include <string_view>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "persistence/persistence.hpp"
#include "persistence/shared.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::persistence {
namespace {

// Upper case as the log has always shown it: ASCII letters and the accented
// letters of Latin-1 (UTF-8 C3 A0 to C3 BE, but not the division sign).
std::string upper_case(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (c >= 'a' && c <= 'z') {
      c = static_cast<unsigned char>(c - 'a' + 'A');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      auto& next = reinterpret_cast<unsigned char&>(out[++i]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7)
        next = static_cast<unsigned char>(next - 0x20);
    }
  }
  return out;
}

std::string number_rendering(const Variant& value) {
  return upper_case(to_text(gMonta_Numero_SQL(gTrata_Nulo(value))));
}

std::string rendering(const data::Parameter& parameter) {
  switch (parameter.type) {
    case data::DataType::Integer:
      return number_rendering(parameter.value);
    case data::DataType::Currency: {
      std::string text = number_rendering(parameter.value);
      gTroca_Virgula_Ponto(text, text);
      return text;
    }
    case data::DataType::DBTimeStamp:
      return upper_case(to_text(gMonta_Texto_SQL(parameter.value)));
    case data::DataType::VarChar: {
      const std::string text = to_text(gMonta_Texto_SQL(parameter.value));
      return text == "null" ? "NULL" : text;
    }
    default:
      return upper_case(to_text(gTrata_Nulo(parameter.value)));
  }
}

}  // namespace

std::string mGetCommandText(const data::Command* command) noexcept {
  try {
    if (command == nullptr) return "";
    // The name sits in "{ call NAME(?, ...) }"; a text without the "(" (a
    // command without parameters) has no name to cut out.
    const std::string text = command->text();
    const std::size_t call = instr(text, "call");
    const std::size_t open = instr(text, "(", call);
    if (open < call + 5) raise(err::invalid_procedure_call);
    std::string out = "EXECUTE " + mid(text, call + 5, open - call - 5) + " ";
    const auto& parameters = command->parameters();
    for (std::size_t i = 0; i < parameters.size(); ++i)
      out += (i == 0 ? "" : ", ") + rendering(parameters[i]);
    return out;
  } catch (...) {
    try {
      return " - mGetCommandText (" + current_error().description() + ") ";
    } catch (...) {
      return "";
    }
  }
}

bool mAltera_Tab_Tipo_Container_ID_OSAC(Variant& invntUsuario_internet_id, Variant& invntBase_dados,
                                        Variant& invntConecta_db, Variant& invntOrdem_Servico_ID,
                                        Variant& invntAgend_Container_ID,
                                        Variant& invntTab_Tipo_Container_ID,
                                        Variant& outvntMsg_Ret) noexcept {
  int line = 0;
  std::string log_text;  // the command as a text, for the failure contexts
  const FailureTarget target{invntBase_dados, invntConecta_db, invntUsuario_internet_id,
                             outvntMsg_Ret};
  constexpr std::string_view opening = " - QRNMVL.mAltera_Tab_Tipo_Container_ID_OSAC -(";
  constexpr std::string_view kProblem =
      "Problema no Fechamento da Ordem de Serviço. Contacte o Administrador do Sistema.";

  // The procedure's refusals are reported like failures, with the command's text.
  auto refuse = [&](std::string_view message, std::string_view what) {
    report_failure(target, message, std::string(opening) + std::string(what) + ")" + log_text);
    return false;
  };

  auto body = [&] {
    line = 2;
    for (Variant* id :
         {&invntOrdem_Servico_ID, &invntAgend_Container_ID, &invntTab_Tipo_Container_ID})
      empty_when_zero(*id);

    line = 3;
    const std::shared_ptr<data::Connection> connection = data::connection_for(invntConecta_db);

    line = 4;
    data::RowSet rs;
    if (connection->is_open()) {
      using data::DataType;
      data::Command command = procedure_command(connection, "SP_036_ALT_CONTAINER_OSAC3");
      append_input(command, "Ordem_Servico_ID", DataType::Integer, 0, invntOrdem_Servico_ID);
      append_input(command, "Agend_Container_ID", DataType::Integer, 0, invntAgend_Container_ID);
      append_input(command, "Tab_Tipo_Container_ID", DataType::Integer, 0,
                   invntTab_Tipo_Container_ID);
      append_input(command, "Usuario_internet_id", DataType::Integer, 0, invntUsuario_internet_id);
      log_text = mGetCommandText(&command);
      rs = command.execute();
    }

    line = 5;
    if (!rs.is_open()) return refuse(kProblem, " State = 0 ");

    line = 6;
    if (rs.eof()) {
      rs.close();
      return refuse(kProblem, "Fim de Arquivo ");
    }

    line = 7;
    if (!retorno_zero(rs)) {
      const Variant reason = gTrata_Nulo(rs.field("msg_ret"));
      rs.close();
      return refuse("Problema no Fechamento da Ordem de Serviço - " + to_text(reason),
                    " Retorno <> 0 ");
    }

    line = 8;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return line_context(opening, error.description(), line) + log_text;
  };

  return run_guarded(
      target, "Problema no Fechamento da Ordem de Servico. Contacte o Administrador do Sistema.",
      body, context);
}

}  // namespace qrnmvl::persistence
