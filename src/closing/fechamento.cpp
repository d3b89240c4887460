// The closing operation. The closing workflow is not part of this version:
// the operation answers through its frame, with its failure message and result 10.
#include "closing/closing.hpp"
#include "common/values.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::closing {

Variant gGrava_Fechamento(Closing& p, [[maybe_unused]] ContainerRulesFactory& rules) {
  int line = 0;
  // Everything after the frame works on the connection's text form.
  Variant connection;
  const FailureTarget target{p.inVntBanco_Dados, connection, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};
  auto body = [&]() -> bool {
    connection = Variant(to_text(p.invntConecta_db));
    line = 1;
    throw Error(err::invalid_procedure_call, "The closing workflow is not available");
  };
  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.gGrava_Fechamento (", error, line);
  };
  return run_operation(
      target, "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.", body, context);
}

}  // namespace qrnmvl::closing
