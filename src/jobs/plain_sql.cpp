// The "ORACLE" path of a job request: the job row and its parameter text are
// written with plain SQL, with ids from infra_ids, and every write is recorded
// in the change log. The literals are those of the job module, which put texts
// in upper case.
#include <optional>
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/transaction.hpp"
#include "jobs/jobs.hpp"

namespace qrnmvl::jobs {
namespace {

// The table and action codes under which the job module records its writes.
const Variant kJobTable(490);
const Variant kInsertAction(1);

// Upper case of a UTF-8 text: ASCII and the accented letters of Latin-1
// (à-þ, but not ÷), which is every letter a Portuguese text holds.
std::string upper_case(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto byte = static_cast<unsigned char>(out[i]);
    if (byte >= 'a' && byte <= 'z') {
      out[i] = static_cast<char>(byte - 'a' + 'A');
    } else if (byte == 0xC3 && i + 1 < out.size()) {
      const auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    }
  }
  return out;
}

// The literal of a missing value, by comparison operator.
std::string missing(std::string_view comparison) {
  if (comparison == "<>") return " is not null";
  if (comparison == "=") return " is null";
  return " null";
}

std::string with_operator(std::string_view comparison, const std::string& literal) {
  return " " + std::string(comparison) + " " + literal;
}

bool is_empty_text(const Variant& value) { return to_text(gTrata_Nulo(value)).empty(); }

// Reads one counter of infra_ids and writes back the next value, inside one
// write transaction on the thread's connection for the text: the embedded
// engine begins it with BEGIN IMMEDIATE, so no other connection can read the
// same value before this one has written its own. Empty when the table has no
// row. `sql` and `line` follow the commands for the caller's failure context.
template <class UpdateText>
std::optional<std::int32_t> next_id(const Variant& connection_text, std::string_view column,
                                    const std::string& select, UpdateText update_text,
                                    std::string& sql, int& line) {
  data::Transaction transaction(data::cached_connection(to_text(connection_text)));

  line = 1;
  sql = select;
  data::RowSet rs = data::open_rowset(sql, connection_text);

  line = 2;
  if (rs.eof()) return std::nullopt;

  line = 3;
  const std::int32_t id = to_long(Variant(to_double(gNormaliza_Valor(rs.field(column))) + 1));
  rs.close();
  sql = update_text(Variant(id));
  data::open_rowset(sql, connection_text);
  transaction.commit();
  return id;
}

}  // namespace

std::string plain_number(const Variant& value, std::string_view comparison) {
  if (!is_numeric(value) || to_double(value) == 0) return missing(comparison);
  return with_operator(comparison, to_text(value));
}

std::string plain_text(const Variant& value, std::string_view comparison) {
  if (is_empty_text(value)) return upper_case(missing(comparison));
  return upper_case(with_operator(comparison, "'" + to_text(value) + "'"));
}

std::string plain_date(const Variant& value, std::string_view comparison) {
  if (is_empty_text(value)) return missing(comparison);
  return with_operator(comparison, "to_date('" + format_date(value, "yyyy/mm/dd hh:mm:ss") +
                                       "', 'yyyy/mm/dd hh24:mi:ss')");
}

std::int32_t gAtualiza_infra_ids(const Variant& column_name, const Variant& /*system_name*/,
                                 const FailureTarget& request) {
  int line = 0;
  std::string sql;
  std::int32_t id = 0;

  auto body = [&] {
    const std::string column = to_text(column_name);
    const auto allocated = next_id(
        request.connection, column, "SELECT  " + column + " FROM infra_ids ",
        [&](const Variant& next) {
          return "UPDATE infra_ids SET " + column + " = " + to_text(next);
        },
        sql, line);
    if (!allocated) {
      request.message = "Não há registro no banco de dados na tabela Infra_ids. ";
      return false;
    }
    id = *allocated;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" ZEL_SQL1.gAtualiza_infra_ids ( ", error, line) + " strsq: " + sql;
  };
  if (!run_guarded(request, "Acesso aos SQL não disponível. Favor tentar mais tarde.", body,
                   context))
    return 0;
  return id;
}

