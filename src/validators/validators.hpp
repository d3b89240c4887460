// The field validators of the shared check module (ZELCCA), used by the
// incident recording, the closing validation and the job requests: each cleans
// the value in place, applies its rules in order and stops at the first that
// fails, replacing the message output with a ready-made text for the user.
#pragma once

#include <qrnmvl/variant.hpp>

namespace qrnmvl {

bool gConsiste_Data(const Variant& label, Variant& value, const Variant& minimum,
                    const Variant& maximum, const Variant& user_id, Variant& message,
                    Variant& converted, const Variant& required);
bool gConsiste_Hora(const Variant& label, Variant& value, const Variant& minimum,
                    const Variant& maximum, const Variant& user_id, Variant& message,
                    Variant& converted, const Variant& required);
bool gConsiste_Inteiro(const Variant& label, Variant& value, const Variant& minimum,
                       const Variant& maximum, const Variant& user_id, Variant& message,
                       const Variant& required);
bool gConsiste_Numero(const Variant& label, Variant& value, const Variant& minimum,
                      const Variant& maximum, const Variant& user_id, Variant& message,
                      const Variant& required);
bool gConsiste_String(const Variant& label, Variant& value, const Variant& maximum_length,
                      const Variant& user_id, Variant& message, const Variant& required);

}  // namespace qrnmvl
