// Queueing a background job: the request is checked, the job row written and
// its parameter text stored, through the procedures or, on "ORACLE", through
// plain SQL.
#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/transaction.hpp"
#include "jobs/jobs.hpp"
#include "routine/message_log.hpp"
#include "validators/validators.hpp"

namespace qrnmvl::jobs {
namespace {

constexpr const char* kJobUnavailable =
    "Acesso a inclusão do JOB não disponível. Favor tentar mais tarde.";

bool is_oracle(const FailureTarget& request) { return equals(request.database_kind, "ORACLE"); }

// How many times a job request that lost to another writer is made.
constexpr int kJobTries = 10;

// A random pause whose range doubles with each try (up to half a second), so
// that requests that met once spread out instead of meeting again at once.
void pause_before_try(int attempt) {
  thread_local std::minstd_rand random(std::random_device{}());
  const unsigned range = std::min(500u, 10u << std::min(attempt - 1, 6));
  std::this_thread::sleep_for(std::chrono::milliseconds(2 + random() % range));
}

std::string number(const Variant& value) { return to_text(gMonta_Numero_SQL(value)); }
std::string text(const Variant& value) { return to_text(gMonta_Texto_SQL(value)); }

// The answer of a job write, procedure or plain SQL alike: open, with a row
// whose retorno is 0. Otherwise the refusal, with the answer's own reason
// in brackets when it gave one.
bool answer_accepted(data::RowSet& rs, Variant& message, const char* no_answer,
                     const char* refused_opening) {
  if (!rs.is_open() || rs.eof()) {
    message = no_answer;
    return false;
  }
  if (!equals(gNormaliza_Valor(rs.field("retorno")), 0)) {
    message = refused_opening + to_text(gTrata_Nulo(rs.field("Msg_Ret"))) + ").";
    rs.close();
    return false;
  }
  return true;
}

}  // namespace

bool gInclui_JOB(Variant& database_kind, Variant& connection_text, Variant& user_id,
                 Variant& message, Variant& function_id, Variant& email_title, Variant& send_email,
                 Variant& job_id, Variant& parameters, Variant& parameter_count,
                 Variant& email_text, Variant& email_address, Variant& start_date,
                 Variant& sender_address, Variant& attachment_address) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  // Every refusal is also left in the message log, for the job that never came.
  auto refuse = [&] {
    gGrava_LOG_MSG(database_kind, connection_text, user_id, Variant(1),
                   Variant("ZEL_JOB.gInclui_JOB - " + to_text(message)));
    return false;
  };

  auto body = [&] {
    line = 2;
    if (trim(to_text(gTrata_Nulo(database_kind))).empty()) {
      message = "Informações de configuração do sistema incompletas (Banco de Dados).";
      return refuse();
    }
    if (trim(to_text(gTrata_Nulo(connection_text))).empty()) {
      message = "Informações de configuração do sistema incompletas (String de Conexão).";
      return refuse();
    }
    if (!is_numeric(user_id)) {
      message = "Informações de configuração do sistema incompletas (Código do Usuário).";
      return refuse();
    }

    line = 3;
    const Variant user(to_long(gNormaliza_Valor(user_id)));
    const Variant connection(to_text(gTrata_Nulo(connection_text)));
    const Variant kind(to_text(gTrata_Nulo(database_kind)));
    const FailureTarget request{kind, connection, user, message};

    line = 4;
    for (Variant* argument :
         {&function_id, &email_title, &send_email, &parameter_count, &email_text, &email_address,
          &start_date, &sender_address, &attachment_address})
      *argument = gRetira_Caracteres_Especiais(*argument);

    line = 5;
    if (!is_numeric(parameter_count)) {
      message = "Quantidade de parâmetros informada inválida.";
      return refuse();
    }

    line = 6;
    const long count = to_long(parameter_count);
    for (long i = 0; i < count; ++i) {
      Variant& parameter = parameters.at(static_cast<std::size_t>(i));
      parameter = gRetira_Caracteres_Especiais(parameter);
    }

    line = 71;
    if (!mConsiste_Inclui_JOB(request, function_id, send_email, email_title, email_address,
                              email_text, start_date))
      return refuse();
    // The job row and its parameters (on "ORACLE" also the ids and the change
    // log) commit together: a job runner never finds a job without its
    // parameters. The transaction runs at the server's strictest isolation,
    // whatever the connection's default, so that the plain reading and
    // writing of the id counter never hands out one id twice; when it loses
    // to another writer (a serialization failure, a deadlock, a busy file) it
    // is tried again after a short random pause. A refusal and its log row are
    // the last try's.
    for (int attempt = 1;; ++attempt) {
      data::Transaction transaction(data::cached_connection(to_text(connection)),
                                    data::Isolation::Serializable);
      line = 72;
      bool written = mInclui_JOB(request, function_id, email_title, send_email, email_text,
                                 email_address, sender_address, attachment_address, start_date,
                                 job_id);
      line = 73;
      Variant parameter_text;
      written = written &&
                mMonta_Parametro(request, job_id, parameters, parameter_count, parameter_text);
      line = 74;
      written = written && mInclui_Parametros_JOB(request, job_id, parameter_text);
      line = 75;
      if (written) {
        transaction.commit();
        return true;
      }
      if (!transaction.conflicted() || attempt == kJobTries) return refuse();
      transaction.forget_deferred();
      message = Variant();
      job_id = Variant();
      pause_before_try(attempt);
    }
  };

