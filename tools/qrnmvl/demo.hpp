// The demo closing: each section shows one step of the road of a closing on
// the demo database, printed for a person.
#pragma once

#include <ostream>
#include <qrnmvl/qrnmvl.hpp>
#include <string>
#include <vector>

namespace qrnmvl::tool {

// The demo order every section works on (a service-order type record of the demo data).
inline constexpr int kDemoOrderTypeId = 1001;
// The demo user, and the user no branch knows.
inline constexpr int kDemoUserId = 25;
inline constexpr int kUnknownUserId = 999;

struct DemoContext {
  QrnMvl& component;
  std::string connection_text;  // the demo database
  std::ostream& out;
};

void demo_ports(DemoContext& demo);
void demo_order(DemoContext& demo);
void demo_incidents(DemoContext& demo);

// A heading line for a section.
void print_heading(std::ostream& out, const std::string& title);
// An aligned table: a header row, a rule, the rows; columns as wide as their widest cell
// (counted in characters).
void print_table(std::ostream& out, const std::vector<std::string>& headers,
                 const std::vector<std::vector<std::string>>& rows);
// The text a person reads for a value: "" for Empty, "(null)" for Null, the text form otherwise.
std::string display(const Variant& value);

}  // namespace qrnmvl::tool
