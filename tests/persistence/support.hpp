// What the persistence tests share: the caller's values of a closing and the
// message log as the tests read it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "persistence/persistence.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::persistence {

using Rows = std::vector<std::vector<Variant>>;

inline const std::string kUnavailable =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";

// The closing's values every routine receives; the message starts as something to keep.
struct Closing {
  explicit Closing(bool with_demo = false) : db(with_demo) {}

  testing::TestDatabase db;
  Variant connection = db.connection(), user{25}, company{1}, kind{"SQLSERVER"}, product{"QRNMVL"},
          message{"(message)"};

  // Type, user and the whole text of each message-log row.
  Rows log() const {
    return db.query(
        "SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01 || coalesce(MSG02, '') || "
        "coalesce(MSG03, '') || coalesce(MSG04, '') || coalesce(MSG05, '') FROM LOG_MSG");
  }
  // The one row a failure writes: message and context, as the log strips them.
  static Rows logged(const std::string& text, int user = 1) {
    return {{1, user, to_text(gRetira_Caracteres_Especiais(Variant(text)))}};
  }
  // The prepared calls the engine received, as the trace shows them.
  std::vector<nlohmann::json> prepared() const {
    std::vector<nlohmann::json> calls;
    for (const auto& line : db.trace())
      if (line.contains("procedure")) calls.push_back(line);
    return calls;
  }
};

}  // namespace qrnmvl::persistence
