#include <gtest/gtest.h>

#include "workbook/cell_text.h"
#include "workbook/errors.h"
#include "workbook/model.h"

namespace vestrano {
namespace {

TEST(GeneralNumberText, Examples) {
  const std::pair<double, const char*> cases[] = {
      {1234, "1234"}, {1234.5, "1234.5"}, {-0.25, "-0.25"}, {1.0 / 3, "0.333333333333333"},
      {0.1 + 0.2, "0.3"}, {0.0001, "0.0001"}, {0.00001, "1E-5"},
      {123456789012345.0, "123456789012345"}, {1e15, "1E15"}, {1.5e20, "1.5E20"}, {0.0, "0"},
      {-0.0, "0"}, {42400, "42400"}, {1500000, "1500000"}, {-1.25e-7, "-1.25E-7"},
  };
  for (auto [value, text] : cases) EXPECT_EQ(GeneralNumberText(value), text) << value;
}

}  // namespace
}  // namespace vestrano