void mInclui_LOG_SISTEMA(const FailureTarget& request, const Variant& table_code,
                         const Variant& action_code, const Variant& record_id) noexcept {
  // A change that cannot be recorded never stops the work it records: each
  // failure ends the recording and nothing else. Without an id, no row is
  // written at all, so the counter is never left behind the rows.
  std::optional<std::int32_t> id;
  try {
    std::string sql;
    int line = 0;
    id = next_id(
        request.connection, "LOG_SISTEMA_ID", "SELECT LOG_SISTEMA_ID FROM infra_ids",
        [](const Variant& next) {
          return " Update infra_ids set LOG_SISTEMA_ID = " + to_text(gMonta_Numero_SQL(next));
        },
        sql, line);
    if (!id) request.message = "Não hã registro na tabela Infra_ids.";
  } catch (...) {
  }
  if (!id) return;

  try {
    const auto number = [](const Variant& value) { return to_text(gMonta_Numero_SQL(value)); };
    std::string sql = " Insert ";
    sql += " Into LOG_SISTEMA ( ";
    sql += " LOG_SISTEMA_ID, ";
    sql += " TABELA_SISTEMA_ID, ";
    sql += " TAB_TIPO_ACAO_ID, ";
    sql += " USUARIO_ID, ";
    sql += " registro_id, ";
    sql += " data_log ) ";
    sql += " Values ( ";
    sql += number(Variant(*id)) + " , " + number(table_code) + " , " + number(action_code) + " , " +
           number(request.user_id) + " , " + number(record_id) + " , ";
    if (equals(request.database_kind, "SQLSERVER"))
      sql += " getdate() ) ";
    else if (equals(request.database_kind, "ORACLE"))
      sql += " SYSDATE )  ";
    else
      sql += " '01/01/2000' ) ";
    data::open_rowset(sql, request.connection);
  } catch (...) {
  }
}

bool mTrataSP_QRN_INC_JOB(const FailureTarget& request, const Variant& function_id,
                          const Variant& email_title, const Variant& send_email,
                          const Variant& email_text, const Variant& email_address,
                          const Variant& sender_address, const Variant& attachment_address,
                          const Variant& start_date, std::string& answer_text) {
  int line = 0;
  std::string sql;

  auto body = [&] {
    line = 1;
    const std::int32_t id =
        gAtualiza_infra_ids(Variant("LOG_GERADOR_ID"), Variant("VELMORAN"), request);
    if (id == 0) return false;
    const Variant job_id(id);

    line = 2;
    sql = " INSERT ";
    sql += " INTO LOG_GERADOR ";
    sql += " ( LOG_GERADOR_ID , ";
    sql += " USUARIO_INTERNET_ID , ";
    sql += " FUNCAO_ID , ";
    sql += " TITULO_EMAIL , ";
    sql += " FLAG_ENVIA_EMAIL , ";
    sql += " TEXTO_EMAIL , ";
    sql += " ENDERECO_EMAIL , ";
    sql += " Tab_Status_JOB_ID, ";
    sql += " Data_Inicio, ";
    sql += " Email_Remetente, ";
    sql += " Endereco_anexo ";
    sql += " ) ";
    sql += " VALUES ";
    sql += " (  ";
    sql += plain_number(job_id) + " , " + plain_number(request.user_id) + " , " +
           plain_number(function_id) + " , " + plain_text(email_title) + " , " +
           plain_text(send_email) + " , " + plain_text(email_text) + " , " +
           plain_text(email_address) + " , " + plain_number(Variant(1)) + " , " +
           plain_date(start_date) + " , " + plain_text(sender_address) + " , " +
           plain_text(attachment_address);
    sql += " ) ";
    data::open_rowset(sql, request.connection);

    line = 3;
    mInclui_LOG_SISTEMA(request, kJobTable, kInsertAction, job_id);

    line = 4;
    answer_text =
        " Select 0 Retorno, '' MSG_RET , " + to_text(job_id) + " Log_Gerador_ID From Infra_IDS ";
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mTrataSP_QRN_INC_JOB ( ", error, line) + " Strsq: " + sql;
  };
  return run_guarded(request, "Acesso a inclusão do JOB não disponível. Favor tentar mais tarde.",
                     body, context);
}

bool mTrataSP_QRN_INCLUI_PARAMETRO_JOB(const FailureTarget& request, const Variant& job_id,
                                       const Variant& parameter_text, std::string& answer_text) {
  int line = 0;
  std::string sql;

  auto body = [&] {
    line = 1;
    sql = " UPDATE LOG_GERADOR ";
    sql += " SET ";
    sql += " TXT_QUERY =  ";
    sql += plain_text(parameter_text);
    sql += " WHERE LOG_GERADOR_ID  = ";
    sql += to_text(job_id);
    data::open_rowset(sql, request.connection);

    line = 2;
    mInclui_LOG_SISTEMA(request, kJobTable, kInsertAction, job_id);

    line = 3;
    answer_text = " Select 0 Retorno, '' Msg_Ret From Infra_IDS ";
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mTrataSP_QRN_INCLUI_PARAMETRO_JOB ( ", error, line) +
           " Strsq: " + sql;
  };
  return run_guarded(
      request, "Acesso a inclusão dos parãmetros do JOB não disponível. Favor tentar mais tarde.",
      body, context);
}

}  // namespace qrnmvl::jobs
