// The check of a whole closing request before anything of it is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <qrnmvl/container_rules.hpp>

#include "closing/closing.hpp"

namespace qrnmvl::closing {

// Checks the closing request `p` on the connection text: cleans its texts in
// the caller's parameters, checks every field, the order of the dates against
// each other, against the order's issue date and against the database's
// current date, and each container row (through rules made by `rules`, once,
// only when the rows are checked). Stops at the first rule that fails and
// answers false with the message for the user in p.outvntMsg_Ret; an
// unexpected failure is reported through its own frame (message, one log row,
// the context for user id 1). On true, `start` and `end` hold the execution
// date-times and `withdrawal` and `delivery` the terminal ones, each as
// "yyyy/mm/dd hh:mm" (the last two empty when the terminal fields are not in
// use). Writes nothing to the database but the log row. Raises nothing.
bool mConsiste_Campos(Variant& connection_text, Closing& p, ContainerRulesFactory& rules,
                      Variant& start, Variant& end, Variant& withdrawal, Variant& delivery);

// The container rows a closing visits, read once from invntvntQtde_Sol_Cont
// the same way for the validation and for the save: the whole number it holds,
// 0 when it holds none (the validation has refused any other count by then).
std::int32_t container_rows(const Closing& p);

// Whether container row `row` carries data: a container number or a seal
// filled in, or a tare that is not 0. Rows without data are neither checked
// nor saved. Raises Error 9 when a row array is shorter than the row.
bool row_carries_data(const Closing& p, std::size_t row);

}  // namespace qrnmvl::closing
