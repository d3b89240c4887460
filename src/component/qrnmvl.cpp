// The public class: each operation binds its parameters by name and hands them
// to the subsystem that owns its body; the frames live with the bodies. The
// member functions are expanded from the one list of each operation's
// parameters (common/operations.hpp), in the order the public header declares.
#include <atomic>
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>
#include <utility>

#include "closing/closing.hpp"
#include "common/operations.hpp"
#include "data/connection.hpp"
#include "incidents/incidents.hpp"
#include "lookups/lookups.hpp"

namespace qrnmvl {
namespace {
std::atomic<long> g_objects_alive{0};
}

QrnMvl::QrnMvl() : QrnMvl(make_default_container_rules) {}

QrnMvl::QrnMvl(ContainerRulesFactory container_rules)
    : container_rules_(std::move(container_rules)) {
  if (!container_rules_)
    throw std::invalid_argument("QrnMvl: the container rules factory is empty");
  ++g_objects_alive;
}

QrnMvl::~QrnMvl() { --g_objects_alive; }
long QrnMvl::objects_alive() noexcept { return g_objects_alive.load(); }

const char* version() noexcept { return QRNMVL_VERSION; }

// Anything after the operation's name is handed to its body after the arguments.
#define QRNMVL_DEFINE_OPERATION(subsystem, operation, ...)                                       \
  Variant QrnMvl::operation(QRNMVL_PARAMETERS_##operation(QRNMVL_PARAMETER_DECLARATION_FIRST,    \
                                                          QRNMVL_PARAMETER_DECLARATION_NEXT)) {  \
    const data::OperationScope scope;                                                            \
    args::operation arguments{                                                                   \
        QRNMVL_PARAMETERS_##operation(QRNMVL_PARAMETER_NAME_FIRST, QRNMVL_PARAMETER_NAME_NEXT)}; \
    return subsystem::operation(arguments __VA_OPT__(, ) __VA_ARGS__);                           \
  }

QRNMVL_DEFINE_OPERATION(incidents, gMonta_Lista_Tab_Tipo_Incidente)
QRNMVL_DEFINE_OPERATION(incidents, gGrava_Incidente)
QRNMVL_DEFINE_OPERATION(lookups, gConsulta_Porto_Ponto)
QRNMVL_DEFINE_OPERATION(lookups, gConsulta_Ordem_Servico_Tipo)
QRNMVL_DEFINE_OPERATION(closing, gGrava_Fechamento, container_rules_)

#undef QRNMVL_DEFINE_OPERATION

}  // namespace qrnmvl
