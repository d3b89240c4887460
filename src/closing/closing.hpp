// Closing request and validation.
#pragma once

#include <qrnmvl/container_rules.hpp>

#include "common/operations.hpp"

namespace qrnmvl::closing {

using Closing = args::gGrava_Fechamento;

// Operation 5, with its frame. The container rules of the closing are made
// through `rules`, the host's factory kept by the QrnMvl object.
Variant gGrava_Fechamento(Closing& p, ContainerRulesFactory& rules);

}  // namespace qrnmvl::closing
