// The steps of loading a service order for closing: the header of the
// service-type record, the order's container lines and its transport-document
// flag. Every step takes the connection as its text form and reads and writes
// the operation's parameters by name.
#pragma once

#include "common/operations.hpp"

namespace qrnmvl::lookups {

using OrderQuery = args::gConsulta_Ordem_Servico_Tipo;

// The header; a record the database does not know leaves the outputs as they were.
// Has its own failure handler: answers false with the message written.
bool mConsulta_Campos_ORDEM_SERVICO_TIPO(const Variant& connection_text, OrderQuery& p);

// The container lines as parallel arrays. No handler: errors reach the caller's frame.
bool mConsulta_Campos_SOLICIT_EMBARQUE_CONTAINER(const Variant& connection_text, OrderQuery& p);

// The order's transport-document flag ("N" when the order answers no row).
// No handler: errors reach the caller's frame.
bool mVerifica_CTAC_OS(const Variant& connection_text, OrderQuery& p);

}  // namespace qrnmvl::lookups
