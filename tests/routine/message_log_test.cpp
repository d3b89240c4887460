#include "routine/message_log.hpp"

#include <gtest/gtest.h>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

std::string repeat(const std::string& piece, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += piece;
  return s;
}

std::vector<std::vector<Variant>> log_rows(const TestDatabase& db) {
  return db.query(
      "SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, DATA_LOG, MSG01, MSG02, MSG03, MSG04, MSG05 "
      "FROM LOG_MSG ORDER BY LOG_MSG_ID");
}

TEST(MessageLog, WritesOneRowWithTheStatementAsDocumented) {
  TestDatabase db;
  gGrava_LOG_MSG(Variant("SQLSERVER"), db.connection(), Variant(25), Variant(1), Variant("Erro X"));

  const auto rows = log_rows(db);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], Variant(1));
  EXPECT_EQ(rows[0][1], Variant(25));
  EXPECT_EQ(text_length(to_text(rows[0][2])), 19u);  // yyyy/mm/dd hh:mm:ss, the server's now
  EXPECT_EQ(rows[0][3], Variant("Erro X"));
  for (int i = 4; i < 8; ++i) EXPECT_TRUE(rows[0][i].is_null());

  EXPECT_EQ(db.commands(),
            std::vector<std::string>{
                "INSERT INTO LOG_MSG ( TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID ,  DATA_LOG    ,  "
                "MSG01       ,  MSG02       ,  MSG03       ,  MSG04       ,  MSG05       )  VALUES "
                "( 1 , 25 ,  GETDATE() , 'Erro X' , null , null , null , null ) "});
}

TEST(MessageLog, DatePartByDatabaseKind) {
  struct Case {
    const char* kind;
    const char* sent;  // part of the command text
    bool dated_now;
  };
  const Case cases[] = {
      {"SQLSERVER", " GETDATE() , ", true},
      {"ORACLE", "' , 'YYYY/MM/DD hh24:mi:ss') , ", true},
      {"DB2", " '2002/01/01' , ", false},
      {"sqlserver", " '2002/01/01' , ", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    TestDatabase db;
    gGrava_LOG_MSG(Variant(c.kind), db.connection(), Variant(25), Variant(1), Variant("x"));
    const auto rows = log_rows(db);
    ASSERT_EQ(rows.size(), 1u);
    const std::string date = to_text(rows[0][2]);
    if (c.dated_now)
      EXPECT_EQ(date.substr(0, 2), "20");
    else
      EXPECT_EQ(date, "2002/01/01");
    ASSERT_EQ(db.commands().size(), 1u);
    EXPECT_NE(db.commands()[0].find(c.sent), std::string::npos) << db.commands()[0];
  }
}

TEST(MessageLog, WritesNothingWithoutKindConnectionOrText) {
  struct Case {
    Variant kind;
    bool use_connection;
    Variant text;
  };
  const Case cases[] = {
      {Variant(""), true, Variant("Erro")},           {Variant("   "), true, Variant("Erro")},
      {Variant("SQLSERVER"), false, Variant("Erro")}, {Variant("SQLSERVER"), true, Variant("()")},
      {Variant("SQLSERVER"), true, Variant("")},      {Variant("SQLSERVER"), true, Variant::null()},
  };
  for (const Case& c : cases) {
    TestDatabase db;
    const Variant connection = c.use_connection ? db.connection() : Variant("  ");
    gGrava_LOG_MSG(c.kind, connection, Variant(25), Variant(1), c.text);
    EXPECT_TRUE(log_rows(db).empty());
  }
}

TEST(MessageLog, NumbersAndPieces) {
  testing::LocaleScope locale("pt_BR");
  TestDatabase db;
  const std::string text300 = repeat("ç", 300);  // two bytes each: pieces count characters
  const std::string text2000 = repeat("0123456789", 200);
  gGrava_LOG_MSG(Variant("SQLSERVER"), db.connection(), Variant("abc"), Variant(1),
                 Variant(text300));
  gGrava_LOG_MSG(Variant("SQLSERVER"), db.connection(), Variant("25,6"), Variant("1"),
                 Variant(text2000));
  // An open connection serves as well as its text.
  gGrava_LOG_MSG(Variant("SQLSERVER"), Variant::object(data::open_connection(db.connection_text())),
                 Variant(0), Variant(1), Variant(" - QRNMVL.gConsulta_Porto_Ponto -("));

  const auto rows = log_rows(db);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_TRUE(rows[0][1].is_null());
  EXPECT_EQ(rows[0][3], Variant(repeat("ç", 255)));
  EXPECT_EQ(rows[0][4], Variant(repeat("ç", 45)));
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
