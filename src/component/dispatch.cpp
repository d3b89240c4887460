// The dispatch table: each operation's name and parameter names in call order,
// expanded from the one list of each operation (common/operations.hpp). The
// JSON adapter, the C interface and the tool are all built on it.
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>
#include <utility>

#include "common/operations.hpp"

namespace qrnmvl {
namespace {

using Invoker = Variant (*)(QrnMvl&, std::vector<Variant>&);

struct Entry {
  OperationInfo info;
  Invoker invoke;
};

// Calls a member operation with the parameter vector spread over its by-reference arguments.
template <std::size_t N, class Method>
Variant spread(QrnMvl& object, Method method, std::vector<Variant>& p) {
  return [&]<std::size_t... I>(std::index_sequence<I...>) { return (object.*method)(p[I]...); }
  (std::make_index_sequence<N>{});
}

#define QRNMVL_ENTRY(operation)                                                               \
  Entry{{#operation, {std::begin(args::operation::names), std::end(args::operation::names)}}, \
        [](QrnMvl& o, std::vector<Variant>& p) {                                              \
          return spread<args::operation::count>(o, &QrnMvl::operation, p);                    \
        }},

const std::vector<Entry>& table() {
  static const std::vector<Entry> entries{QRNMVL_OPERATIONS(QRNMVL_ENTRY)};
  return entries;
}

#undef QRNMVL_ENTRY

const Entry* find_entry(const std::string& name) {
  for (const Entry& entry : table())
    if (name == entry.info.name) return &entry;
  return nullptr;
}

}  // namespace

const std::vector<OperationInfo>& operations() {
  static const std::vector<OperationInfo> infos = [] {
    std::vector<OperationInfo> result;
    for (const Entry& entry : table()) result.push_back(entry.info);
    return result;
  }();
  return infos;
}

const OperationInfo* find_operation(const std::string& name) {
  for (const OperationInfo& info : operations())
    if (name == info.name) return &info;
  return nullptr;
}

Variant invoke(QrnMvl& object, const std::string& operation, std::vector<Variant>& parameters) {
  const Entry* entry = find_entry(operation);
  if (!entry) throw std::invalid_argument("unknown operation '" + operation + "'");
  if (parameters.size() != entry->info.parameters.size())
    throw std::invalid_argument(operation + " takes " +
                                std::to_string(entry->info.parameters.size()) +
                                " parameters, not " + std::to_string(parameters.size()));
  return entry->invoke(object, parameters);
}

}  // namespace qrnmvl
