// The message log's row from odd inputs; the statement each database kind gets, and the rows
// the operations' failures write, are in the golden scenarios (ports_log_kind_* and others).
#include "routine/message_log.hpp"

#include "common/values.hpp"
#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

Rows log_rows(const TestDatabase& db) {
  return db.query(
      "SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, DATA_LOG, MSG01, MSG02, MSG03, MSG04, MSG05 "
      "FROM LOG_MSG ORDER BY LOG_MSG_ID");
}

TEST(MessageLog, WritesNothingWithoutKindConnectionOrText) {
  // Kind, whether the connection is given (else a blank text), and the text.
  const std::tuple<Variant, bool, Variant> cases[] = {
      {"", true, "Erro"},        {"   ", true, "Erro"},   {"SQLSERVER", false, "Erro"},
      {"SQLSERVER", true, "()"}, {"SQLSERVER", true, ""}, {"SQLSERVER", true, Variant::null()}};
  for (const auto& [kind, use_connection, text] : cases) {
    TestDatabase db;
    gGrava_LOG_MSG(kind, use_connection ? db.connection() : Variant("  "), 25, 1, text);
    EXPECT_TRUE(log_rows(db).empty());
  }
}

TEST(MessageLog, NumbersAndPieces) {
  testing::LocaleScope locale("pt_BR");
  TestDatabase db;
  std::string text300, text2000;  // two bytes each in the first: pieces count characters
  for (int i = 0; i < 300; ++i) text300 += "ç";
  for (int i = 0; i < 200; ++i) text2000 += "0123456789";
  gGrava_LOG_MSG("SQLSERVER", db.connection(), "abc", 1, text300);
  gGrava_LOG_MSG("SQLSERVER", db.connection(), "25,6", "1", text2000);
  // An open connection serves as well as its text.
  gGrava_LOG_MSG("SQLSERVER", Variant::object(data::open_connection(db.connection_text())), 0, 1,
                 " - QRNMVL.gConsulta_Porto_Ponto -(");

  const auto rows = log_rows(db);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0][1].is_null());
  EXPECT_EQ(rows[0][3], Variant(text300.substr(0, 510)));
  EXPECT_EQ(rows[0][4], Variant(text300.substr(510)));
  EXPECT_TRUE(rows[0][5].is_null());

  EXPECT_EQ(rows[1][0], Variant(1));
  EXPECT_EQ(rows[1][1], Variant(25));  // the number at the start of the text
  for (int piece = 0; piece < 5; ++piece)
    EXPECT_EQ(rows[1][3 + piece], Variant(text2000.substr(piece * 255, 255)));

  EXPECT_TRUE(rows[2][1].is_null());
  EXPECT_EQ(rows[2][3], Variant(" - QRNMVL.gConsulta_Porto_Ponto -"));
}

}  // namespace
}  // namespace qrnmvl
