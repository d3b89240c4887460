// A Date a host builds itself may hold any serial: past the years 100 to 9999
// its text form is an overflow, never undefined arithmetic (found by fuzzing).
#include <cmath>
#include <limits>

#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

TEST(DateSerials, BeyondTheYearsOfADateAreAnOverflow) {
  testing::LocaleScope comma("pt_BR");
  const std::pair<double, const char*> cases[] = {
      {-657434.5, "01/01/0100 12:00:00"},
      {2958465.5, "31/12/9999 12:00:00"},
      {2958466.0, nullptr},
      {-657435.0, nullptr},
      {1.79e308, nullptr},
      {-1.79e308, nullptr},
      {std::numeric_limits<double>::infinity(), nullptr},
      {std::nan(""), nullptr}};
  for (const auto& [serial, text] : cases) {
    SCOPED_TRACE(serial);
    const Variant date(Date{serial});
    if (text != nullptr)
      EXPECT_EQ(to_text(date), text);
    else
      EXPECT_EQ(error_of([&] { to_text(date); }).number(), err::overflow);
  }
}

}  // namespace
}  // namespace qrnmvl
