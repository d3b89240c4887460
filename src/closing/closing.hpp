// Closing request and validation.
#pragma once

#include "common/operations.hpp"

namespace qrnmvl::closing {

using Closing = args::gGrava_Fechamento;

// Operation 5, with its frame.
Variant gGrava_Fechamento(Closing& p);

}  // namespace qrnmvl::closing