  // The request itself sends no command, so nothing follows " Strsq: ".
  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.gInclui_JOB ( ", error, line) + " Strsq: ";
  };
  return run_guarded(target, kJobUnavailable, body, context);
}

bool mConsiste_Inclui_JOB(const FailureTarget& request, Variant& function_id, Variant& send_email,
                          Variant& email_title, Variant& email_address, Variant& email_text,
                          Variant& start_date) {
  int line = 0;
  const Variant none(""), required("S");

  auto body = [&] {
    line = 1;
    if (!gConsiste_Inteiro(Variant("Código da Função"), function_id, none, none, request.user_id,
                           request.message, required))
      return false;

    line = 2;
    if (!gConsiste_String(Variant("Envia E-Mail (S/N)"), send_email, Variant(1), request.user_id,
                          request.message, required))
      return false;

    line = 3;
    if (trim(to_text(gTrata_Nulo(start_date))).empty()) {
      start_date = "";
    } else if (!is_date(start_date)) {
      request.message = "Informe uma data de início válida.";
      return false;
    }

    line = 4;
    if (equals(send_email, "S")) {
      if (!gConsiste_String(Variant("Título do E-Mail"), email_title, Variant(100), request.user_id,
                            request.message, required))
        return false;
      if (!gConsiste_String(Variant("Destinatário do E-Mail"), email_address, Variant(100),
                            request.user_id, request.message, required))
        return false;
      if (!gConsiste_String(Variant("Texto do E-Mail"), email_text, Variant(255), request.user_id,
                            request.message, required))
        return false;
    } else {
      email_title = email_address = email_text = "";
    }

    line = 5;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mConsiste_Inclui_JOB ( ", error, line) + " Strsq: ";
  };
  return run_guarded(request,
                     "Acesso a consistência dos dados para a inclusão do JOB não disponível. "
                     "Favor tentar mais tarde.",
                     body, context);
}

bool mInclui_JOB(const FailureTarget& request, const Variant& function_id,
                 const Variant& email_title, const Variant& send_email, const Variant& email_text,
                 const Variant& email_address, const Variant& sender_address,
                 const Variant& attachment_address, const Variant& start_date, Variant& job_id) {
  int line = 0;
  std::string sql;

  auto body = [&] {
    line = 1;
    if (is_oracle(request)) {
      if (!mTrataSP_QRN_INC_JOB(request, function_id, email_title, send_email, email_text,
                                email_address, sender_address, attachment_address, start_date, sql))
        return false;
    } else {
      const Variant& user = request.user_id;
      sql = "EXEC SP_QRN_INC_JOB2   " + number(user) + ", " + number(function_id) + ", " +
            text(email_title) + ", " + text(send_email) + ", " + number(user) + ", " +
            text(email_text) + " , " + text(email_address) + " , " + number(Variant(1)) + " , " +
            text(sender_address) + " , " + text(attachment_address) + " , " +
            to_text(gMonta_Data_SQL(start_date)) + "  ";
    }

    line = 2;
    data::RowSet rs = data::open_rowset(sql, request.connection);

    line = 3;
    if (!answer_accepted(rs, request.message, "Problemas na inclusão do JOB.",
                         "Problemas na inclusão do JOB ("))
      return false;

    line = 5;
    job_id = gNormaliza_Valor(rs.field("LOG_GERADOR_ID"));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mInclui_JOB ( ", error, line) + " Strsq: " + sql;
  };
  return run_guarded(request, kJobUnavailable, body, context);
}

bool mMonta_Parametro(const FailureTarget& request, const Variant& job_id,
                      const Variant& parameters, const Variant& parameter_count,
                      Variant& parameter_text) {
  int line = 0;

  auto body = [&] {
    line = 1;
    std::string joined = "__JOB__" + to_text(job_id);

    line = 2;
    const long count = to_long(parameter_count);
    for (long i = 0; i < count; ++i)
      joined += "__" + to_text(parameters.at(static_cast<std::size_t>(i)));

    line = 3;
    parameter_text = Variant(std::move(joined));
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mMonta_Parametro ( ", error, line) + " Strsq: ";
  };
  return run_guarded(
      request, "Acesso a montagem dos parâmetros do JOB não disponível. Favor tentar mais tarde.",
      body, context);
}

bool mInclui_Parametros_JOB(const FailureTarget& request, const Variant& job_id,
                            const Variant& parameter_text) {
  int line = 0;
  std::string sql;

  auto body = [&] {
    line = 1;
    if (is_oracle(request)) {
      if (!mTrataSP_QRN_INCLUI_PARAMETRO_JOB(request, job_id, parameter_text, sql)) return false;
    } else {
      sql = "EXEC SP_QRN_INCLUI_PARAMETRO_JOB   " + to_text(job_id) + ", " + text(parameter_text) +
            ", " + to_text(request.user_id);
    }

    line = 2;
    data::RowSet rs = data::open_rowset(sql, request.connection);
    if (!answer_accepted(rs, request.message, "Problemas na inclusão dos parâmetros do JOB.",
                         "Problemas na inclusão dos parâmetros do JOB ("))
      return false;

    line = 3;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" Zel_JOGB.mInclui_Parametros_JOB ( ", error, line) + " Strsq: " + sql;
  };
  return run_guarded(
      request, "Acesso a inclusão dos parâmetros do JOB não disponível. Favor tentar mais tarde.",
      body, context);
}

}  // namespace qrnmvl::jobs
