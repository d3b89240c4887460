// Data access: connections, client-side row sets and prepared stored-procedure
// commands. Routines see only this header; which driver runs a connection text
// is decided by the driver registry.
#pragma once

#include <qrnmvl/variant.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qrnmvl::data {

// What a caller asks of a row set. Row sets are always read whole on the client,
// so these only document intent; drivers may ignore them.
struct CursorOptions {
  bool static_cursor = false;
  bool read_only = false;
};
inline constexpr CursorOptions kStaticReadOnly{true, true};

// A client-side answer: every row is read when the command runs.
class RowSet {
 public:
  RowSet() = default;  // closed: the command produced no row set
  RowSet(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows);

  bool is_open() const noexcept { return open_; }
  int state() const noexcept { return open_ ? 1 : 0; }
  // Navigation and field access raise Error 3704 on a closed row set.
  // End of data: no rows, or moved past the last.
  bool eof() const;
  long record_count() const;
  void move_first();
  void move_last();
  void move_next();  // Error 3021 at end of data
  // The current row's value of a column, by name without regard to case.
  // Error 3265 when there is no such column; Error 3021 at end of data.
  Variant field(std::string_view name) const;
  void close() noexcept;

  const std::vector<std::string>& columns() const noexcept { return columns_; }
  const std::vector<std::vector<Variant>>& rows() const noexcept { return rows_; }

 private:
  bool open_ = false;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::size_t position_ = 0;
};

// Parameter data types, with the classic type numbers.
enum class DataType : int {
  SmallInt = 2,
  Integer = 3,  // 32-bit integer
  Double = 5,
  Currency = 6,
  Date = 7,
  Char = 129,
  WChar = 130,
  VarChar = 200,
  LongVarChar = 201,
  VarWChar = 202,
  LongVarWChar = 203,
};
const char* data_type_name(DataType type) noexcept;  // "integer", "varchar", ...

enum class Direction : int { Input = 1, Output = 2, InputOutput = 3, ReturnValue = 4 };

struct Parameter {
  std::string name;
  DataType type = DataType::VarChar;
  Direction direction = Direction::Input;
  long size = 0;
  Variant value;
};

// An open connection to one database. It is also what an Object variant holds
// when a caller passes an open connection: its default text is its connection text.
class Connection : public VariantObject {
 public:
  std::string kind() const override { return "Connection"; }
  std::string default_text() const override { return text(); }

  virtual const std::string& text() const noexcept = 0;
  virtual bool is_open() const noexcept = 0;
  int state() const noexcept { return is_open() ? 1 : 0; }
  // Runs a command text: an EXEC/EXECUTE call of a stored procedure or a plain
  // statement. Errors reported by the database are Error -2147217900.
  virtual RowSet execute(const std::string& command_text, CursorOptions options = {}) = 0;
  // Runs a stored procedure with typed, positional parameters.
  virtual RowSet call(const std::string& procedure, const std::vector<Parameter>& parameters) = 0;
  // Used by identifier allocation alone: one write transaction across commands.
  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;
  virtual void close() noexcept = 0;
};

// A prepared stored-procedure command.
class Command {
 public:
  std::shared_ptr<Connection> connection;
  std::string command_text;  // the procedure name
  int timeout_seconds = 30;

  void append(Parameter parameter) { parameters_.push_back(std::move(parameter)); }
  const std::vector<Parameter>& parameters() const noexcept { return parameters_; }
  std::vector<Parameter>& parameters() noexcept { return parameters_; }
  // "{ call NAME(?, ?, ...) }"
  std::string text() const;
  // Error 91 without a connection.
  RowSet execute();

 private:
  std::vector<Parameter> parameters_;
};

// "key=value;key=value": keys without regard to case (stored lower case),
// values trimmed, optionally quoted ("..." or '...') or braced ({...}).
std::map<std::string, std::string> parse_connection_text(std::string_view text);

// Drivers: Provider=SQLite selects the embedded engine; any other text goes to
// the driver registered as "odbc". A missing driver is Error -2147217900.
using DriverFactory = std::function<std::shared_ptr<Connection>(const std::string& text)>;
// An empty factory removes the driver.
void register_driver(const std::string& name, DriverFactory factory);

// A new connection for a text, opened (not cached).
std::shared_ptr<Connection> open_connection(const std::string& text);
// The calling thread's open connection for a text, opened on first use.
std::shared_ptr<Connection> cached_connection(const std::string& text);
// Closes and forgets the calling thread's cached connections.
void close_cached_connections() noexcept;

// The connection a caller's value names: an Object holding a Connection is used
// as it is; any other value is taken as a connection text (its text form).
std::shared_ptr<Connection> connection_for(const Variant& connection);

// Opens a row set with a command text on a connection value (an open connection
// or a connection text), as the routines do for every command.
RowSet open_rowset(const std::string& command_text, const Variant& connection,
                   CursorOptions options = {});

}  // namespace qrnmvl::data
