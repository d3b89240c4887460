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
  EXPECT_EQ(to_text(Variant(Date{-657434.5})), "01/01/0100 12:00:00");
  EXPECT_EQ(to_text(Variant(Date{2958465.5})), "31/12/9999 12:00:00");
  for (const double serial : {2958466.0, -657435.0, 1.79e308, -1.79e308,
                              std::numeric_limits<double>::infinity(), std::nan("")})
    EXPECT_EQ(error_of([&] { to_text(Variant(Date{serial})); }).number(), err::overflow) << serial;
}

}  // namespace
}  // namespace qrnmvl
