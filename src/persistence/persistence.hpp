// Closing persistence: what a closing writes once it has been validated. The
// order-level data on the service-type record, the container register, each
// container line of the order and the container type on the order.
//
// Every routine answers true when the database accepted its call. Each call
// commits on its own, so nothing written before a later refusal is undone.
// Routines marked noexcept have a failure handler: a run-time failure (the
// connection cannot be opened, the procedure raises an error, a column is
// missing, a value does not fit its parameter) sets the routine's message,
// writes one message-log row (type 1) and, for user id 1, appends the context
// to the message; they never raise. The two routines without one let the
// error reach their caller's handler. A refusal of the database answers false;
// whether it writes a message is said routine by routine.
//
// Arguments are the caller's own values, by reference: several routines write
// back into them (ids replaced by the empty text, amounts converted, the id the
// database returns). Commands run on the calling thread's connection for the
// connection text (data::connection_for), so calls on different threads are
// independent.
#pragma once

#include <cstdint>
#include <qrnmvl/variant.hpp>
#include <string>

#include "data/command.hpp"

namespace qrnmvl::persistence {

// --- The service-type record -------------------------------------------------

// Stores start and end of execution, pick-up and delivery at the terminal,
// truck plate and transport document (EXEC SP_VLM_GRA_FECHA_OS_TIPO5). Dates
// are "yyyy/mm/dd hh:mm" texts; an empty pick-up or delivery travels as null.
// The closing always passes the state 2 (closed). No row set, no row or a
// "retorno" other than 0 answer false without touching the message and
// without a log row. Run-time failure: "Acesso ao Fechamento da OS não
// disponível. Favor tentar mais tarde.".
bool mAltera_Campos_ORDEM_SERVICO_TIPO(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& invntEmpresa_id,
    Variant& invntBase_dados, Variant& invntNome_Produto, Variant& invntOrdem_Servico_Tipo_ID,
    Variant& invntData_Hora_Ini_Execucao, Variant& invntData_Hora_Fim_Execucao,
    Variant& invntTab_Status_OS_Tipo_ID, Variant& outvntMsg_Ret, Variant& invntData_Hora_Retirada,
    Variant& invntData_Hora_Entrega, Variant& invntPlaca_Cavalo, Variant& invnttab_tipo_docto_id,
    Variant& invntnum_documento) noexcept;

// --- The container register ----------------------------------------------------

// Finds the container by its number and sets its type, or creates it; the
// caller's id (0 before the call) receives the container's id. A refused
// creation answers false with the message untouched; a refused type change
// answers false with the procedure's "Msg_Ret" (or the empty text) as the
// message. Run-time failure, its own or the type change's: "Acesso ao
// Fechamento da OS não disponível. Favor tentar mais tarde.".
bool gConsulta_Ordem_Servico(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                             Variant& invntEmpresa_id, Variant& invntBase_dados,
                             Variant& invntNome_Produto, Variant& invntNum_Container,
                             std::int32_t& outlngContainer_id, Variant& invntTab_Tipo_Container_ID,
                             Variant& outvntMsg_Ret) noexcept;

// Looks the number up (EXEC SP_VLM_CON_CONTAINER_OS_FECHA). No row: true, the
// id left as it was; otherwise the id is set from "container_id".
bool mConsulta_Campos_CONTAINER_ID(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                   Variant& invntEmpresa_id, Variant& invntBase_dados,
                                   Variant& invntNome_Produto, Variant& invntNum_Container,
                                   std::int32_t& outlngContainer_id,
                                   Variant& outvntMsg_Ret) noexcept;

// Creates the container (EXEC SP_VLM_INC_CONTAINER_OS_FECHA2) and sets the id
// from "container_id". The id answered is the register's row for that number
// whether or not this call made it: a number registered a moment earlier by
// another closing comes back as that container. No row set, no row or a
// "retorno" other than 0: false, no message, no log row.
bool mConsulta_Campos_vENDERECO_PESSOA(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                       Variant& invntEmpresa_id, Variant& invntBase_dados,
                                       Variant& invntNome_Produto, Variant& invntNum_Container,
                                       Variant& invntTab_Tipo_Container_ID,
                                       std::int32_t& outlngContainer_id,
                                       Variant& outvntMsg_Ret) noexcept;

// Sets the type of a registered container (EXEC SP_VLM_ALT_TP_CONT2). No row
// set or no row: false, message untouched. "retorno" other than 0: false, the
// message replaced by "Msg_Ret" (the empty text when it is Null). No handler:
// errors reach the caller.
bool mAltera_Tipo_Container(Variant& invntBase_dados, Variant& invntContainer_id,
                            Variant& invntTab_Tipo_Container_ID, Variant& invntUsuario_internet_id,
                            Variant& invntConecta_db, Variant& outvntMsg_Ret);

// --- The container line ----------------------------------------------------------

// Writes one container line through the prepared command
// SP_VLM_GRA_SOL_CONT_OS_FECHA5 (twelve typed parameters). In the caller's
// values, before the call: the service-order, schedule, container request
// and container ids that read as 0 become the empty text (sent as NULL);
// tare, cargo weight and invoice value, when their text is not empty, become
// the Double gConverte_Decimal reads with ","; a Null amount is no amount.
// After an accepted call the container request id holds the id the procedure
// answers (0 when it answers Null). No row set, no row or a "retorno" other
// than 0: false, no message, no log row. Run-time failure: "Acesso ao
// Fechamento da OS não disponível. Favor tentar mais tarde.", the context
// ending in the call as a readable EXECUTE text.
bool mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& invntEmpresa_id,
    Variant& invntBase_dados, Variant& invntNome_Produto,
    Variant& invntSolicit_Embarque_Container_ID, Variant& invntContainer_id,
    Variant& invntNum_Lacre_Cia_Maritima, Variant& invntNum_Lacre_Receita_Federal,
    Variant& invntNum_Lacre_Min_Saude, Variant& invntTara, Variant& invntAgend_Container_ID,
    Variant& invntOrdem_Servico_ID, Variant& invntObserv, Variant& invntPeso, Variant& invntValorNF,
    Variant& outvntMsg_Ret) noexcept;

