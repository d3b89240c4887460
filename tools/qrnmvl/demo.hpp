// The demo closing: each section shows one step of the road of a closing on
// the demo database, printed for a person.
#pragma once

#include <ostream>
#include <qrnmvl/qrnmvl.hpp>
#include <string>
#include <vector>

#include "closing_form.hpp"

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
  std::string kind = "SQLSERVER";  // the database kind every call names

  // The demo user's session on the demo database.
  Session session() const {
    Session session;
    session.connection_text = connection_text;
    session.user_id = Variant(kDemoUserId);
    session.database_kind = Variant(kind);
    return session;
  }
};

// Every section below, in order.
void run_demo(DemoContext& demo);

void demo_ports(DemoContext& demo);
void demo_order(DemoContext& demo);
void demo_incidents(DemoContext& demo);
// Closings the validation refuses, the closing of every kind of order with what each changed,
// and a closing refused part-way.
void demo_closings(DemoContext& demo);

// "  <label> <text>", the text wrapped at blanks to fit 100 columns, its later lines under its
// first.
void print_wrapped(std::ostream& out, const std::string& label, const std::string& text);
// A heading line for a section.
void print_heading(std::ostream& out, const std::string& title);
// An aligned table: a header row, a rule, the rows; columns as wide as their widest cell
// (counted in characters).
void print_table(std::ostream& out, const std::vector<std::string>& headers,
                 const std::vector<std::vector<std::string>>& rows);
// The text a person reads for a value: "" for Empty, "(null)" for Null, the text form otherwise.
std::string display(const Variant& value);
// An amount (a number, or a text with a decimal comma or point as the operations answer
// them) in one form for every table: two decimals after the regional settings' separator;
// "" for an empty value.
std::string amount_cell(const Variant& value);
// What the tables' headings say about that form, e.g. "amounts with a decimal comma".
std::string amounts_note();

}  // namespace qrnmvl::tool
