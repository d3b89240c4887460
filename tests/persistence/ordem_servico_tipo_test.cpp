#include <tuple>

#include "support.hpp"

namespace qrnmvl::persistence {
namespace {

struct OrderSave : Closing {
  Variant record{1001}, start{"2010/09/16 08:00"}, end{"2010/09/16 17:05"}, constant{2},
      pick_up{"2010/09/16 07:30"}, delivery{"2010/09/16 18:00"}, plate{"ABC1D23"}, document_type{3},
      document{"4471"};
};

TEST(OrderTypeSave, SendsTheTenValuesAndJudgesTheAnswer) {
  const std::string all =
      "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1001, '2010/09/16 08:00', '2010/09/16 17:05', "
      "'2010/09/16 07:30', '2010/09/16 18:00', 2, 'ABC1D23', 1, 3, '4471' ";
  const std::string opening = " - QrnMvl.mAltera_Campos_ORDEM_SERVICO_TIPO (";
  auto none = [](OrderSave&) {};
  // Name, what changes from the defaults, the procedure's answer, the command sent, the result
  // and the context of a failure (none: the message is left as it was, and nothing is logged).
  const std::tuple<const char*, void (*)(OrderSave&), const char*, std::string, bool, std::string>
      cases[] = {
          {"every value", none, "SELECT 0 AS retorno", all, true, ""},
          {"no terminal dates, plate or document",
           [](OrderSave& s) {
             s.pick_up = s.plate = s.document = "";
             s.delivery = Variant::null();
             s.document_type = 0;
           },
           "SELECT '0' AS retorno",
           "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1001, '2010/09/16 08:00', '2010/09/16 17:05', null, "
           "null, 2, null, 1, null, null ",
           true, ""},
          {"refused", none, "SELECT 1 AS retorno", all, false, ""},
          {"no row", none, "SELECT 0 AS retorno WHERE 0", all, false, ""},
          {"no row set", none, "DELETE FROM LOG_MSG WHERE 0", all, false, ""},
          {"no retorno", none, "SELECT 0 AS x", all, false,
           opening +
               "Item cannot be found in the collection corresponding to the requested name or "
               "ordinal. : 3265)   No Nº 4strsq: " +
               all},
          // A Null id has no text form: the text is never complete, nothing is sent.
          {"null id", [](OrderSave& s) { s.record = Variant::null(); }, "SELECT 0 AS retorno", "",
           false, opening + "Invalid use of Null : 94)   No Nº 1strsq: "},
      };
  for (const auto& [name, change, body, sent, accepted, context] : cases) {
    SCOPED_TRACE(name);
    OrderSave s;
    s.user = 1;
    change(s);
    s.db.redefine("SP_VLM_GRA_FECHA_OS_TIPO5", "a, b, c, d, e, f, g, h, i, j", body);
    EXPECT_EQ(mAltera_Campos_ORDEM_SERVICO_TIPO(s.connection, s.user, s.company, s.kind, s.product,
                                                s.record, s.start, s.end, s.constant, s.message,
                                                s.pick_up, s.delivery, s.plate, s.document_type,
                                                s.document),
              accepted);
    EXPECT_EQ(s.db.procedure_calls(),
              sent.empty() ? std::vector<std::string>{} : std::vector<std::string>{sent});
    EXPECT_EQ(s.message, context.empty() ? Variant("(message)") : Variant(kUnavailable + context));
    EXPECT_EQ(s.log(), context.empty() ? Rows{} : Closing::logged(kUnavailable + context));
  }
}

}  // namespace
}  // namespace qrnmvl::persistence