// Stores only the observation on the container's schedule (EXEC
// SP_VLM_ALT_AGEN_CONT_OS_FEC). No row set, no row or a "retorno" other than
// 0: false. The message is not written. No handler: errors reach the caller.
bool mGrava_Obs_Agend_CONTAINER(Variant& invntConecta_db, Variant& invntUsuario_internet_id,
                                Variant& invntEmpresa_id, Variant& invntBase_dados,
                                Variant& invntNome_Produto, Variant& invntAgend_Container_ID,
                                Variant& invntOrdem_Servico_ID, Variant& invntObserv,
                                Variant& outvntMsg_Ret);

// strSaida = strTexto with every "," replaced by "."; always true.
bool gTroca_Virgula_Ponto(const std::string& strTexto, std::string& strSaida);

// A number written with strSeparador as its decimal separator: the trimmed
// text is split at the first separator (later ones are skipped), each part is
// read as a number under the regional settings (an empty part is 0), and the
// fraction is added with the sign of the whole: "1234,5" is 1234.5, ",7" is
// 0.7, "-12,5" is -12.5. A number's own text form reads back as that number
// under either decimal separator. Anything that does not read is 0.
double gConverte_Decimal(const Variant& vntValor, const std::string& strSeparador) noexcept;

// --- The container type on the order -------------------------------------------

// Hands the order, schedule and container type ids to the prepared command
// SP_036_ALT_CONTAINER_OSAC3, which decides whether the order's container
// record changes. Ids that read as 0 become the empty text in the caller's
// values and travel as NULL. Every failure writes a message and one log row
// whose context ends in mGetCommandText of the command: no row set and no row
// "Problema no Fechamento da Ordem de Serviço. Contacte o Administrador do
// Sistema.", a refusal "Problema no Fechamento da Ordem de Serviço - " and
// the procedure's "msg_ret", a run-time failure "Problema no Fechamento da
// Ordem de Servico. Contacte o Administrador do Sistema.".
bool mAltera_Tab_Tipo_Container_ID_OSAC(Variant& invntUsuario_internet_id, Variant& invntBase_dados,
                                        Variant& invntConecta_db, Variant& invntOrdem_Servico_ID,
                                        Variant& invntAgend_Container_ID,
                                        Variant& invntTab_Tipo_Container_ID,
                                        Variant& outvntMsg_Ret) noexcept;

// A prepared command as a readable text for the log: "EXECUTE " + the name
// taken from the command's "{ call NAME(?, ...) }" text + " " + the values
// joined by ", ". Integers and currencies as numbers, NULL when Null, empty or
// 0 (currencies with "."); time stamps and variable-length texts between
// apostrophes, NULL when empty; any other type as its text; all but
// variable-length texts in upper case. No command: the empty text. Whatever
// stops it (a command without parameters has no "(", a value without a text
// form) gives " - mGetCommandText (" + the error's description + ") ".
std::string mGetCommandText(const data::Command* command) noexcept;

}  // namespace qrnmvl::persistence
