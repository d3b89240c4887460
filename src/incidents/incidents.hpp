// Incidents: the checklist of incident types of an order and the recording of the user's choices.
#pragma once

#include "common/operations.hpp"

namespace qrnmvl::incidents {

// Operation 1, with its frame.
Variant gMonta_Lista_Tab_Tipo_Incidente(args::gMonta_Lista_Tab_Tipo_Incidente& p);

// Operation 2, with its frame.
Variant gGrava_Incidente(args::gGrava_Incidente& p);

}  // namespace qrnmvl::incidents
