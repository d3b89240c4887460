// The message log: the system's only diagnostic channel (table LOG_MSG).
#pragma once

#include <qrnmvl/variant.hpp>

namespace qrnmvl {

// Writes one row; silent on every failure.
void gGrava_LOG_MSG(const Variant& database_kind, const Variant& connection, const Variant& user_id,
                    const Variant& message_type, const Variant& text) noexcept;

}  // namespace qrnmvl
