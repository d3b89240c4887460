// The road a front end drives, in the tool's hands: an operation's parameters
// held by name between calls, the order loaded for closing, and the closing
// form filled from it. The demo, `qrnmvl close` and the closing benchmark all
// close orders this way.
#pragma once

#include <qrnmvl/qrnmvl.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qrnmvl::tool {

// One call of an operation: every parameter by name, in call order.
class Call {
 public:
  // std::invalid_argument for an operation that does not exist.
  explicit Call(const std::string& operation);

  const std::string& operation() const noexcept { return operation_; }
  // std::invalid_argument for a name the operation does not have.
  Variant& operator[](std::string_view name);
  const Variant& operator[](std::string_view name) const;
  std::vector<Variant>& values() noexcept { return values_; }
  const std::vector<std::string>& names() const noexcept { return *names_; }

  // Runs the operation with the values as they stand; they hold what it wrote after.
  Variant run(QrnMvl& component);
  // What the last run answered (Empty before the first).
  const Variant& result() const noexcept { return result_; }
  // The answer as the JSON contract writes it: {"result": ..., "parameters": {...}}.
  std::string answer_json() const;

 private:
  std::size_t index_of(std::string_view name) const;

  std::string operation_;
  const std::vector<std::string>* names_;
  std::vector<Variant> values_;
  Variant result_;
};

// What every call of the road carries: the connection, the user, the company,
// the database kind and the product name.
struct Session {
  std::string connection_text;
  Variant user_id{25};
  Variant company_id{1};
  Variant database_kind{"SQLSERVER"};
  Variant product_name{"QRNMVL"};
};

// gConsulta_Ordem_Servico_Tipo for a service-order type record, run.
Call load_order(QrnMvl& component, const Session& session, const Variant& record_id);

// An amount with two decimals after the separator and no thousands separator:
// with ',' as a closing form's field holds it ("152300,75").
std::string two_decimals(double amount, char separator);

// gGrava_Fechamento's parameters as the closing form fills them from a loaded
// order: what the order already holds, ready for the carrier's changes.
Call closing_form(const Session& session, const Call& loaded);

}  // namespace qrnmvl::tool
