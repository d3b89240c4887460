// Container rules: the checks the closing makes on each container it is given,
// beyond what the form and the database can tell. The closing asks for a fresh
// set of rules through a factory once per closing that checks container rows,
// calls them row by row on the caller's thread, and releases them after the
// last row or at the first row that fails.
//
// A host supplies its own rules by handing a factory to the QrnMvl constructor;
// the default rules (make_default_container_rules) accept every container's
// properties and check the container number against ISO 6346.
#pragma once

#include <functional>
#include <memory>
#include <qrnmvl/export.hpp>
#include <qrnmvl/variant.hpp>

namespace qrnmvl {

class QRNMVL_EXPORT ContainerRules {
 public:
  virtual ~ContainerRules();

  // The property check of one container row.
  // Receives: the closing's user id, its database kind ("ORACLE" or
  // "SQLSERVER"), the connection text, the row's container request id, the
  // indicator (Empty on entry: an output), the closing's message output and
  // the id of the service-type record being closed.
  // Returns 0 when the container is accepted. Any other number refuses it: the
  // closing then appends its row decoration to whatever the rules left in the
  // message. An indicator of "S" (blanks around it allowed) tells the closing
  // to skip the number check of this row.
  // Errors raised (an Error or any other exception) fail the closing as an
  // unexpected failure: the user sees the closing's unavailability message and
  // the failure is written to the message log.
  virtual long check_property(Variant& user_id, Variant& database_kind, Variant& connection_text,
                              Variant& container_request_id, Variant& indicator, Variant& message,
                              Variant& order_type_record_id) = 0;

  // The number check of one container row.
  // Receives: the closing's user id, its database kind, the connection text,
  // the row's container number (already cleaned and trimmed) and the
  // closing's message output.
  // Returns 0 when the number is accepted; otherwise the rules should write
  // the reason into the message, to which the closing appends the row and the
  // number. Errors are treated as for check_property.
  virtual long check_number(Variant& user_id, Variant& database_kind, Variant& connection_text,
                            Variant& container_number, Variant& message) = 0;

 protected:
  ContainerRules() = default;
  ContainerRules(const ContainerRules&) = default;
  ContainerRules& operator=(const ContainerRules&) = default;
};

// Makes the rules of one closing. It is called on the thread of the closing
// call, at most once per call; an object that serves several threads calls it
// from each, so a factory shared that way must be safe to call concurrently.
// The rules it returns are used by that one thread only and need not be
// thread-safe. A factory that returns no rules (nullptr) or raises fails the
// closing as an unexpected failure.
using ContainerRulesFactory = std::function<std::unique_ptr<ContainerRules>()>;

// The default rules. check_property accepts every container, sets the
// indicator to "N" and leaves the message alone. check_number accepts an ISO
// 6346 number: three capital letters of owner code, the category letter U, J
// or Z, six digits of serial number and the check digit; anything else is
// refused with a Portuguese message that names the number and the reason
// (length, owner letters, category, digits or check digit), which replaces the
// message. A Null number raises Error 94. The rules keep no state: one object
// may serve any number of rows and threads.
QRNMVL_EXPORT std::unique_ptr<ContainerRules> make_default_container_rules();

}  // namespace qrnmvl
