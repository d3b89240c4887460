// What the routines of this folder share in reading the database's answers
// and preparing the ids they send; not seen outside src/persistence.
#pragma once

#include <qrnmvl/variant.hpp>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/rowset.hpp"

namespace qrnmvl::persistence {

// The procedure accepted the call: "retorno" of the current row reads as 0.
// A "retorno" that is no number raises Error 13, a missing one Error 3265.
inline bool retorno_zero(const data::RowSet& rs) {
  return equals(gNormaliza_Valor(rs.field("retorno")), 0.0);
}

// An id that reads as 0 is no id: the caller's value becomes the empty text,
// which gValor_Padrao then sends as NULL.
inline void empty_when_zero(Variant& id) {
  if (equals(gNormaliza_Valor(id), 0.0)) id = Variant("");
}

}  // namespace qrnmvl::persistence
