// Prepared stored-procedure commands with typed, positional parameters.
#pragma once

#include <memory>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "data/rowset.hpp"

namespace qrnmvl::data {

class Connection;

// Parameter data types, with the classic type numbers.
enum class DataType : int {
  SmallInt = 2,
  Integer = 3,  // 32-bit integer
  Double = 5,
  Currency = 6,
  Date = 7,
  DBTimeStamp = 135,  // date and time
  Char = 129,
  WChar = 130,
  VarChar = 200,
  LongVarChar = 201,
  VarWChar = 202,
  LongVarWChar = 203,
};
const char* data_type_name(DataType type) noexcept;  // "integer", "varchar", ...

// "{ call NAME(?, ?, ...) }" with one marker per argument ("{ call NAME }" for
// none): the form of a stored-procedure call every driver manager knows.
std::string call_text(std::string_view procedure, std::size_t arguments);

enum class Direction : int { Input = 1, Output = 2, InputOutput = 3, ReturnValue = 4 };

struct Parameter {
  std::string name;
  DataType type = DataType::VarChar;
  Direction direction = Direction::Input;
  long size = 0;  // the most characters a text type takes; 0 for no limit
  Variant value;
};

// The value a parameter carries to the database, converted to its type: Long
// for Integer, Integer for SmallInt, Double, Currency (exact, rounded to four
// decimals), Date for Date and DBTimeStamp, String for the text types; Null
// for an Empty or Null value. Conversions follow the regional settings, as
// everywhere else. Error 3421 when the value cannot be converted, or when a
// text has more characters than a non-zero size.
Variant typed_value(const Parameter& parameter);

// A prepared stored-procedure command. Used by one thread at a time.
class Command {
 public:
  std::shared_ptr<Connection> connection;
  std::string command_text;  // the procedure name
  // How long the call may run before it is stopped with Error -2147217871;
  // 0: no limit. It replaces the connection's Command Timeout for this call.
  int timeout_seconds = 30;

  void append(Parameter parameter) { parameters_.push_back(std::move(parameter)); }
  const std::vector<Parameter>& parameters() const noexcept { return parameters_; }
  std::vector<Parameter>& parameters() noexcept { return parameters_; }
  // "{ call NAME(?, ?, ...) }", as the data-access layer reports a
  // stored-procedure command.
  std::string text() const;
  // Runs the procedure on the connection. Every value is converted by
  // typed_value before any driver sees it, so a value its parameter cannot
  // hold is refused (Error 3421) whichever driver runs, and nothing reaches
  // the database; the trace still shows the call as given. Error 91 without
  // a connection; database errors as Error -2147217900; Error -2147217871
  // past the time limit.
  RowSet execute();

 private:
  std::vector<Parameter> parameters_;
};

}  // namespace qrnmvl::data
