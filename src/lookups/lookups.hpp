// Service-order lookups: the read-only operations that feed the closing form.
#pragma once

#include "common/operations.hpp"

namespace qrnmvl::lookups {

// Operation 3, with its frame: the ports and the operation point of the user.
Variant gConsulta_Porto_Ponto(args::gConsulta_Porto_Ponto& p);

// Operation 4, with its frame: a service order loaded for closing.
Variant gConsulta_Ordem_Servico_Tipo(args::gConsulta_Ordem_Servico_Tipo& p);

}  // namespace qrnmvl::lookups
