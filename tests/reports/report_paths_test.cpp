#include "reports/report_paths.h"

#include <gtest/gtest.h>

namespace korvin {
namespace {

TEST(SafeFileStem, NeverLeavesItsFolderOrNamesADevice) {
  const struct {
    std::string stem;
    std::string safe;
  } cases[] = {
      {"00012345", "00012345"},
      {"1234 5678", "1234 5678"},  // the certificate's blank stays
      {"..", "_"},
      {".", "_"},
      {"", "_"},
      {"../x", ".._x"},
      {"..\\..\\Windows\\x", ".._.._Windows_x"},
      {"/etc/passwd", "_etc_passwd"},
      {"C:x", "C_x"},
      {std::string("a\nb\tc\x7f", 6), "a_b_c_"},
      {"...", "..."},
      {"CON", "_CON"},
      {"nul", "_nul"},
      {"Com3", "_Com3"},
      {"LPT9.txt", "_LPT9.txt"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      {"S060 1234", "S060 1234"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileStem(c.stem), c.safe) << c.stem;
}

}  // namespace
}  // namespace korvin
