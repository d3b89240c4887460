// What the application database must hold for the component: the stored
// procedures its routines call and the tables they write with plain
// statements, each with the database kinds that need it. The routines spell
// their command texts out where they run them; this list is what an operator
// checks a database against (qrnmvl ping), and a test holds it equal to the
// reference database's procedures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/connection.hpp"

namespace qrnmvl::data {

// Which database kinds ("SQLSERVER", "ORACLE", compared exactly as the
// routines compare them) need an object.
enum class NeededBy {
  Every,
  NotOracle,   // the job request writes these itself, with plain SQL, on "ORACLE"
  OracleOnly,  // written by the plain-SQL job request of "ORACLE"
};

struct DatabaseObject {
  std::string_view name;
  NeededBy needed_by = NeededBy::Every;
};

inline constexpr DatabaseObject kRequiredProcedures[] = {
    {"SP_QRN_CON_PORTO_PONTO3"},
    {"SP_VLM_CON_OS_FECHAMENTO13"},
    {"SP_VLM_CON_SOL_CONT_OS_FECHA11"},
    {"SP_VLM_CON_OS_CTAC"},
    {"SP_036_CON_LISTA_TIPO_INCIDENTE_OS4"},
    {"SP_036_INC_INCIDENTE3"},
    {"SP_036_DUP_SOLICIT8"},
    {"SP_036_CONSISTE_SEC_AGEND_CONT"},
    {"SP_VLM_CON_DT_OS02"},
    {"SP_VLM_GRA_FECHA_OS_TIPO5"},
    {"SP_VLM_GRA_SOL_CONT_OS_FECHA5"},
    {"SP_VLM_ALT_AGEN_CONT_OS_FEC"},
    {"SP_036_ALT_CONTAINER_OSAC3"},
    {"SP_VLM_CON_CONTAINER_OS_FECHA"},
    {"SP_VLM_INC_CONTAINER_OS_FECHA2"},
    {"SP_VLM_ALT_TP_CONT2"},
    {"SP_VLM_CON_PARAMETRO_SISTEMA"},
    {"SP_VLM_SELECT_TIPO_OS6"},
    {"SP_VLM_CONS_TIPO_TERMINAL_OS"},
    {"SP_VLM_INC_TRACKING7"},
    {"SP_VLM_CON_CTACS_CONT_FECHA_OS"},
    {"SP_VLM_CON_CTACS_CONT_FECHA_OS_TB"},
    {"SP_VLM_CONS_TIPO_OS_FRAC2"},
    {"SP_VLM_CONS_TERMINAL_VAS_OS"},
    {"SP_VLM_INC_TRACKING_FRAC2"},
    {"SP_VLM_INC_TRACKING_FRAC_NOTA"},
    {"SP_QRN_EXC_TRACKING_FRAC2"},
    {"SP_QRN_INC_JOB2", NeededBy::NotOracle},
    {"SP_QRN_INCLUI_PARAMETRO_JOB", NeededBy::NotOracle},
};

inline constexpr DatabaseObject kRequiredTables[] = {
    {"LOG_MSG"},
    {"infra_ids", NeededBy::OracleOnly},
    {"LOG_GERADOR", NeededBy::OracleOnly},
    {"LOG_SISTEMA", NeededBy::OracleOnly},
};

// True when a database of this kind needs the object.
bool is_needed(const DatabaseObject& object, std::string_view database_kind) noexcept;

// A database checked against the lists for one kind.
struct DatabaseCheck {
  ServerInfo server;
  std::vector<std::string> needed_procedures, missing_procedures;  // in list order
  std::vector<std::string> needed_tables, missing_tables;
  bool ready() const noexcept { return missing_procedures.empty() && missing_tables.empty(); }
};

// Asks the connection for everything the kind needs. Errors of the connection
// (-2147217900, 3704) reach the caller.
DatabaseCheck check_database(Connection& connection, std::string_view database_kind);

}  // namespace qrnmvl::data
